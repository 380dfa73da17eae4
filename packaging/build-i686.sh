#!/usr/bin/env bash
# Builds the i686 library, the x86 installer and the x86 zip in the i686 build tree, configuring
# it with the win32 preset the first time. Run from the source tree.
#
#   build-i686.sh BUILD_DIR
set -eu
dir="$1"
[ -f "$dir/CMakeCache.txt" ] || cmake --preset win32 -B "$dir"
cmake --build "$dir" --target backend package_msi package_zip --parallel "${CMAKE_BUILD_PARALLEL_LEVEL:-2}"
