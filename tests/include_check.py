"""Fails when a file under src/ includes a header of a library its CMake
target does not link (directly, or through a link's public links), or the
public headers (diffboot/...) outside src/api, the library's own layer; or
when the library links the program's record layer or staged files, whose
state belongs to a program's run; or when a door (python/, r/src, web/)
includes anything but the public headers.

    include_check.py SOURCE_DIR
"""
import pathlib
import re
import sys

TARGET_FOLDERS = {"diffboot_library": "api", "diffboot_app": "app"}


def folder_of(target):
    return TARGET_FOLDERS.get(target, target.removeprefix("diffboot_"))


def links(cmake_text):
    """The folder's target and its links: {folder: (public, private)}."""
    out = {}
    for m in re.finditer(r"target_link_libraries\(\s*(\w+)(.*?)\)", cmake_text, re.S):
        public, private = set(), set()
        scope = public
        for word in m.group(2).split():
            if word in ("PUBLIC", "INTERFACE"):
                scope = public
            elif word == "PRIVATE":
                scope = private
            elif word.startswith("diffboot_"):
                scope.add(folder_of(word))
        out[folder_of(m.group(1))] = (public, private)
    return out


def main(source):
    src = source / "src"
    graph = {}
    for cmake in src.glob("*/CMakeLists.txt"):
        graph[cmake.parent.name] = (set(), set())
        graph.update(links(cmake.read_text()))

    def reachable(folder):
        seen, todo = {folder}, list(graph[folder][0] | graph[folder][1])
        while todo:
            f = todo.pop()
            if f not in seen:
                seen.add(f)
                todo.extend(graph.get(f, (set(), set()))[0])  # only public links pass on
        return seen

    def linked_by(folder):
        """Every library linked into `folder`'s, through any link."""
        seen, todo = set(), [folder]
        while todo:
            f = todo.pop()
            if f not in seen:
                seen.add(f)
                todo.extend(set().union(*graph.get(f, (set(), set()))))
        return seen

    problems = []
    for folder in sorted(linked_by("api") & {"text", "staging"}):
        problems.append(f"src/api: the library links diffboot_{folder}")
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or path.parent == src:
            continue
        folder = path.relative_to(src).parts[0]
        if folder not in graph:
            problems.append(f"{path.relative_to(source)}: its folder has no CMake library")
            continue
        allowed = reachable(folder)
        relative = str(path.relative_to(source))
        for number, line in enumerate(path.read_text().splitlines(), 1):
            m = re.match(r'\s*#\s*include\s+"([\w.]+)/', line)
            if not m:
                continue
            part = m.group(1)
            if part == "diffboot":
                if folder != "api":
                    problems.append(f"{relative}:{number}: includes the public header outside src/api")
            elif (src / part).is_dir() and part not in allowed:
                problems.append(f"{relative}:{number}: includes {part}/ but diffboot_{part} is not among its links")
    problems += door_problems(source)
    for p in problems:
        print(p)
    return 1 if problems else 0


def door_problems(source):
    """The doors (the Python module, the R package's glue) include only the
    public headers diffboot/...: every rule they need, the library exports."""
    problems = []
    doors = [source / "python", source / "r" / "src", source / "web"]
    for door in doors:
        for path in sorted(door.rglob("*")) if door.is_dir() else []:
            if path.suffix not in (".h", ".cpp") or "engine" in path.relative_to(door).parts \
                    or path.name.startswith("RcppExports") or "node_modules" in path.parts:
                continue
            for number, line in enumerate(path.read_text().splitlines(), 1):
                m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
                if m and not m.group(1).startswith("diffboot/"):
                    problems.append(f"{path.relative_to(source)}:{number}: a door includes the internal header {m.group(1)}")
    return problems


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1])))
