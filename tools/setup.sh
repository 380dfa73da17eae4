#!/usr/bin/env bash
# Installs what building and testing Tandrel Pro needs on a Debian 12 machine (run as root).
set -eu
packages=(
    cmake ninja-build
    mingw-w64 mingw-w64-tools     # compilers for both targets, windres, widl
    googletest                    # sources, compiled for the Windows targets
    wine wine64 fonts-wine        # runs the programs and the tests
    wine64-tools libwine-dev      # widl 8 and the system IDL files for the interface description
    xvfb xauth x11-utils imagemagick  # private displays and screenshots
    wixl msitools zip unzip       # the installer and the zips, and reading them back
    python3 python3-jsonschema python3-yaml  # the installer's registry rows, the manifests' checks
    python3-gi gir1.2-libmsi-1.0  # the installer's summary, written through wixl's own library
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

# The forge's workflow validator, from the npm registry, at a fixed version. A machine that has a
# node and npm of its own keeps them.
validator_version=0.6.0
if ! command -v npm >/dev/null; then
    echo "installing: nodejs npm"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q nodejs npm
fi
if ! npm ls --global --depth=0 "@action-validator/cli@$validator_version" >/dev/null 2>&1; then
    echo "installing: @action-validator/cli@$validator_version"
    npm install --global --no-fund --no-audit "@action-validator/cli@$validator_version"
fi
