#!/usr/bin/env bash
# Installs the build in $1 into a temporary prefix and checks what lands:
# the program, which tells version $2, and a manual page that renders
# without warnings and names every option of --help.
set -euo pipefail
build=$1
version=$2
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
