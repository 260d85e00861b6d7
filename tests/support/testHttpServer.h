// Runs tests/support/httpServer.py (Debian's python3) on 127.0.0.1 for the
// download tests, the end-to-end runs and the benchmark. The server dies with
// the process that started it, and stop() (or the destructor) kills and reaps
// it, so none is ever left running.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace downloadtest {

constexpr const char *kPython = "/usr/bin/python3";

struct TestHttpServer {
    TestHttpServer() = default;
    TestHttpServer(const TestHttpServer &) = delete;
    TestHttpServer &operator=(const TestHttpServer &) = delete;
    ~TestHttpServer() { stop(); }

    // Serves directory; /private/ needs user and the first line of
    // passwordFile (both may be empty: then /private/ refuses everyone).
    // False with the reason when the server does not come up within 10 s.
    bool start(const std::string &script, const std::string &directory, const std::string &user,
               const std::string &passwordFile, double stallSeconds, std::string *error) {
        stop();
        // A proxy from the environment must not stand between the agent and
        // the server on this machine.
        setenv("no_proxy", "127.0.0.1", 1);
        setenv("NO_PROXY", "127.0.0.1", 1);
        std::vector<std::string> arguments = {kPython, "-I", script, "--directory", directory,
                                              "--stall-seconds", std::to_string(stallSeconds)};
        if (!user.empty()) {
            arguments.insert(arguments.end(), {"--user", user});
        }
        if (!passwordFile.empty()) {
            arguments.insert(arguments.end(), {"--password-file", passwordFile});
        }
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0) {
            *error = std::string("pipe: ") + std::strerror(errno);
            return false;
        }
        pid_t parent = getpid();
        pid = fork();
        if (pid == 0) {
            // Killed with its starter, even when the starter crashes.
            if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent ||
                dup2(pipeFds[1], STDOUT_FILENO) < 0) {
                _exit(120);
            }
            int in = open("/dev/null", O_RDONLY);
            if (in < 0 || dup2(in, STDIN_FILENO) < 0) {
                _exit(120);
            }
            std::vector<char *> argv;
            for (std::string &argument : arguments) {
                argv.push_back(&argument[0]);
            }
            argv.push_back(nullptr);
            execv(kPython, argv.data());
            _exit(121);
        }
        close(pipeFds[1]);
        if (pid < 0) {
            *error = std::string("fork: ") + std::strerror(errno);
            close(pipeFds[0]);
            return false;
        }
        std::string line = readLine(pipeFds[0], 10000);
        close(pipeFds[0]);
        char *end = nullptr;
        long number = std::strtol(line.c_str(), &end, 10);
        if (line.empty() || *end != '\0' || number <= 0 || number > 65535) {
            *error = "the test HTTP server did not report its port (got '" + line + "')";
            stop();
            return false;
        }
        port = static_cast<int>(number);
        return true;
    }

    void stop() {
        if (pid <= 0) {
            return;
        }
        kill(pid, SIGTERM);
        int status = 0;
        for (int wait = 0; wait < 200; ++wait) {
            pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid || (done < 0 && errno != EINTR)) {
                pid = -1;
                port = 0;
                return;
            }
            usleep(10000);
        }
        kill(pid, SIGKILL);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
        port = 0;
    }

    bool running() const { return pid > 0; }

    std::string url(const std::string &path) const {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }

    pid_t pid = -1;
    int port = 0;

private:
    // The first line from fd, without its line break; "" after timeoutMs.
    static std::string readLine(int fd, int timeoutMs) {
        std::string line;
        for (int waited = 0; waited < timeoutMs; waited += 100) {
            struct pollfd ready = {fd, POLLIN, 0};
            int count = poll(&ready, 1, 100);
            if (count < 0 && errno != EINTR) {
                break;
            }
            if (count <= 0) {
                continue;
            }
            char c;
            ssize_t got;
            while ((got = read(fd, &c, 1)) == 1) {
                if (c == '\n') {
                    return line;
                }
                line += c;
            }
            if (got == 0) {
                break;  // the server ended before reporting
            }
        }
        return line;
    }
};

}  // namespace downloadtest
