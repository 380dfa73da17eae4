#!/usr/bin/env bash
# The installers under Wine's 64-bit msiexec, in fresh copies of a prepared prefix. The x64 one:
# an installer of the old layout (folder "Tandrel Pro", 64-bit view only) at 1.0.0.1, its last
# version, is installed and upgraded; the upgrade's files in both program folders, the old
# folder gone, the shortcut, the Apps & Features entry and the class's registry rows of both
# views (compared with what regsvr32 writes in another copy); script clients; the program, started
# while Explorer shows its folder; a downgrade refused; and an uninstall that leaves nothing
# behind in either view.
# The x86 one refuses 64-bit Windows and changes nothing.
#
#   msi-test.sh BUILD_DIR I686_BUILD_DIR VERSION CLASS_GUID LIBRARY_GUID INTERFACE_GUID
set -u
build="$(cd "$1" && pwd)" build32="$(cd "$2" && pwd)" version="$3" clsid="$4" libid="$5" iid="$6"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/package-tests.sh"
msi="$build/packages/TandrelPro-$version-x64.msi"
msi_x86="$build32/packages/TandrelPro-$version-x86.msi"
work="$build/tests/packaging/msi"
rm -rf "$work" && mkdir -p "$work"

# The last version of the old layout. Windows Installer compares only the first three fields when
# it looks for related versions, so the product's own version must be above 1.0.0.x.
lower_version=1.0.0.1
lower_msi="$work/TandrelPro-$lower_version-x64.msi"
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n "s/^$2\t//p"; }
mkdir "$work/old" && cp "$build/bin/Tandrel Pro.exe" "$build/bin/Tandrel Pro BE.dll" "$here/old-layout.wxs" "$work/old/"
(cd "$work/old" && wixl --arch x64 -o "$lower_msi" -D Version=$lower_version -D BinDir=. -D Clsid="$clsid" \
    -D UpgradeCode="$(product_code "$msi" UpgradeCode)" old-layout.wxs) >"$work/old.log" 2>&1 \
    || { cat "$work/old.log"; echo "FAIL cannot build $lower_msi"; exit 1; }
code="$(product_code "$msi" ProductCode)" lower_code="$(product_code "$lower_msi" ProductCode)"
code_x86="$(product_code "$msi_x86" ProductCode)"

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
old_dir="Program Files/Tandrel Pro"
install_dir="Program Files/TandrelPro"
install_dir32="Program Files (x86)/TandrelPro"
program='C:\Program Files\TandrelPro\Tandrel Pro.exe'
dll='C:\Program Files\TandrelPro\Tandrel Pro BE.dll'
dll32='C:\Program Files (x86)\TandrelPro\Tandrel Pro BE.dll'

