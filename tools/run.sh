#!/usr/bin/env bash
# Sets up the machine, builds Tandrel Pro and starts it under Wine, in a Wine desktop window of
# its own (which draws the window frames): on your display when DISPLAY is set, else on a private
# Xvfb, where nobody sees it.
#
#   tools/run.sh                     run until you close Tandrel Pro (its "Exit" button)
#   tools/run.sh --screenshot FILE   start it on the private Xvfb, save a PNG picture of its
#                                    desktop with the window and its filled list, and end it
#
# The program runs in the build tree's own Wine prefix (build/win64/wine/prefix, made once), the
# same one the tests use.
set -eu
cd "$(dirname "$0")/.."

usage() { sed -n '2,11s/^# \{0,1\}//p' "$0"; }
screenshot=""
while [ $# -gt 0 ]; do
    case "$1" in
    --screenshot) screenshot="$(realpath -m "${2:?--screenshot needs a file name}")"; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
    esac
done

bash tools/setup.sh
cmake --preset win64
cmake --build --preset win64

build="$PWD/build/win64"
state="$build/wine"
desktop_size=800x600
# The same environment as cmake/wine-env.sh gives the tests.
export WINEPREFIX="$state/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINELOADER WINESERVER
# Makes the prefix once and starts the private Xvfb and the wineserver.
env_script="$PWD/cmake/wine-env.sh"
source "$PWD/cmake/wine-launch.sh"
"$env_script" start "$build"
trap '"$env_script" stop "$build"' EXIT
if [ -n "$screenshot" ] || [ -z "${DISPLAY:-}" ]; then
    DISPLAY="$(cat "$state/display")"
fi
export DISPLAY
echo "Tandrel Pro runs on display $DISPLAY; Wine's output goes to $state/run.log"

# The program finds "Tandrel Pro BE.dll" beside itself.
cd "$build/bin"
start_program() {
    timeout -k 10 "$1" "${WINE64[@]}" explorer "/desktop=Tandrel,$desktop_size" \
        "Tandrel Pro.exe" >"$state/run.log" 2>&1 </dev/null
}

if [ -z "$screenshot" ]; then
    # Ends with the program, or after a day at the latest.
    start_program 24h || true
    exit 0
fi

start_program 120 &
# The desktop window appears first; the program's window fills its list before it is shown.
window=""
for _ in $(seq 100); do
    window="$(xwininfo -root -tree >"$state/windows.txt" 2>/dev/null \
        && sed -n 's/^ *\(0x[0-9a-f]*\) "Tandrel - Wine desktop".*/\1/p' "$state/windows.txt" | head -n 1)"
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "the Wine desktop did not appear; see $state/run.log" >&2; exit 1; }
# Wine draws the program's window inside the desktop window: wait until the picture shows more
# than the bare desktop and stops changing.
shot="$state/screenshot.png"
previous=""
for _ in $(seq 120); do
    sleep 0.5
    import -window "$window" "$shot"
    colours="$(identify -format %k "$shot")"
    current="$(md5sum <"$shot")"
    [ "$colours" -gt 16 ] && [ "$current" = "$previous" ] && break
    previous="$current"
done
cp "$shot" "$screenshot"
echo "saved $screenshot"
