#!/usr/bin/env python3
"""Runs the README's examples of the command-line tools, as a newcomer would type them.

Usage: readme_examples.py SOURCE_DIR BUILD_DIR

Two kinds of fenced block are examples:
  - a shell block (```sh, ```bash) that names kalvorant-render or kalvorant-info is run whole,
    with `bash -euo pipefail`, and must succeed; variable assignments of earlier shell blocks
    (T=build/default/tools) are carried into later ones;
  - a transcript block (no language, or ```console) whose `$ ` lines name a tool: each `$ `
    command is run and its standard output and error together must read as the lines below it,
    where a line "..." stands for any number of lines.

The commands run in a scratch folder laid out like the top of the repository: `assets/` is the
repository's, `build/default/` is BUILD_DIR (so the asan build tests its own tools), and the
tools folder of BUILD_DIR comes first on PATH. Nothing is written into the repository.

A comment on the line before a block changes what happens to it:
  <!-- readme-test: skip REASON -->   not run (say why: needs a display, installs packages, ...)
  <!-- readme-test: needs PATH -->    run only when PATH exists (files from a Debian package)
  <!-- readme-test: run -->           run even though it names neither tool

Exit status: 0 when every example ran as written, 1 otherwise (each failure says which README
line and how), 2 on bad usage.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

TOOL = re.compile(r"\bkalvorant-(render|info)\b")
MARKER = re.compile(r"^\s*<!--\s*readme-test:\s*(skip|needs|run)\b\s*(.*?)\s*-->\s*$")
ASSIGNMENT = re.compile(r"^\s*(export\s+)?[A-Za-z_][A-Za-z0-9_]*=\S*\s*(#.*)?$")
SHELL_LANGS = {"sh", "bash", "shell"}
TRANSCRIPT_LANGS = {"", "console", "text"}
TIMEOUT_S = 600


class Block:
    def __init__(self, line, lang, marker):
        self.line = line  # README line of the opening fence, 1-based
        self.lang = lang
        self.marker = marker  # (kind, argument) or None
        self.lines = []


def read_blocks(readme):
    blocks, current, marker, pending = [], None, None, None
    with open(readme, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            text = raw.rstrip("\n")
            if current is not None:
                if text.strip().startswith("```"):
                    blocks.append(current)
                    current = None
                else:
                    current.lines.append(text)
                continue
            m = MARKER.match(text)
            if m:
                pending = (m.group(1), m.group(2))
                continue
            if text.strip().startswith("```"):
                current = Block(number, text.strip()[3:].strip().lower(), pending)
                pending = None
            elif text.strip():
                pending = None  # a marker applies to the very next block only
    return blocks


def joined_lines(lines):
    """Shell lines with backslash continuations joined."""
    out, held = [], ""
    for line in lines:
        if line.endswith("\\"):
            held += line[:-1] + " "
        else:
            out.append(held + line)
            held = ""
    if held:
        out.append(held)
    return out


def transcript(block):
    """[(command, expected lines)] of a transcript block."""
    steps = []
    for line in block.lines:
        if line.startswith("$ "):
            steps.append((line[2:], []))
        elif steps:
            steps[-1][1].append(line.rstrip())
    return steps


def matches(expected, actual):
    """Whether actual lines read as expected, "..." standing for any number of lines."""
    if not expected:
        return not actual
    if expected[0].strip() == "...":
        return any(matches(expected[1:], actual[i:]) for i in range(len(actual) + 1))
    return bool(actual) and actual[0] == expected[0] and matches(expected[1:], actual[1:])


def run(command, cwd, env):
    try:
        done = subprocess.run(["bash", "-euo", "pipefail", "-c", command], cwd=cwd, env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=TIMEOUT_S)
    except subprocess.TimeoutExpired:
        return -1, "(no end after %d s)" % TIMEOUT_S
    return done.returncode, done.stdout.decode("utf-8", "replace")


def make_sandbox(source, build):
    root = tempfile.mkdtemp(prefix="kalv-readme-")
    os.symlink(os.path.join(source, "assets"), os.path.join(root, "assets"))
    os.makedirs(os.path.join(root, "build"))
    os.symlink(build, os.path.join(root, "build", "default"))
    os.makedirs(os.path.join(root, "docs"))  # examples may write pictures; never the real ones
    return root


def main(argv):
    if len(argv) != 3:
        print("usage: readme_examples.py SOURCE_DIR BUILD_DIR", file=sys.stderr)
        return 2
    source, build = os.path.abspath(argv[1]), os.path.abspath(argv[2])
    sandbox = make_sandbox(source, build)
    env = dict(os.environ)
    env["PATH"] = os.path.join(build, "tools") + os.pathsep + env.get("PATH", "")
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)

    assignments, ran, failed = [], 0, 0
    try:
        for block in read_blocks(os.path.join(source, "README.md")):
            where = "README.md:%d" % block.line
            shell = block.lang in SHELL_LANGS
            steps = transcript(block) if block.lang in TRANSCRIPT_LANGS else []
            if not shell and not steps:
                continue
            lines = joined_lines(block.lines) if shell else [c for c, _ in steps]
            if shell:
                assignments += [l for l in lines if ASSIGNMENT.match(l)]
            names_tool = any(TOOL.search(l) for l in lines)
            kind, argument = block.marker or ("", "")
            if not names_tool and kind != "run":
                continue
            if kind == "skip":
                print("readme: %s: skipped (%s)" % (where, argument))
                continue
            if kind == "needs" and not os.path.exists(argument):
                print("readme: %s: skipped (%s is not installed)" % (where, argument))
                continue
            ran += 1
            if shell:
                status, output = run("\n".join(assignments + lines), sandbox, env)
                if status != 0:
                    failed += 1
                    print("readme: %s: FAIL: the block ended with status %d:" % (where, status))
                    print("    " + output.rstrip().replace("\n", "\n    "))
                    continue
            else:
                bad = False
                for command, expected in steps:
                    _, output = run(command, sandbox, env)
                    actual = [l.rstrip() for l in output.splitlines()]
                    if not matches(expected, actual):
                        bad = True
                        print("readme: %s: FAIL: '$ %s' printed:" % (where, command))
                        print("    " + "\n    ".join(actual))
                        print("  where the README shows:")
                        print("    " + "\n    ".join(expected))
                if bad:
                    failed += 1
                    continue
            print("readme: %s: ok" % where)
    finally:
        shutil.rmtree(sandbox, ignore_errors=True)

    if ran == 0:
        print("readme: FAIL: no tool example found in README.md")
        return 1
    print("readme: %d examples run, %d failed" % (ran, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
