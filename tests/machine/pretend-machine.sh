#!/usr/bin/env bash
# Runs a Windows program in a Wine environment that pretends to be a machine with other
# processors. Wine takes its processor count from /sys/devices/system/cpu/online when its
# environment starts, so inside a private mount namespace a file bound over that path says which
# processors are online, and a Wine environment of its own starts there: a copy of the build
# tree's prefix with its own Xvfb and wineserver (cmake/wine-env.sh), every Wine process inside.
#
#   pretend-machine.sh ONLINE BUILD_DIR PROGRAM [ARGS...]    ONLINE as the kernel writes it: 0-47
#
# Exits with the program's code, or 77 (skipped) where no mount namespace can be made (not root).
set -u
online="${1:?usage: pretend-machine.sh ONLINE BUILD_DIR PROGRAM [ARGS...]}"
build_dir="$(cd "${2:?missing build directory}" && pwd)"
shift 2
env_script="$(cd "$(dirname "$0")/../../cmake" && pwd)/wine-env.sh"

if ! unshare -m true 2>/dev/null; then
    echo "pretend-machine: cannot make a private mount namespace (needs root); skipped"
    exit 77
fi
[ -f "$build_dir/wine/prefix.ready" ] || { echo "pretend-machine: no prefix in $build_dir/wine"; exit 1; }

state="$(mktemp -d "$build_dir/wine/pretend.XXXXXX")"
trap 'rm -rf "$state"' EXIT
# Copying the initialised prefix takes a second; a new one would take wineboot's ten.
cp -a "$build_dir/wine/prefix" "$state/prefix" || exit 1
touch "$state/prefix.ready"
echo "$online" >"$state/online"

export TANDREL_WINE_STATE="$state"
unshare -m sh -c '
    mount --bind "$1/online" /sys/devices/system/cpu/online || exit 1
    env_script="$2" build_dir="$3"
    shift 3
    "$env_script" run "$build_dir" "$@"
    code=$?
    "$env_script" stop "$build_dir"
    exit $code' pretend-machine "$state" "$env_script" "$build_dir" "$@"
