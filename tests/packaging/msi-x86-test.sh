#!/usr/bin/env bash
# The x86 installer read as Windows Installer reads it (nothing 32-bit runs here, and it refuses
# 64-bit Windows): a 32-bit package whose files, all 32-bit components in the 32-bit program
# folder "TandrelPro", are the built ones; the class's rows in the only registry view, naming
# that library; the upgrade rules of every version; and the refusal of 64-bit Windows.
#
#   msi-x86-test.sh BUILD_DIR VERSION CLASS_GUID LIBRARY_GUID
set -u
build="$(cd "$1" && pwd)" version="$2" clsid="$3" libid="$4"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/package-tests.sh"
msi="$build/packages/TandrelPro-$version-x86.msi"
work="$build/tests/packaging/msi-x86"
rm -rf "$work" && mkdir -p "$work"

table() { msiinfo export "$msi" "$1" | tr -d '\r' | sed 1,3d; }
column() { # TABLE KEY_COLUMN_VALUE COLUMN_NUMBER: one cell of the row whose first cell is KEY
    table "$1" | awk -F'\t' -v key="$2" -v n="$3" '$1 == key { print $n }'
}

(cd "$build/packages" && sha256sum --quiet -c "$(basename "$msi").sha256") \
    && pass "the installer matches its .sha256" || fail "the installer does not match its .sha256"
expect_equal "platform" "Intel;1033" "$(msiinfo suminfo "$msi" | sed -n 's/^Template: //p')"
expect_equal "ProductVersion" "$version" "$(column Property ProductVersion 2)"
expect_equal "ProductName" "Tandrel Pro" "$(column Property ProductName 2)"
expect_equal "install folder" "ProgramFilesFolder TandrelPro" "$(column Directory INSTALLDIR 2) $(column Directory INSTALLDIR 3)"
expect_equal "64-bit folders" "" "$(table Directory | grep -E '64Folder')"
expect_equal "64-bit components" "" "$(table Component | awk -F'\t' 'int($4 / 256) % 2 == 1 { print $1 }')"
expect_equal "files" "ProgramFile=Tandrel Pro.exe@INSTALLDIR BackendFile=Tandrel Pro BE.dll@INSTALLDIR" \
    "$(table File | while IFS=$'\t' read -r id component name _; do
        echo "$id=$name@$(column Component "$component" 3)"; done | paste -sd' ')"
msiextract -C "$work/files" "$msi" >"$work/extract.log" 2>&1
for file in "Tandrel Pro.exe" "Tandrel Pro BE.dll"; do
    cmp -s "$build/bin/$file" "$work/files/Program Files/TandrelPro/$file" && pass "$file is the built one" \
        || fail "$file differs from the built one"
done
expect_equal "shortcut" "ProgramMenuFolder Tandrel Pro [#ProgramFile]" \
    "$(table Shortcut | awk -F'\t' '{ print $2, $3, $5 }')"

# Registry rows as "ROOT KEY NAME = VALUE"; root 0 is HKEY_CLASSES_ROOT.
table Registry | awk -F'\t' '{ print $2, $3, ($4 == "" ? "@" : $4), "=", $5 }' | sort >"$work/registry.txt"
expect_equal "roots other than HKEY_CLASSES_ROOT" "" "$(awk '$1 != 0' "$work/registry.txt")"
for row in "orvan.TandrelPro.AffinityManager.1\\CLSID @ = $clsid" \
    "orvan.TandrelPro.AffinityManager\\CLSID @ = $clsid" \
    "orvan.TandrelPro.AffinityManager\\CurVer @ = orvan.TandrelPro.AffinityManager.1" \
    "CLSID\\$clsid\\InprocServer32 @ = [#BackendFile]" \
    "CLSID\\$clsid\\InprocServer32 ThreadingModel = Apartment" \
    "CLSID\\$clsid\\TypeLib @ = $libid" \
    "TypeLib\\$libid\\1.0\\0\\win32 @ = [#BackendFile]"; do
    grep -qxF "0 $row" "$work/registry.txt" && pass "registry row $row" || fail "no registry row $row"
done
expect_equal "rows of another view's library" "" "$(grep -F 'win64' "$work/registry.txt")"

# Every earlier version is replaced, a later one refuses this one, and 64-bit Windows is refused.
expect_equal "upgrade table (minimum, maximum, attributes, property)" \
    "-$version-1-WIX_UPGRADE_DETECTED $version--2-WIX_DOWNGRADE_DETECTED" \
    "$(table Upgrade | awk -F'\t' '{ print $2 "-" $3 "-" $5 "-" $7 }' | sort | paste -sd' ')"
expect_equal "RemoveExistingProducts is sequenced" "1" \
    "$(table InstallExecuteSequence | grep -c '^RemoveExistingProducts')"
table LaunchCondition | grep -q '^NOT VersionNT64	' && pass "refuses 64-bit Windows" \
    || fail "no launch condition NOT VersionNT64"
finish
