#!/usr/bin/env bash
# The x64 installer under Wine, in fresh copies of a prepared prefix: a lower version built here is
# installed and upgraded; the upgrade's files, shortcut, Apps & Features entry and the class's
# registry rows (compared with what regsvr32 writes in another copy); script clients and the
# program itself; a downgrade refused; and an uninstall that leaves nothing behind.
#
#   msi-test.sh BUILD_DIR VERSION CLASS_GUID LIBRARY_GUID INTERFACE_GUID CLASS_ROWS_WXI
set -u
build="$(cd "$1" && pwd)" version="$2" clsid="$3" libid="$4" iid="$5" class_rows="$6"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/package-tests.sh"
msi="$build/packages/TandrelPro-$version-x64.msi"
work="$build/tests/packaging/msi"
rm -rf "$work" && mkdir -p "$work"

# Windows Installer compares only the first three fields when it looks for related versions.
lower_version=0.0.1.0
lower_msi="$work/TandrelPro-$lower_version-x64.msi"
bash "$here/../../packaging/build-msi.sh" "$lower_version" "$build/bin" "$class_rows" \
    "$here/../../frontend/icon/tandrel_pro.ico" "$lower_msi" || { echo "FAIL cannot build $lower_msi"; exit 1; }
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }
code="$(product_code "$msi")" lower_code="$(product_code "$lower_msi")"

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
install_dir="Program Files/Tandrel Pro"
program='C:\Program Files\Tandrel Pro\Tandrel Pro.exe'
dll='C:\Program Files\Tandrel Pro\Tandrel Pro BE.dll'

reg_value() { # NAME KEY VALUE: the value's data, or "(absent)"
    if in_prefix "$1" "$work/query.log" reg query "$2" /v "$3"; then
        tr -d '\r' <"$work/query.log" | sed -n "s/^ *$3 *REG_[A-Z_]* *//p"
    else echo "(absent)"; fi
}
# Every row of the class, its type library and its interface, in both registry views, as reg
# export writes them ("absent" for a key that is not there).
registry_rows() { # NAME OUT
    local name="$1" view key
    : >"$2"
    for view in 'HKLM\Software\Classes' 'HKLM\Software\Wow6432Node\Classes'; do
        for key in orvan.TandrelPro.AffinityManager orvan.TandrelPro.AffinityManager.1 \
            "CLSID\\$clsid" "TypeLib\\$libid" "Interface\\$iid"; do
            rm -f "$(drive_c "$name")/rows.reg"
            if in_prefix "$name" "$work/export.log" reg export "$view\\$key" 'C:\rows.reg' /y; then
                iconv -f UTF-16 -t UTF-8 "$(drive_c "$name")/rows.reg" | tr -d '\r' | sed '1d;/^$/d' >>"$2"
            else
                echo "absent: $view\\$key" >>"$2"
            fi
        done
    done
}
# The shortcut wherever Wine's installer puts the Start menu of all users.
shortcuts() { find "$(drive_c msi)/ProgramData" "$(drive_c msi)/users" -name 'Tandrel Pro.lnk' 2>/dev/null; }

msiexec_timed() { # WHAT EXPECTED_CODE ARGS...
    local start end rc
    start=$(date +%s.%N)
    rc="$(exit_code msi msiexec "${@:3}" /qn)"
    end=$(date +%s.%N)
    expect_equal "$1 (msiexec exit code, $(awk "BEGIN { printf \"%.1f\", $end - $start }") s)" "$2" "$rc"
}

prefix_copy msi
msiexec_timed "install $lower_version" 0 /i "\"$(winpath "$lower_msi")\""
expect_equal "$lower_version in Apps & Features" "$lower_version" "$(reg_value msi "$uninstall_key\\$lower_code" DisplayVersion)"
msiexec_timed "upgrade to $version" 0 /i "\"$(winpath "$msi")\""
expect_equal "$lower_version left Apps & Features" "(absent)" "$(reg_value msi "$uninstall_key\\$lower_code" DisplayVersion)"