reg_value() { # NAME KEY VALUE [/reg:32]: the value's data ("" for the default), or "(absent)"
    local query=(/v "$3")
    [ -n "$3" ] || query=(/ve)
    if in_prefix "$1" "$work/query.log" reg query "$2" "${query[@]}" ${4:+"$4"}; then
        tr -d '\r' <"$work/query.log" | sed -n "s/^ *${3:-(Default)} *REG_[A-Z_]* *//p"
    else echo "(absent)"; fi
}
# Every row of the class, its type library and its interface in one registry view (64 or 32), as
# registry_views.py reads them; the keys that are not there in OUT.absent.
registry_rows() { # NAME VIEW OUT
    local name="$1" view='HKLM\Software\Classes' key index=0 exports=()
    [ "$2" = 32 ] && view='HKLM\Software\Wow6432Node\Classes'
    : >"$3.absent"
    for key in orvan.TandrelPro.AffinityManager orvan.TandrelPro.AffinityManager.1 \
        "CLSID\\$clsid" "TypeLib\\$libid" "Interface\\$iid"; do
        index=$((index + 1))
        rm -f "$(drive_c "$name")/rows$index.reg"
        if in_prefix "$name" "$work/export.log" reg export "$view\\$key" "C:\\rows$index.reg" /y; then
            exports+=("$(drive_c "$name")/rows$index.reg")
        else
            echo "absent: $key" >>"$3.absent"
        fi
    done
    : >"$3"
    [ ${#exports[@]} -eq 0 ] || python3 "$here/registry_views.py" rows "${exports[@]}" >"$3"
}
expect_rows() { # WHAT EXPECTED ACTUAL
    if [ -s "$3" ] && diff "$2" "$3" >"$3.diff"; then
        pass "$1 ($(wc -l <"$3") rows)"
    else fail "$1 (< expected, > installed): $(cat "$3.diff")"; fi
}
# The shortcut wherever Wine's installer puts the Start menu of all users.
shortcuts() { find "$(drive_c msi)/ProgramData" "$(drive_c msi)/users" -name 'Tandrel Pro.lnk' 2>/dev/null; }
listing() { (cd "$(drive_c msi)/$1" 2>/dev/null && ls | paste -sd'|'); }

msiexec_timed() { # WHAT EXPECTED_CODE ARGS...
    local start end rc
    start=$(date +%s.%N)
    rc="$(exit_code msi msiexec "${@:3}" /qn)"
    end=$(date +%s.%N)
    expect_equal "$1 (msiexec exit code, $(awk "BEGIN { printf \"%.1f\", $end - $start }") s)" "$2" "$rc"
    [ "$rc" = "$2" ] || echo "     cmd said: $(said "$prefixes/msi/exit-code.log")"
}

prefix_copy msi
msiexec_timed "install $lower_version in the old layout" 0 /i "\"$(winpath "$lower_msi")\""
expect_equal "$lower_version in Apps & Features" "$lower_version" "$(reg_value msi "$uninstall_key\\$lower_code" DisplayVersion)"
expect_equal "$lower_version's files in $old_dir" "Tandrel Pro BE.dll|Tandrel Pro.exe" "$(listing "$old_dir")"
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

[ -e "$(drive_c msi)/$old_dir" ] && fail "the old folder $old_dir is left" || pass "the old folder $old_dir is gone"
expect_equal "files in $install_dir" "Tandrel Pro BE.dll|Tandrel Pro.exe" "$(listing "$install_dir")"
expect_equal "files in $install_dir32" "Tandrel Pro BE.dll" "$(listing "$install_dir32")"
for file in "$build/bin/Tandrel Pro.exe=$install_dir" "$build/bin/Tandrel Pro BE.dll=$install_dir" \
    "$build32/bin/Tandrel Pro BE.dll=$install_dir32"; do
    built="${file%=*}" installed="$(drive_c msi)/${file#*=}/$(basename "${file%=*}")"
    cmp -s "$built" "$installed" && pass "${installed#"$(drive_c msi)"/} is the built ${built#"$build/"}" \
        || fail "${installed#"$(drive_c msi)"/} differs from the built ${built#"$build/"}"
done
shortcut="$(shortcuts)"
if [ "$(echo "$shortcut" | grep -c .)" = 1 ] && tr -d '\0' <"$shortcut" | grep -aqF "TandrelPro\\Tandrel Pro.exe"; then
    pass "one Start menu shortcut \"Tandrel Pro\" to the program: ${shortcut#"$(drive_c msi)"/}"
else fail "Start menu shortcuts: '$shortcut'"; fi

# The x64 library registered by regsvr32 at the same place in a fresh prefix; the i686 one, which
# nothing here can load, as the 32-bit regsvr32 would register it in its view.
prefix_copy regsvr32
mkdir -p "$(drive_c regsvr32)/$install_dir"
cp "$build/bin/Tandrel Pro.exe" "$build/bin/Tandrel Pro BE.dll" "$(drive_c regsvr32)/$install_dir/"
in_prefix regsvr32 "$work/regsvr32.log" regsvr32 /s "$dll" && pass "regsvr32 registers" || fail "regsvr32 failed"
registry_rows regsvr32 64 "$work/rows64-regsvr32-x64.txt"
registry_rows regsvr32 32 "$work/rows32-regsvr32-x64.txt"
prefix_drop regsvr32
python3 "$here/registry_views.py" both "$work/rows64-regsvr32-x64.txt" "$work/rows32-regsvr32-x64.txt" \
    "$dll" "$dll32" "$work/rows64-regsvr32.txt" "$work/rows32-regsvr32.txt"
for view in 64 32; do
    registry_rows msi $view "$work/rows$view-msi.txt"
    expect_rows "the $view-bit view's rows equal those of both regsvr32s" "$work/rows$view-regsvr32.txt" "$work/rows$view-msi.txt"
done
for view in 64 32; do
    expect_equal "the $view-bit view's class library" "$( [ $view = 64 ] && echo "$dll" || echo "$dll32")" \
        "$(reg_value msi "HKCR\\CLSID\\$clsid\\InprocServer32" "" /reg:$view)"
done

run_clients msi "$dll" installed

# Explorer showing the install folder has a window titled with the folder's name; the program
# must not take it for a running instance of itself.
TANDREL_WINE_TIMEOUT=600 in_prefix msi "$work/explorer.log" explorer.exe 'C:\Program Files\TandrelPro' &
explorer=$!
display="$(cat "$prefixes/msi/wine/display")"
for _ in $(seq 150); do
    xwininfo -display "$display" -root -tree >"$work/windows.txt" 2>&1
    grep -qF '"TandrelPro"' "$work/windows.txt" && break
    sleep 0.2
done
grep -qF '"TandrelPro"' "$work/windows.txt" && pass "Explorer shows the install folder" \
    || fail "no Explorer window \"TandrelPro\" after 30 s"
check_program msi "$program" "$work/window"

msiexec_timed "downgrade to $lower_version refused" 1603 /i "\"$(winpath "$lower_msi")\""
expect_equal "$version still in Apps & Features" "$version" "$(reg_value msi "$uninstall_key\\$code" DisplayVersion)"
msiexec_timed "the x86 installer refused on 64-bit Windows" 1603 /i "\"$(winpath "$msi_x86")\""
expect_equal "the x86 installer's Apps & Features entry" "(absent)" "$(reg_value msi "$uninstall_key\\$code_x86" DisplayName)"
expect_equal "files in $install_dir32 after it" "Tandrel Pro BE.dll" "$(listing "$install_dir32")"

msiexec_timed "uninstall" 0 /x "$code"
for dir in "$install_dir" "$install_dir32"; do
    [ -e "$(drive_c msi)/$dir" ] && fail "$dir is left" || pass "$dir is gone"
done
expect_equal "shortcuts left" "" "$(shortcuts)"
expect_equal "Apps & Features entry" "(absent)" "$(reg_value msi "$uninstall_key\\$code" DisplayName)"
for view in 64 32; do
    registry_rows msi $view "$work/rows$view-after.txt"
    expect_equal "rows left in the $view-bit view" "" "$(cat "$work/rows$view-after.txt")"
done

prefix_drop msi
wait $explorer
finish
