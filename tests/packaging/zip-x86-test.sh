#!/usr/bin/env bash
# The x86 zip, read without running anything: its .sha256, its files, and that the two programs
# in it are the 32-bit files this tree built (which the static checks of tests/static read).
#
#   zip-x86-test.sh ZIP BIN_DIR OBJDUMP
set -u
zip="$1" bin="$2" objdump="$3"
failed=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; failed=$((failed + 1)); fi; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

check "the zip matches its .sha256" '(cd "$(dirname "$zip")" && sha256sum --quiet -c "$(basename "$zip").sha256")'
check "the zip holds the two files, README, LICENSE and SCRIPTING.txt" \
    '[ "$(unzip -Z1 "$zip" | sort | paste -sd"|")" = "LICENSE|README.md|SCRIPTING.txt|Tandrel Pro BE.dll|Tandrel Pro.exe" ]'
unzip -q "$zip" -d "$work"
for file in "Tandrel Pro.exe" "Tandrel Pro BE.dll"; do
    check "$file is the built one" 'cmp -s "$work/$file" "$bin/$file"'
    check "$file is a 32-bit PE file" '"$objdump" -f "$work/$file" | grep -q "file format pei-i386"'
done
check "the program imports the library" '"$objdump" -p "$work/Tandrel Pro.exe" | grep -qF "DLL Name: Tandrel Pro BE.DLL"'
check "the library exports its registration" '"$objdump" -p "$work/Tandrel Pro BE.dll" | grep -qw DllRegisterServer'
[ $failed -eq 0 ]
