#!/usr/bin/env bash
# The build-time writer of the installers' class rows over small registry scripts: which keys the
# package owns, text kept literal for Windows Installer, each view's own library, and a clear
# refusal, with nothing written, of what an installer cannot carry.
#
#   class-rows-writer-test.sh BUILD_DIR
set -u
build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/package-tests.sh"
work="$build/tests/packaging/class-rows-writer"
rm -rf "$work" && mkdir -p "$work"

write_rows() { # NAME LAYOUT SCRIPT: the writer's exit code; rows in NAME.wxi, messages in NAME.log
    printf '%s' "$3" >"$work/$1.rgs"
    "$wine_env" run "$build" "$build/tools/class_rows_writer.exe" "$(winpath "$work/$1.rgs")" \
        "$(winpath "$build/idl/tandrel_pro.tlb")" "$2" "$(winpath "$work/$1.wxi")" >"$work/$1.log" 2>&1
}
row() { # KEY NAME VALUE [KEYPATH]: a row as the writer writes it
    echo "<RegistryValue Root=\"HKCR\" Key=\"$1\"${2:+ Name=\"$2\"} Type=\"string\" Value=\"$3\"${4:+ KeyPath=\"yes\"} />"
}
expect_rows() { # NAME LAYOUT SCRIPT ROW...: the writer succeeds and writes every ROW
    local name="$1" layout="$2" script="$3" missing=""
    shift 3
    write_rows "$name" "$layout" "$script"
    local rc=$?
    for expected in "$@"; do
        sed 's/^ *//' "$work/$name.wxi" 2>/dev/null | grep -qxF "$expected" || missing+=" $expected"
    done
    if [ $rc -eq 0 ] && [ -z "$missing" ]; then pass "$name"
    else fail "$name: exit code $rc, missing:$missing; the writer said: $(said "$work/$name.log")"; fi
}
expect_refusal() { # NAME LAYOUT SCRIPT MESSAGE: the writer fails, says MESSAGE and writes nothing
    write_rows "$1" "$2" "$3"
    local rc=$?
    if [ $rc -eq 1 ] && grep -qF "$4" "$work/$1.log" && [ ! -e "$work/$1.wxi" ]; then pass "$1"
    else fail "$1: exit code $rc, file written: $([ -e "$work/$1.wxi" ] && echo yes || echo no), said: $(said "$work/$1.log")"; fi
}

# A key that the script keeps at uninstall is not the package's; the first key below it is.
owned=$'HKCR\r\n{\r\n\tNoRemove Shared\r\n\t{\r\n\t\tOurs = s \'x[1]\'\r\n\t\t{\r\n\t\t\tEmpty\r\n\t\t}\r\n\t}\r\n\tServer = s \'%MODULE%\'\r\n}\r\n'
expect_rows "x86: owned keys, literal brackets, the library's file" x86 "$owned" \
    "$(row 'Shared\Ours' '' 'x[\[]1[\]]' yes)" "$(row Server '' '[#BackendFile]')" \
    "$(row 'Shared\Ours' '*' '')" "$(row 'Shared\Ours\Empty' '+' '')" "$(row Server '*' '')"
expect_equal "x86: rows of the key that the script keeps" 0 "$(grep -c 'Key="Shared"' "$work/x86: owned keys, literal brackets, the library's file.wxi")"
expect_rows "x64: each view names its own library" x64 "$owned" \
    "$(row Server '' '[#BackendFile]')" "$(row Server '' '[#Backend32File]')"
x64_rows="$work/x64: each view names its own library.wxi"
expect_equal "x64: components" "ClassRows64 ClassRows32" "$(sed -n 's/.*Component Id="\([^"]*\)".*/\1/p' "$x64_rows" | paste -sd' ')"
expect_equal "x64: the shared type library key, written once with both libraries" "1 1 1" \
    "$(grep -c 'Key="TypeLib\\{[^}]*}" Name="\*"' "$x64_rows") $(grep -c '\\0\\win32" Type="string" Value="\[#Backend32File\]"' "$x64_rows") $(grep -c '\\0\\win64" Type="string" Value="\[#BackendFile\]"' "$x64_rows")"

expect_refusal "another root" x86 $'HKLM\r\n{\r\n\tA = s \'x\'\r\n}\r\n' "the package writes HKEY_CLASSES_ROOT only, not HKLM\\A"
expect_refusal "a number" x86 $'HKCR\r\n{\r\n\tA = d \'5\'\r\n}\r\n' "only text values can be installed: A []"
expect_refusal "a script that ends inside a block" x86 $'HKCR\r\n{\r\n\tA = s \'x\'\r\n' "the registry script does not register: 0x80020009"
expect_refusal "an unknown variable" x86 $'HKCR\r\n{\r\n\tA = s \'%OTHER%\'\r\n}\r\n' "the registry script does not register: 0x80020009"
expect_refusal "an unknown layout" arm64 "$owned" "unknown layout arm64"
finish
