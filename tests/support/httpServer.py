#!/usr/bin/python3
"""HTTP server for the download tests and the benchmark.

Listens on 127.0.0.1 on a port the system chooses and prints that port on
standard output, one line, once it accepts connections. Serves the files of
--directory (only plain names, no subdirectories) under these paths:

  /files/NAME          the file, to anyone
  /private/NAME        the file, with Basic authentication (--user and the
                       first line of --password-file); 401 otherwise
  /drop/NAME           announces the whole length, sends half, closes
  /stall/NAME          announces the whole length, sends half, then nothing
                       for --stall-seconds before closing
  /slow/NAME           the whole file in eight pieces, 50 ms apart
  /redirect/N/PATH     302 to /redirect/N-1/PATH, and /redirect/1/PATH to /PATH
  /status/CODE         that status with a short text body

Anything else, or a file that is not there, is 404.
"""

import argparse
import base64
import http.server
import os
import socket
import sys
import time


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "IxoTestHttp/1.0"

    def log_message(self, format, *args):
        if self.server.verbose:
            sys.stderr.write("httpServer: " + (format % args) + "\n")

    def do_GET(self):
        parts = self.path.split("?", 1)[0].split("/")
        if len(parts) < 3 or parts[0] != "":
            self.reply(404, "not found\n")
            return
        kind = parts[1]
        if kind == "redirect" and len(parts) >= 4 and parts[2].isdigit():
            left = int(parts[2])
            rest = "/".join(parts[3:])
            target = "/redirect/%d/%s" % (left - 1, rest) if left > 1 else "/" + rest
            self.send_response(302)
            self.send_header("Location", target)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if kind == "status" and len(parts) == 3 and parts[2].isdigit():
            self.reply(int(parts[2]), "status %s\n" % parts[2])
            return
        if len(parts) != 3 or kind not in ("files", "private", "drop", "stall", "slow"):
            self.reply(404, "not found\n")
            return
        if kind == "private" and not self.authorised():
            self.send_response(401)
            self.send_header("WWW-Authenticate", 'Basic realm="ixo-test"')
            self.send_header("Content-Length", "13")
            self.end_headers()
            self.wfile.write(b"unauthorised\n")
            return
        name = parts[2]
        path = os.path.join(self.server.directory, name)
        if name in ("", ".", "..") or not os.path.isfile(path):
            self.reply(404, "not found\n")
            return
        with open(path, "rb") as body:
            self.send_file(kind, body, os.fstat(body.fileno()).st_size)

    def authorised(self):
        expected = "%s:%s" % (self.server.user, self.server.password)
        header = self.headers.get("Authorization", "")
        if not header.startswith("Basic "):
            return False
        try:
            given = base64.b64decode(header[6:], validate=True).decode("utf-8")
        except ValueError:
            return False
        return self.server.user is not None and given == expected

    def send_file(self, kind, body, size):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size))
        self.end_headers()
        self.wfile.flush()
        if kind in ("files", "private"):
            self.connection.sendfile(body)
        elif kind == "slow":
            piece = max(1, (size + 7) // 8)
            while True:
                data = body.read(piece)
                if not data:
                    break
                self.wfile.write(data)
                self.wfile.flush()
                time.sleep(0.05)
        else:
            self.wfile.write(body.read(size // 2))
            self.wfile.flush()
            if kind == "stall":
                time.sleep(self.server.stall_seconds)
            # Abort rather than close politely: the client sees the body end early.
            self.connection.shutdown(socket.SHUT_RDWR)
            self.close_connection = True

    def reply(self, status, text):
        data = text.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("--directory", required=True)
    parser.add_argument("--user")
    parser.add_argument("--password-file")
    parser.add_argument("--stall-seconds", type=float, default=30.0)
    parser.add_argument("--verbose", action="store_true")
    arguments = parser.parse_args()

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.directory = arguments.directory
    server.user = arguments.user
    server.password = ""
    if arguments.password_file:
        with open(arguments.password_file, encoding="utf-8") as source:
            server.password = source.readline().rstrip("\n")
    server.stall_seconds = arguments.stall_seconds
    server.verbose = arguments.verbose
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
