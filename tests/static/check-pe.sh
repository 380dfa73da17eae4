#!/usr/bin/env bash
# Reads a PE file's import and export tables with objdump; runs on the build machine, so it
# checks the i686 files as well as the x86_64 ones.
#
#   check-pe.sh OBJDUMP no-runtime-imports FILE
#   check-pe.sh OBJDUMP imports FILE DLL SYMBOL...        FILE imports each SYMBOL from DLL
#   check-pe.sh OBJDUMP exports FILE ORDINAL=NAME...      FILE exports exactly these
set -u
objdump="$1" check="$2" file="$3"
shift 3
dump="$(mktemp)"
trap 'rm -f "$dump"' EXIT
"$objdump" -p "$file" >"$dump" || { echo "cannot read $file"; exit 1; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

case "$check" in
no-runtime-imports)
    dlls="$(sed -n 's/^\s*DLL Name: //p' "$dump")"
    echo "imports of $file:"; echo "$dlls" | sed 's/^/  /'
    if echo "$dlls" | grep -i -E 'libstdc\+\+|libgcc|libwinpthread|mingw' >/dev/null; then
        fail "a MinGW runtime DLL is imported"
    fi
    ;;
imports)
    dll="$1"; shift
    # The names imported from one DLL follow its "DLL Name" line up to the next blank line. The
    # DLL's name is compared exactly, case included: it is the text the import table carries.
    names="$(awk -v dll="$dll" '
        /DLL Name:/ { name = $0; sub(/^[ \t]*DLL Name: /, "", name); inside = (name == dll); next }
        inside && NF == 0 { inside = 0 }
        inside && NF >= 3 && $1 ~ /^[0-9a-f]+$/ { print $NF }' "$dump")"
    [ -n "$names" ] || fail "nothing is imported from $dll (imports: $(sed -n 's/^\s*DLL Name: //p' "$dump" | paste -sd,))"
    for symbol in "$@"; do
        echo "$names" | grep -x -F "$symbol" >/dev/null || fail "$symbol is not imported from $dll (got: $(echo $names))"
    done
    ;;
exports)
    # objdump numbers the name table from the ordinal base.
    base="$(sed -n 's/^Ordinal Base\s*\([0-9]*\).*/\1/p' "$dump")"
    table="$(awk -v base="${base:-1}" '/\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
                  inside && NF == 0 { inside = 0 }
                  inside { line = $0; sub(/^[ \t]*\[ */, "", line); split(line, part, /\] /)
                           print part[1] + base "=" part[2] }' "$dump" | sort)"
    expected="$(printf '%s\n' "$@" | sort)"
    echo "exports of $file:"; echo "$table" | sed 's/^/  /'
    [ "$table" = "$expected" ] || fail "expected exports: $(echo $expected)"
    ;;
*) echo "unknown check $check"; exit 2 ;;
esac

if [ $failures -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, $failures failed"; exit 1; fi
