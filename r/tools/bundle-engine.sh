#!/bin/sh
# Brings the library's C++ sources into the package (src/engine, never
# committed: the repository's src/ holds them once) and writes
# src/Makevars.in, which names every object to build (configure makes
# src/Makevars of it). Run from the repository by 'make r'
# before 'R CMD build r'.
#   r/tools/bundle-engine.sh REPOSITORY
set -eu
repo=$1
package=$repo/r
engine=$package/src/engine
# The folders of src/ the library is built from, in the order they depend on
# one another; of tables/ only the frames' rules, which read no files (its
# file reader needs libcsv, which the package does without).
parts="numbers numeric bootstrap analysis poisson figure tables api"
tables="table.h two_samples.h cells.cpp pairs.h pairs.cpp long_form.h long_form.cpp samples.cpp frames.h frames.cpp"

rm -rf "$engine"
mkdir -p "$engine/diffboot"
cp "$repo"/include/diffboot/*.h "$engine/diffboot/"
objects=""
for part in $parts; do
  mkdir -p "$engine/$part"
  if [ "$part" = tables ]; then
    files=$(for f in $tables; do echo "$repo/src/tables/$f"; done)
  else
    files=$(ls "$repo/src/$part"/*.h "$repo/src/$part"/*.cpp 2>/dev/null)
  fi
  for file in $files; do
    [ -e "$file" ] || continue
    # The library's reader of table files (diffboot/tables.h) needs the file
    # reader left out above; R hands over its frames' columns instead.
    [ "$file" = "$repo/src/api/tables.cpp" ] && continue
    cp "$file" "$engine/$part/"
    case $file in
      *.cpp) objects="$objects engine/$part/$(basename "$file" .cpp).o" ;;
    esac
  done
done
cp "$repo/LICENSE" "$engine/LICENSE"

glue=""
for file in "$package/src"/*.cpp; do
  glue="$glue $(basename "$file" .cpp).o"
done

{
  echo "# Written by tools/bundle-engine.sh: the package's own sources and the library's;"
  echo "# configure fills in the flags that keep the numbers bit for bit."
  echo "CXX_STD = CXX20"
  echo "PKG_CPPFLAGS = -Iengine"
  echo "PKG_CXXFLAGS = @FP_FLAGS@ \$(CXX_VISIBILITY)"
  echo "PKG_LIBS = -pthread"
  echo "OBJECTS =$glue$objects"
  echo ""
  echo "# The library stripped of its debugging symbols, which are most of its size;"
  echo "# configure names the strip program, or none."
  echo "all: \$(SHLIB)"
  echo "	@STRIP_COMMAND@"
} > "$package/src/Makevars.in"
rm -f "$package/src/Makevars"
