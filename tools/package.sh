#!/usr/bin/env bash
# Builds both targets and writes every package into build/packages/: the x64 and x86 installers,
# the x64 and x86 zips (each with its .sha256) and the winget and Scoop manifests, which are then
# checked against their schemas and the files. The x64 installer carries the i686 library too.
#
#   tools/package.sh
#
# The manifests point at TANDREL_DOWNLOAD_URL/<file> (the place where the release's files are
# published) and name TANDREL_HOMEPAGE; set both for a real release.
set -eu
cd "$(dirname "$0")/.."
bash tools/setup.sh
for preset in win32 win64; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win64/CMakeCache.txt)"
out=build/packages
rm -rf "$out" && mkdir -p "$out"
cp build/win64/packages/* build/win32/packages/* "$out/"
python3 packaging/write_manifests.py "$out" "$version" \
    "${TANDREL_DOWNLOAD_URL:-https://downloads.tandrel-pro.example/$version}" \
    "${TANDREL_HOMEPAGE:-https://tandrel-pro.example/}"
python3 tests/packaging/check_manifests.py "$out" packaging/schemas
echo "packages of Tandrel Pro $version in $out:"
ls -l "$out"
