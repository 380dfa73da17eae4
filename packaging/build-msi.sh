#!/usr/bin/env bash
# Builds an installer with wixl and fails on any message it prints: wixl leaves out what it does
# not understand with only a warning.
#
#   build-msi.sh x64 VERSION BIN_DIR BIN32_DIR CLASS_ROWS_WXI ICON OUT_MSI
#   build-msi.sh x86 VERSION BIN_DIR CLASS_ROWS_WXI ICON OUT_MSI
#
# BIN_DIR holds the target's program and library; BIN32_DIR the i686 library, which the x64
# installer adds for 32-bit clients. Each installer's product code is a name-based UUID of the
# version (and, for x86, of the architecture), so each version and architecture has its own and a
# rebuild keeps it; the upgrade code ties all versions of both together (they never meet on one
# machine: the x86 installer refuses 64-bit Windows).
#
# Two builds of the same files give the same bytes: every time in the package (its summary's and
# the cabinet's) is SOURCE_DATE_EPOCH, and the package code, which must differ between any two
# different packages, is a name-based UUID of the version, the architecture and the content
# (msi_summary.py).
set -eu
epoch="${SOURCE_DATE_EPOCH:?build-msi.sh: SOURCE_DATE_EPOCH must give the time of the package}"
arch="$1" version="$2" bin_dir="$(realpath "$3")"
case "$arch" in
    x64) bin32_dir="$(realpath "$4")"; shift 4 ;;
    x86) bin32_dir=""; shift 3 ;;
    *) echo "build-msi.sh: unknown architecture '$arch'" >&2; exit 2 ;;
esac
rows="$(realpath "$1")" icon="$(realpath "$2")" out="$(realpath -m "$3")"
here="$(cd "$(dirname "$0")" && pwd)"

# Fixed forever: Windows Installer finds the older versions to replace by it.
upgrade_code=5E1F4C1A-93B7-4E0D-A6D2-7F0C3B8E2D41
name="$version"
[ "$arch" = x64 ] || name="$version $arch"
product_code="$(python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
    "$upgrade_code" "$name")"

# wixl reads sources by relative paths only: gather them in a scratch directory.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/bin32"
cp "$bin_dir/Tandrel Pro.exe" "$bin_dir/Tandrel Pro BE.dll" "$work/bin/"
[ -z "$bin32_dir" ] || cp "$bin32_dir/Tandrel Pro BE.dll" "$work/bin32/"
cp "$rows" "$work/class_rows.wxi"
cp "$icon" "$work/tandrel_pro.ico"
cp "$here/tandrel_pro.wxs" "$work/"
# The cabinet keeps each file's time as local time.
find "$work" -type f -exec touch -d "@$epoch" {} +
export TZ=UTC

(cd "$work" && wixl --arch "$arch" --output product.msi -D Arch="$arch" \
    -D Version="$version" -D ProductCode="$product_code" -D UpgradeCode="$upgrade_code" \
    -D BinDir=bin -D Bin32Dir=bin32 -D IconFile=tandrel_pro.ico tandrel_pro.wxs) >"$work/wixl.log" 2>&1 \
    || { cat "$work/wixl.log" >&2; echo "build-msi.sh: wixl failed" >&2; exit 1; }
if [ -s "$work/wixl.log" ]; then
    cat "$work/wixl.log" >&2
    echo "build-msi.sh: wixl printed the messages above; treating them as errors" >&2
    exit 1
fi
/usr/bin/python3 "$here/msi_summary.py" "$work/product.msi" "$epoch" "$upgrade_code" "$version $arch"
mkdir -p "$(dirname "$out")"
mv "$work/product.msi" "$out"
(cd "$(dirname "$out")" && sha256sum "$(basename "$out")" >"$(basename "$out").sha256")