for value in "DisplayName=Tandrel Pro" "DisplayVersion=$version" "Publisher=The Tandrel Pro developers"; do
    expect_equal "Apps & Features ${value%%=*}" "${value#*=}" "$(reg_value msi "$uninstall_key\\$code" "${value%%=*}")"
done
# Apps & Features shows the icon that the installer keeps under the product's packed code.
packed="$(python3 -c 'import sys; g = sys.argv[1].strip("{}").replace("-", "")
print(g[:8][::-1] + g[8:12][::-1] + g[12:16][::-1] + "".join(g[i:i + 2][::-1] for i in range(16, 32, 2)))' "$code")"
icon="$(reg_value msi "HKLM\\Software\\Classes\\Installer\\Products\\$packed" ProductIcon)"
icon_file="$(drive_c msi)/$(echo "${icon#C:\\}" | tr '\\' /)"
if [ -n "${icon#(absent)}" ] && cmp -s "$icon_file" "$here/../../frontend/icon/tandrel_pro.ico"; then
    pass "Apps & Features icon is the program's: $icon"
else fail "Apps & Features icon '$icon' is not the program's icon"; fi

installed="$(cd "$(drive_c msi)/$install_dir" && ls | paste -sd'|')"
expect_equal "installed files" "Tandrel Pro BE.dll|Tandrel Pro.exe" "$installed"
for file in "Tandrel Pro.exe" "Tandrel Pro BE.dll"; do
    cmp -s "$build/bin/$file" "$(drive_c msi)/$install_dir/$file" && pass "$file is the built one" \
        || fail "$file differs from the built one"
done
shortcut="$(shortcuts)"
if [ "$(echo "$shortcut" | grep -c .)" = 1 ] && tr -d '\0' <"$shortcut" | grep -aqF "Tandrel Pro.exe"; then
    pass "one Start menu shortcut to the program: ${shortcut#"$(drive_c msi)"/}"
else fail "Start menu shortcuts: '$shortcut'"; fi

# The same library registered by regsvr32 at the same place in a fresh prefix.
prefix_copy regsvr32
mkdir -p "$(drive_c regsvr32)/$install_dir"
cp "$build/bin/Tandrel Pro.exe" "$build/bin/Tandrel Pro BE.dll" "$(drive_c regsvr32)/$install_dir/"
in_prefix regsvr32 "$work/regsvr32.log" regsvr32 /s "$dll" && pass "regsvr32 registers" || fail "regsvr32 failed"
registry_rows regsvr32 "$work/rows-regsvr32.txt"
prefix_drop regsvr32
registry_rows msi "$work/rows-msi.txt"
if [ "$(grep -vc '^absent' "$work/rows-msi.txt")" -gt 0 ] && diff "$work/rows-regsvr32.txt" "$work/rows-msi.txt" >"$work/rows.diff"; then
    pass "the installer's registry rows equal regsvr32's ($(wc -l <"$work/rows-msi.txt") rows)"
else fail "registry rows (< regsvr32, > installer): $(cat "$work/rows.diff")"; fi

run_clients msi "$dll" installed
check_program msi "$program" "$work/window"

msiexec_timed "downgrade to $lower_version refused" 1603 /i "\"$(winpath "$lower_msi")\""
expect_equal "$version still in Apps & Features" "$version" "$(reg_value msi "$uninstall_key\\$code" DisplayVersion)"

msiexec_timed "uninstall" 0 /x "$code"
[ -e "$(drive_c msi)/$install_dir" ] && fail "$install_dir is left" || pass "$install_dir is gone"
expect_equal "shortcuts left" "" "$(shortcuts)"
expect_equal "Apps & Features entry" "(absent)" "$(reg_value msi "$uninstall_key\\$code" DisplayName)"
registry_rows msi "$work/rows-after.txt"
left="$(grep -v '^absent' "$work/rows-after.txt")"
expect_equal "registry rows left" "" "$left"

prefix_drop msi
finish
