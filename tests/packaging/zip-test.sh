#!/usr/bin/env bash
# The x64 zip under Wine, in a fresh copy of a prepared prefix: unpacked into a folder, the
# program runs from there; regsvr32 registers the library, the script clients use it, regsvr32 /u
# removes its entries; the folder then holds just what the zip held.
#
#   zip-test.sh BUILD_DIR VERSION CLASS_GUID LIBRARY_GUID
set -u
build="$(cd "$1" && pwd)" version="$2" clsid="$3" libid="$4"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/package-tests.sh"
zip="$build/packages/TandrelPro-$version-x64.zip"
work="$build/tests/packaging/zip"
rm -rf "$work" && mkdir -p "$work"

(cd "$build/packages" && sha256sum --quiet -c "$(basename "$zip").sha256") \
    && pass "the zip matches its .sha256" || fail "the zip does not match its .sha256"
expect_equal "the zip's files" "LICENSE|README.md|SCRIPTING.txt|Tandrel Pro BE.dll|Tandrel Pro.exe" \
    "$(unzip -Z1 "$zip" | sort | paste -sd'|')"

prefix_copy zip
folder="$(drive_c zip)/Tools/Tandrel Pro"
mkdir -p "$folder"
unzip -q "$zip" -d "$folder" && pass "unpacked" || fail "unzip failed"
unpacked="$(cd "$folder" && find . -type f | sort | md5sum)"

check_program zip 'C:\Tools\Tandrel Pro\Tandrel Pro.exe' "$work/window"
run_clients zip 'C:\Tools\Tandrel Pro\Tandrel Pro BE.dll'
expect_equal "the folder after use" "$unpacked" "$(cd "$folder" && find . -type f | sort | md5sum)"

prefix_drop zip
finish
