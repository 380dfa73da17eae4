#!/usr/bin/env bash
# Sets up the machine, builds the x86_64 target and runs every test under Wine.
set -eu
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset win64
cmake --build --preset win64
ctest --preset win64
