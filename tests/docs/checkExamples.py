#!/usr/bin/env python3
"""Runs every shell example of the README and the docs as a reader would.

An example is a fenced block whose first line starts with "$ ". Each block
runs in a fresh working folder where build/ixoAgent is the agent under test
(also on PATH as ixoAgent), samples/ the project's samples and
build/demo-device a simulated thin client built just before the block. Its
commands run one after the other with sh; what they print on standard output
must be the block's other lines, where "..." stands for any lines. A command
that does not redirect its standard error must leave it empty, since a
reader would see it between the lines shown.

Lines whose content depends on the machine or the time (memory, processor,
a backup's time stamp, the absolute path of the device) are compared up to
the prefix listed in VARYING (after the line's indentation).

Usage: checkExamples.py AGENT SOURCE_DIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

DOCUMENTS = ["README.md", "docs/commands.md", "docs/eeprom.md", "docs/json.md",
             "docs/simulator.md"]
VARYING = ["Memory ", "Processor ", "Inventory of the simulated thin client in ",
           "backup of the EEPROM image: ", '"totalMemory": ', '"processorType": ',
           '"processorSpeed": ']


def blocks(path):
    """(line number, commands, expected lines) of each example in path."""
    with open(path, encoding="utf-8") as handle:
        lines = handle.read().split("\n")
    found = []
    inside = False
    for number, line in enumerate(lines, 1):
        if line.startswith("```"):
            if inside:
                found.append((start, body))
            inside = not inside
            start, body = number + 1, []
        elif inside:
            body.append(line)
    examples = []
    for start, body in found:
        if not body or not body[0].startswith("$ "):
            continue
        steps = []
        index = 0
        while index < len(body):
            line = body[index]
            if line.startswith("$ "):
                command = line[2:]
                while command.endswith("\\") and index + 1 < len(body):
                    index += 1
                    command = command[:-1] + " " + body[index].strip()
                steps.append((command, []))
            else:
                steps[-1][1].append(line)
            index += 1
        examples.append((start, steps))
    return examples


def matches(expected, actual):
    """expected with "..." as any run of lines, VARYING lines by prefix."""
    if not expected:
        return not actual
    head = expected[0]
    if head.strip() == "...":
        return any(matches(expected[1:], actual[skip:]) for skip in range(len(actual) + 1))
    if not actual:
        return False
    line = actual[0]
    prefix = next((p for p in VARYING if head.lstrip().startswith(p)), None)
    indent = head[:len(head) - len(head.lstrip())]
    same = line.startswith(indent + prefix) if prefix else line == head
    return same and matches(expected[1:], actual[1:])


def run_example(agent, source, document, start, steps):
    failures = []
    work = tempfile.mkdtemp(prefix="doc-example-")
    try:
        os.mkdir(os.path.join(work, "build"))
        os.symlink(agent, os.path.join(work, "build", "ixoAgent"))
        os.symlink(os.path.join(source, "samples"), os.path.join(work, "samples"))
        environment = dict(os.environ, PATH=os.path.join(work, "build") + ":" + os.environ["PATH"],
                           HOME=work)
        subprocess.run([agent, "sim-init", os.path.join(work, "build", "demo-device")],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        where = "%s:%d" % (document, start)
        for command, expected in steps:
            done = subprocess.run(["sh", "-c", command], cwd=work, env=environment,
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
            out = done.stdout.decode("utf-8", "replace")
            actual = out[:-1].split("\n") if out.endswith("\n") else out.split("\n")
            if out == "":
                actual = []
            while expected and expected[-1] == "":
                expected = expected[:-1]
            if not matches(expected, actual):
                failures.append("%s: $ %s\n  expected:\n    %s\n  printed:\n    %s" % (
                    where, command, "\n    ".join(expected), "\n    ".join(actual)))
            if "2>" not in command and done.stderr:
                failures.append("%s: $ %s\n  wrote to standard error:\n    %s" % (
                    where, command, done.stderr.decode("utf-8", "replace").strip()
                    .replace("\n", "\n    ")))
    finally:
        shutil.rmtree(work)
    return failures


def main():
    agent, source = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    failures = []
    count = 0
    for document in DOCUMENTS:
        for start, steps in blocks(os.path.join(source, document)):
            count += 1
            failures += run_example(agent, source, document, start, steps)
    for failure in failures:
        print(failure)
    print("%d examples, %d failures" % (count, len(failures)))
    return 1 if failures or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
