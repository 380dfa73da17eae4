#!/usr/bin/env bash
# The program's list columns follow the screen's DPI: its window measured at the prefix's own
# 96 DPI and again with LogPixels set to 144, in a copy of the prepared prefix of its own.
#
#   dpi-test.sh BUILD_DIR VERSION
set -u
build="$(cd "$1" && pwd)" version="$2"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/package-tests.sh"
work="$build/tests/packaging/dpi"
rm -rf "$work" && mkdir -p "$work"
program="$(winpath "$build/bin/Tandrel Pro.exe")"

prefix_copy dpi
check_program dpi "$program" "$work/at-96"
in_prefix dpi "$work/reg.log" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f \
    && pass "LogPixels set to 144" || fail "reg add LogPixels failed"
# The system's DPI is read when the Wine session starts.
"$wine_env" stop "$prefixes/dpi"
check_program dpi "$program" "$work/at-144"
prefix_drop dpi

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
