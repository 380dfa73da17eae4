#!/usr/bin/env bash
# A zip as a user gets it: it matches its .sha256 and holds the built program and library with
# the README, LICENSE and SCRIPTING.txt. The x64 zip is then used under Wine, in a fresh copy of a
# prepared prefix: unpacked into a folder, the program runs from there; regsvr32 registers the
# library, the script clients use it, regsvr32 /u removes its entries; the folder then holds just
# what the zip held; and the program's list columns follow the screen's DPI (the prefix's own 96,
# then 144). Nothing 32-bit runs here, so the x86 zip is only read.
#
#   zip-test.sh BUILD_DIR VERSION x86|x64 [CLASS_GUID LIBRARY_GUID]
set -u
build="$(cd "$1" && pwd)" version="$2" arch="$3" clsid="${4:-}" libid="${5:-}"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/package-tests.sh"
zip="$build/packages/TandrelPro-$version-$arch.zip"
work="$build/tests/packaging/zip"
rm -rf "$work" && mkdir -p "$work"

(cd "$build/packages" && sha256sum --quiet -c "$(basename "$zip").sha256") \
    && pass "the zip matches its .sha256" || fail "the zip does not match its .sha256"
expect_equal "the zip's files" "LICENSE|README.md|SCRIPTING.txt|Tandrel Pro BE.dll|Tandrel Pro.exe" \
    "$(unzip -Z1 "$zip" | sort | paste -sd'|')"
unzip -q "$zip" -d "$work/read"
for file in "Tandrel Pro.exe" "Tandrel Pro BE.dll"; do
    cmp -s "$build/bin/$file" "$work/read/$file" && pass "$file is the built one" \
        || fail "$file differs from the built one"
done
[ "$arch" = x64 ] || { finish; exit; }

prefix_copy zip
folder="$(drive_c zip)/Tools/Tandrel Pro"
mkdir -p "$folder"
unzip -q "$zip" -d "$folder" && pass "unpacked" || fail "unzip failed"
unpacked="$(cd "$folder" && find . -type f | sort | md5sum)"

program='C:\Tools\Tandrel Pro\Tandrel Pro.exe'
check_program zip "$program" "$work/at-96"
run_clients zip 'C:\Tools\Tandrel Pro\Tandrel Pro BE.dll'
expect_equal "the folder after use" "$unpacked" "$(cd "$folder" && find . -type f | sort | md5sum)"

in_prefix zip "$work/reg.log" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f \
    && pass "LogPixels set to 144" || fail "reg add LogPixels failed"
# The system's DPI is read when the Wine session starts.
"$wine_env" stop "$prefixes/zip"
check_program zip "$program" "$work/at-144"
prefix_drop zip

report() { tr -d '\r' <"$work/$1" | sed -n "s/^$2 //p"; }
expect_equal "DPI" "96 144" "$(report at-96 dpi) $(report at-144 dpi)"
# Each fixed width grows by half, within a pixel of rounding; the mask column keeps what the list
# leaves, so its margin to the list's edge grows by half as well.
read -r process96 pid96 mask96 <<<"$(report at-96 columns)"
read -r process144 pid144 mask144 <<<"$(report at-144 columns)"
list96="$(report at-96 list)" list144="$(report at-144 list)"
scaled() { # NAME AT_96 AT_144
    local expected=$(($2 * 3 / 2))
    if [ -n "$3" ] && [ $(($3 - expected)) -ge -1 ] && [ $(($3 - expected)) -le 1 ]; then
        pass "$1: $2 px at 96 DPI, $3 px at 144"
    else fail "$1: $2 px at 96 DPI, '$3' px at 144 (expected $expected)"; fi
}
scaled "Process column" "$process96" "$process144"
scaled "PID column" "$pid96" "$pid144"
scaled "margin right of the Affinity Mask column" "$((list96 - mask96))" "$((list144 - mask144))"
finish
