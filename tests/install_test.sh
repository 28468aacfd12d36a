#!/usr/bin/env bash
# Installs the build in $1 into a temporary prefix and checks what lands:
# the program, which tells version $2, a manual page that renders without
# warnings and names every option of --help, and the library with its CMake
# package, against which the example program in $3/examples/api builds and
# runs, as it does built by g++ with the flags of the pkg-config file.
set -euo pipefail
build=$1
version=$2
source=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null
program="$prefix/bin/diffboot"
page="$prefix/share/man/man1/diffboot.1"
test -x "$program" || { echo "no program at $program"; exit 1; }
test -f "$page" || { echo "no manual page at $page"; exit 1; }
[ "$("$program" --version)" = "diffboot $version" ] || { echo "wrong version"; exit 1; }
warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 > /dev/null)
[ -z "$warnings" ] || { echo "man warns: $warnings"; exit 1; }
text=$(MANWIDTH=80 man -l "$page" 2> /dev/null)
for section in NAME SYNOPSIS DESCRIPTION OPTIONS FILES "EXIT STATUS" EXAMPLES "SEE ALSO"; do
  grep -q "^$section" <<< "$text" || { echo "no $section section"; exit 1; }
done
for option in $("$program" --help | grep -o -- '--[a-z-]*' | sort -u); do
  grep -q -- "$option" <<< "$text" || { echo "manual page lacks $option"; exit 1; }
done
# The library: the example program found through find_package and built
# with the flags of this build (a sanitized library needs the sanitizers).
flags=""
grep -q "DIFFBOOT_SANITIZE:BOOL=ON" "$build/CMakeCache.txt" && flags="-fsanitize=address,undefined"
cmake -S "$source/examples/api" -B "$prefix/api" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_FLAGS="$flags" > /dev/null
cmake --build "$prefix/api" > /dev/null
out=$("$prefix/api/intervals" "$source/examples/chick_horsebean.txt" "$source/examples/chick_linseed.txt")
grep -q "^n_x = 10, n_y = 12, B = 1999$" <<< "$out" || { echo "example: $out"; exit 1; }
for measure in d_AVE d_MED d_STD d_MAD; do
  grep -q "^$measure = " <<< "$out" || { echo "example lacks $measure: $out"; exit 1; }
done
# The same program built from the pkg-config file alone.
pc_flags=$(PKG_CONFIG_PATH="$(dirname "$(find "$prefix" -name diffboot.pc)")" pkg-config --cflags --libs diffboot)
g++ $flags -o "$prefix/intervals_pc" "$source/examples/api/intervals.cpp" $pc_flags
[ "$("$prefix/intervals_pc" "$source/examples/chick_horsebean.txt" "$source/examples/chick_linseed.txt")" = "$out" ] ||
  { echo "the program built through pkg-config differs"; exit 1; }
