#!/usr/bin/env bash
# Builds this checkout's commit a second time, in a fresh clone in another folder, and compares
# every deliverable with this tree's build by its SHA-256: the program and the library of both
# targets, both zips and both installers. Prints both hashes of any file that differs, keeps the
# second build's copy of it in build/reproducible/, and exits 1 when one does.
#
#   tools/check-reproducible.sh          after tools/package.sh (or builds of both presets)
#
# The second build runs with another umask and time zone, so that neither can leak into a file.
set -eu
cd "$(dirname "$0")/.."
source_dir="$(pwd)"

if ! git diff --quiet HEAD --; then
    echo "check-reproducible.sh: the tree has uncommitted changes, which a clone of the commit" \
        "would not have; commit or stash them first" >&2
    exit 2
fi
for preset in win32 win64; do
    [ -f "build/$preset/CMakeCache.txt" ] || {
        echo "check-reproducible.sh: build/$preset is not configured; run bash tools/package.sh first" >&2
        exit 2
    }
done
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win64/CMakeCache.txt)"
deliverables=(
    "win64/bin/Tandrel Pro.exe" "win64/bin/Tandrel Pro BE.dll"
    "win32/bin/Tandrel Pro.exe" "win32/bin/Tandrel Pro BE.dll"
    "win64/packages/TandrelPro-$version-x64.zip" "win64/packages/TandrelPro-$version-x64.msi"
    "win32/packages/TandrelPro-$version-x86.zip" "win32/packages/TandrelPro-$version-x86.msi"
)

build_deliverables() { # TREE LOG: both presets' deliverables, i686 first (the x64 MSI carries it)
    for preset in win32 win64; do
        (cd "$1" && { [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset"; } \
            && cmake --build "build/$preset" --target package_zip package_msi) >>"$2" 2>&1 \
            || { tail -n 40 "$2" >&2; echo "check-reproducible.sh: the build in $1 failed" >&2; return 1; }
    done
}

# The first build must be of this commit: a commit since the last build changes the time in
# every file, which the first build only picks up when it is brought up to date.
mkdir -p build/reproducible
rm -f build/reproducible/*
build_deliverables "$source_dir" build/reproducible/first-build.log

commit="$(git rev-parse HEAD)"
parent="$(mktemp -d /tmp/tandrel-reproducible.XXXXXX)"
clone="$parent/elsewhere/tandrel-pro"
cleanup() {
    for preset in win32 win64; do
        [ ! -d "$clone/build/$preset/wine" ] || cmake/wine-env.sh stop "$clone/build/$preset" >/dev/null 2>&1 || true
    done
    rm -rf "$parent"
}
trap cleanup EXIT
echo "building $commit again in $clone"
started="$(date +%s)"
git clone --quiet --no-local "$source_dir" "$clone"
git -C "$clone" checkout --quiet --detach "$commit"
(umask 0077 && TZ=Pacific/Kiritimati build_deliverables "$clone" "$parent/second-build.log")
echo "second build: $(($(date +%s) - started)) s"

differ=0
for file in "${deliverables[@]}"; do
    first="$(sha256sum <"build/$file" | cut -d' ' -f1)"
    second="$(sha256sum <"$clone/build/$file" | cut -d' ' -f1)"
    if [ "$first" = "$second" ]; then
        echo "same     $first  $file"
    else
        differ=$((differ + 1))
        cp "$clone/build/$file" "build/reproducible/$(basename "$file" | tr ' ' _).${file%%/*}"
        echo "DIFFERS  $file"
        echo "    first build  $first"
        echo "    second build $second"
    fi
done
echo "$((${#deliverables[@]} - differ)) of ${#deliverables[@]} deliverables identical"
if [ "$differ" -gt 0 ]; then
    echo "the second build's differing files are in build/reproducible/ (compare with cmp -l)"
    exit 1
fi
