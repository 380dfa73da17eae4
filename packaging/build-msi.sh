#!/usr/bin/env bash
# Builds the x64 installer with wixl and fails on any message it prints: wixl leaves out what it
# does not understand with only a warning.
#
#   build-msi.sh VERSION BIN_DIR CLASS_ROWS_WXI ICON OUT_MSI
#
# The product code is a name-based UUID of the version, so each version has its own and a
# rebuild of the same version keeps it; the upgrade code ties all versions together.
set -eu
version="$1" bin_dir="$(realpath "$2")" rows="$(realpath "$3")" icon="$(realpath "$4")"
out="$(realpath -m "$5")"
here="$(cd "$(dirname "$0")" && pwd)"

# Fixed forever: Windows Installer finds the older versions to replace by it.
upgrade_code=5E1F4C1A-93B7-4E0D-A6D2-7F0C3B8E2D41
product_code="$(python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
    "$upgrade_code" "$version")"

# wixl reads sources by relative paths only: gather them in a scratch directory.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cp "$bin_dir/Tandrel Pro.exe" "$bin_dir/Tandrel Pro BE.dll" "$work/bin/"
cp "$rows" "$work/class_rows.wxi"
cp "$icon" "$work/tandrel_pro.ico"
cp "$here/tandrel_pro.wxs" "$work/"

(cd "$work" && wixl --arch x64 --output product.msi \
    -D Version="$version" -D ProductCode="$product_code" -D UpgradeCode="$upgrade_code" \
    -D BinDir=bin -D IconFile=tandrel_pro.ico tandrel_pro.wxs) >"$work/wixl.log" 2>&1 \
    || { cat "$work/wixl.log" >&2; echo "build-msi.sh: wixl failed" >&2; exit 1; }
if [ -s "$work/wixl.log" ]; then
    cat "$work/wixl.log" >&2
    echo "build-msi.sh: wixl printed the messages above; treating them as errors" >&2
    exit 1
fi
mkdir -p "$(dirname "$out")"
mv "$work/product.msi" "$out"
(cd "$(dirname "$out")" && sha256sum "$(basename "$out")" >"$(basename "$out").sha256")
