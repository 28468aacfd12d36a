#!/usr/bin/env python3
"""The documentation's examples, run: in README.md and every doc/*.md, a line
of a fenced code block that begins with "$ diffboot" is a command, and the
lines after it, up to the next line that begins with "$ " or the end of the
block, are what it prints (a command may go on over lines that end in "\\") (standard output and error together). A line "..."
stands for any number of lines; blanks at line ends are not compared. Each
command runs with the built program as `diffboot`, in a copy of examples/.

Usage: doc_examples.py PROGRAM SOURCE_DIR"""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile


def examples_of(path):
    """The (line number, command, shown lines) of a document."""
    found, in_block, current = [], False, None
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if line.startswith("```"):
            in_block, current = not in_block, None
            continue
        if not in_block:
            continue
        if line.startswith("$ "):
            current = None
            if line.startswith("$ diffboot"):
                current = (number, line[2:], [])
                found.append(current)
        elif current is not None and not current[2] and current[1].endswith("\\"):
            current = (current[0], current[1][:-1] + line.strip(), current[2])  # a continued command
            found[-1] = current
        elif current is not None:
            current[2].append(line.rstrip())
    return found


def matches(shown, printed):
    """Whether the printed lines are the shown ones, "..." standing for any run."""
    if not shown:
        return not printed
    if shown[0] == "...":
        return any(matches(shown[1:], printed[k:]) for k in range(len(printed) + 1))
    return bool(printed) and shown[0] == printed[0] and matches(shown[1:], printed[1:])


def main():
    program, source = os.path.abspath(sys.argv[1]), pathlib.Path(sys.argv[2])
    documents = [source / "README.md"] + sorted((source / "doc").glob("*.md"))
    failures, count = [], 0
    with tempfile.TemporaryDirectory() as work:
        bin_dir, run_dir = os.path.join(work, "bin"), os.path.join(work, "examples")
        os.mkdir(bin_dir)
        os.symlink(program, os.path.join(bin_dir, "diffboot"))
        env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ.get("PATH", ""), LC_ALL="C")
        env.pop("TABSIZE", None)
        for document in documents:
            for number, command, shown in examples_of(document):
                count += 1
                shutil.rmtree(run_dir, ignore_errors=True)
                shutil.copytree(source / "examples", run_dir)
                run = subprocess.run(["bash", "-c", command + " 2>&1"], cwd=run_dir, env=env,
                                     stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, timeout=600)
                printed = [l.rstrip() for l in run.stdout.decode("utf-8", "replace").replace("\r", "").splitlines()]
                while shown and shown[-1] == "":
                    shown = shown[:-1]
                if not matches(shown, printed):
                    failures.append(f"{document.name}:{number}: {command}\n--- shown\n" + "\n".join(shown) +
                                    "\n--- printed\n" + "\n".join(printed))
    for failure in failures:
        print(failure, end="\n\n")
    print(f"{count} documented commands, {len(failures)} whose output differs from the shown")
    return 1 if failures or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
