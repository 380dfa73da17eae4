#!/usr/bin/env bash
# Makes the README's picture of the processor dialog: builds the program, opens the dialog from
# the main window on a machine that Wine pretends to be (32 processors, two threads per core, two
# last-level caches; tests/machine/pretend-machine.sh, which needs root), opens the selector's
# drop-down and saves a PNG of the dialog with its open list.
#
#   tools/processor-choices-screenshot.sh [FILE]     default docs/processor-choices.png
set -eu
cd "$(dirname "$0")/.."
picture="$(realpath -m "${1:-docs/processor-choices.png}")"

bash tools/setup.sh
cmake --preset win64
cmake --build --preset win64 --target frontend_program processor_choices_shot

build="$PWD/build/win64"
# Makes the prefix once; the pretend machine runs in a copy of it.
cmake/wine-env.sh start "$build"
cmake/wine-env.sh stop "$build"

scene="$(mktemp -d /tmp/processor-choices.XXXXXX)"
windows_scene="Z:${scene//\//\\}"
finish() {
    touch "$scene/done"
    wait
    rm -rf "$scene"
}
trap finish EXIT
TANDREL_WINE_TIMEOUT=120 bash tests/machine/pretend-machine.sh \
    "processors=32 smt=16 cache=3:96M:0-7,16-23 cache=3:32M:8-15,24-31" "$build" \
    "$build/tools/bin/processor_choices_shot.exe" "$windows_scene\\ready" "$windows_scene\\done" \
    >"$scene/log" 2>&1 &
for _ in $(seq 600); do
    [ -s "$scene/ready" ] && break
    sleep 0.1
done
[ -s "$scene/ready" ] || { cat "$scene/log" >&2; echo "the dialog was never shown" >&2; exit 1; }
read -r display geometry <"$scene/ready"
DISPLAY="$display" import -window root -crop "$geometry" +repage "$picture"
echo "saved $picture"
