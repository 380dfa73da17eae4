#!/usr/bin/env bash
# Builds both targets and writes every package into build/packages/: the x64 and x86 installers,
# the x64 and x86 zips (each with its .sha256) and the winget and Scoop manifests, which are then
# checked against their schemas and the files. The x64 installer carries the i686 library too.
#
#   tools/package.sh [--download-url URL] [--homepage URL]
#
# The manifests point at URL/<file> (the folder where the release's files are published) and name
# the homepage; without the options, at placeholder addresses. A release gives both.
set -eu
cd "$(dirname "$0")/.."
address_options=()
while [ $# -gt 0 ]; do
    case "$1" in
    --download-url | --homepage)
        [ $# -ge 2 ] || { echo "package.sh: $1 needs an address" >&2; exit 2; }
        address_options+=("$1" "$2")
        shift 2
        ;;
    *) echo "usage: tools/package.sh [--download-url URL] [--homepage URL]" >&2; exit 2 ;;
    esac
done
bash tools/setup.sh
python3 packaging/write_manifests.py --check-addresses "${address_options[@]}"
for preset in win32 win64; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win64/CMakeCache.txt)"
out=build/packages
rm -rf "$out" && mkdir -p "$out"
cp build/win64/packages/* build/win32/packages/* "$out/"
python3 packaging/write_manifests.py "$out" "$version" "${address_options[@]}"
python3 tests/packaging/check_manifests.py "$out" packaging/schemas
echo "packages of Tandrel Pro $version in $out:"
ls -l "$out"
