#!/usr/bin/env bash
# Sets up the machine, builds Tandrel Pro and shows what the library does on this machine.
# (Starts the program itself once the front end is built.)
set -eu
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset win64
cmake --build --preset win64
cmake/wine-env.sh run build/win64 build/win64/tests/bin/affinity_process_tests.exe
cmake/wine-env.sh stop build/win64
