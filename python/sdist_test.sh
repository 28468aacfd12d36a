#!/usr/bin/env bash
# The Python package's sdist builds away from the source tree: made from
# $1/python, unpacked in a temporary folder and installed with pip (offline,
# no build isolation) into a venv over the system's packages of Python $2.
# Its module is built with the program's flags (Release: -O3 and link-time
# optimisation), its numbers are those of the program $3's json bit for bit,
# and it declares the extra "distributed".
set -euo pipefail
source=$1
python=$2
program=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
case "$work" in "$source"/*) echo "temporary folder $work is inside the tree"; exit 1;; esac

# The sdist, through the PEP 517 hook a frontend calls.
mkdir "$work/dist"
(cd "$source/python" && "$python" -c 'import sys; from setuptools import build_meta; build_meta.build_sdist(sys.argv[1])' "$work/dist") > "$work/sdist.log" 2>&1 ||
  { cat "$work/sdist.log"; exit 1; }
tarball=$(ls "$work"/dist/diffboot-*.tar.gz)
listing=$(tar tzf "$tarball")
for file in setup.py pyproject.toml CMakeLists.txt LICENSE diffboot/__init__.py diffboot/_core/module.cpp \
            engine/CMakeLists.txt engine/cmake/diffbootConfig.cmake engine/include/diffboot/diffboot.h engine/src/api/CMakeLists.txt; do
  grep -q "^diffboot-[^/]*/$file\$" <<< "$listing" || { echo "the sdist lacks $file"; exit 1; }
done
tar xzf "$tarball" -C "$work"
unpacked=$(ls -d "$work"/diffboot-*/)

"$python" -m venv --system-site-packages "$work/env"
launcher=""
# ccache, where there is one, with paths relative to the temporary folder
# so that a second run finds the first one's objects.
command -v ccache > /dev/null && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
export CCACHE_BASEDIR="$work" CCACHE_NOHASHDIR=1
(cd "$work" && CMAKE_ARGS="${CMAKE_ARGS:-$launcher}" "$work/env/bin/pip" install --no-build-isolation --no-index \
   --no-cache-dir "$unpacked") > "$work/pip.log" 2>&1 || { tail -n 60 "$work/pip.log"; exit 1; }

# The program's flags: a Release build with link-time optimisation, -O3 on
# the library's and the module's compilations.
cache=$(ls "$unpacked"/build/temp*/cmake/CMakeCache.txt)
grep -q "^CMAKE_BUILD_TYPE:STRING=Release$" "$cache" || { echo "the module's build is not Release"; exit 1; }
grep -q "^DIFFBOOT_PROGRAM:BOOL=OFF$" "$cache" || { echo "the package builds the program too"; exit 1; }
for part in api/CMakeFiles/diffboot_library numeric/CMakeFiles/diffboot_numeric; do
  flags=$(cat "$(dirname "$cache")/src/$part.dir/flags.make")
  for flag in -O3 -flto -ffp-contract=off; do
    grep -q -- "$flag" <<< "$flags" || { echo "$part is compiled without $flag"; exit 1; }
  done
done

# The installed package (not the tree's) gives the program's numbers.
examples="$source/examples"
"$program" -p -f json "$examples/sleep_drug1.txt" "$examples/sleep_drug2.txt" > "$work/program.json"
(cd "$work" && env -u PYTHONPATH "$work/env/bin/python" - "$work" "$examples" "$work/program.json") <<'EOF'
import json, pathlib, sys
from importlib import metadata
import diffboot

work, examples, program = sys.argv[1:]
where = pathlib.Path(diffboot.__file__).resolve()
assert where.is_relative_to(pathlib.Path(work) / "env"), f"diffboot imported from {where}"

def values(name):
    lines = (pathlib.Path(examples) / name).read_text().splitlines()
    return [float(v) for v in lines if v.strip() and not v.startswith("#")]

expected = json.load(open(program))["measures"]
result = diffboot.analyse(values("sleep_drug1.txt"), values("sleep_drug2.txt"), paired=True)
for m in expected:
    got = result[m["measure"]]
    for field, value in m.items():
        if field != "measure":
            assert getattr(got, field) == value, (m["measure"], field, getattr(got, field), value)

requires = metadata.requires("diffboot") or []
extra = [r for r in requires if ";" in r and "distributed" in r.split(";", 1)[1]]
assert any(r.startswith("dask") for r in extra) and any(r.startswith("distributed") for r in extra), requires
EOF
echo "sdist $(basename "$tarball") builds outside the tree and gives the program's numbers"
