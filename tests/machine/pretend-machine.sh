#!/usr/bin/env bash
# Runs a Windows program in a Wine environment that pretends to be a machine with other
# processors. Wine takes its processor count from /sys/devices/system/cpu/online, and its
# processors' topology (cores, caches, NUMA nodes) from the rest of /sys/devices/system/cpu and
# /sys/devices/system/node, when its environment starts. So inside a private mount namespace either
# a file bound over the online file says which processors are online, or a whole tree written by
# make_sys_tree.py is bound over both directories; a Wine environment of its own then starts there:
# a copy of the build tree's prefix with its own Xvfb and wineserver (cmake/wine-env.sh), every
# Wine process inside.
#
#   pretend-machine.sh ONLINE BUILD_DIR PROGRAM [ARGS...]   ONLINE as the kernel writes it: 0-47
#   pretend-machine.sh "MACHINE" BUILD_DIR PROGRAM [ARGS...]
#       MACHINE: make_sys_tree.py's settings, "processors=32 smt=16 cache=3:96M:0-7,16-23 ..."
#
# Exits with the program's code, or 77 (skipped) where no mount namespace can be made (not root).
set -u
machine="${1:?usage: pretend-machine.sh ONLINE|MACHINE BUILD_DIR PROGRAM [ARGS...]}"
build_dir="$(cd "${2:?missing build directory}" && pwd)"
shift 2
here="$(cd "$(dirname "$0")" && pwd)"
env_script="$(cd "$here/../../cmake" && pwd)/wine-env.sh"

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
case "$machine" in
*=*)
    mode=tree
    # Word splitting of the settings is wanted here.
    # shellcheck disable=SC2086
    python3 "$here/make_sys_tree.py" "$state/sys" $machine || exit 1 ;;
*)
    mode=online
    echo "$machine" >"$state/online" ;;
esac

export TANDREL_WINE_STATE="$state"
unshare -m sh -c '
    if [ "$1" = tree ]; then
        mount --bind "$2/sys/cpu" /sys/devices/system/cpu &&
            mount --bind "$2/sys/node" /sys/devices/system/node || exit 1
    else
        mount --bind "$2/online" /sys/devices/system/cpu/online || exit 1
    fi
    env_script="$3" build_dir="$4"
    shift 4
    "$env_script" run "$build_dir" "$@"
    code=$?
    "$env_script" stop "$build_dir"
    exit $code' pretend-machine "$mode" "$state" "$env_script" "$build_dir" "$@"
