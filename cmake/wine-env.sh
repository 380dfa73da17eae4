#!/usr/bin/env bash
# The Wine environment of one build tree: a private prefix, a private Xvfb display and a
# persistent wineserver, started once and stopped by the same script.
#
#   wine-env.sh start BUILD_DIR          create the prefix (once), start Xvfb and the wineserver
#   wine-env.sh run   BUILD_DIR PROG ... run a Windows program there (starts the environment if needed)
#   wine-env.sh stop  BUILD_DIR          stop the wineserver of this prefix and our Xvfb
#   wine-env.sh once  BUILD_DIR PROG ... run, and stop the environment again if this call started it
#                                        (build-time tools; tests running meanwhile keep theirs)
#
# TANDREL_WINE_STATE names another directory for the environment's state (prefix, display, logs)
# than BUILD_DIR/wine; the programs still come from BUILD_DIR.
#
# Wine's background services inherit the output handles of the program that started them, so
# programs never write into our caller's pipe: their output goes to a file that is printed after.
set -u

source "$(dirname "${BASH_SOURCE[0]}")/wine-launch.sh"
command="${1:?usage: wine-env.sh start|run|stop BUILD_DIR [PROG ARGS...]}"
build_dir="$(cd "${2:?missing build directory}" && pwd)"
shift 2

state_dir="${TANDREL_WINE_STATE:-$build_dir/wine}"
export WINEPREFIX="$state_dir/prefix"
export WINEDEBUG=-all
# No Mono or Gecko prompts; the menu builder would copy shortcuts that installers make into the
# Linux desktop menus.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPATH="Z:${build_dir//\//\\}\\bin"
unset WINELOADER WINESERVER

log() { echo "wine-env: $*" >&2; }

wine_quiet() { # runs a Wine command whose output nobody needs
    timeout -k 5 "$1" "${WINE64[@]}" "${@:2}" >>"$state_dir/wine.log" 2>&1
}

start_xvfb() {
    if [ -f "$state_dir/xvfb.pid" ] && kill -0 "$(cat "$state_dir/xvfb.pid")" 2>/dev/null; then
        return 0
    fi
    # The background job truncates display.tmp only once it runs: the number of an earlier
    # Xvfb must be gone before, or it would be read and then emptied (DISPLAY=":").
    rm -f "$state_dir/display" "$state_dir/display.tmp"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 9>&- \
        3>"$state_dir/display.tmp" >>"$state_dir/xvfb.log" 2>&1 &
    echo $! >"$state_dir/xvfb.pid"
    for _ in $(seq 100); do
        grep -qx '[0-9][0-9]*' "$state_dir/display.tmp" 2>/dev/null && break
        sleep 0.1
    done
    grep -qx '[0-9][0-9]*' "$state_dir/display.tmp" 2>/dev/null \
        || { log "Xvfb did not write its display number within 10 s"; return 1; }
    echo ":$(tr -d '\n' <"$state_dir/display.tmp")" >"$state_dir/display"
}

init_prefix() {
    [ -f "$state_dir/prefix.ready" ] && return 0
    log "creating Wine prefix $WINEPREFIX"
    wine_quiet 180 wineboot --init || { log "wineboot failed, see $state_dir/wine.log"; return 1; }
    # A crash prints a backtrace and ends instead of waiting in a dialog; without a window manager,
    # windows that Wine does not manage hide and close at once.
    wine_quiet 60 reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
    wine_quiet 60 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
    touch "$state_dir/prefix.ready"
}

start() {
    mkdir -p "$state_dir"
    [ "$wine_randomised" -eq 0 ] || log "this machine refuses to turn off address-space" \
        "randomisation (setarch -R): about one Wine start in 7,000 may die without a word"
    (
        flock 9
        start_xvfb || exit 1
        export DISPLAY="$(cat "$state_dir/display")"
        /usr/lib/wine/wineserver -p >>"$state_dir/wine.log" 2>&1 </dev/null 9>&-
        init_prefix || exit 1
    ) 9>"$state_dir/lock"
}

stop() {
    [ -d "$state_dir" ] || return 0
    (
        flock 9
        timeout 30 /usr/lib/wine/wineserver -k >/dev/null 2>&1
        timeout 30 /usr/lib/wine/wineserver -w >/dev/null 2>&1
        if [ -f "$state_dir/xvfb.pid" ]; then
            kill "$(cat "$state_dir/xvfb.pid")" 2>/dev/null
            rm -f "$state_dir/xvfb.pid" "$state_dir/display"
        fi
    ) 9>"$state_dir/lock"
}

running() {
    [ -f "$state_dir/prefix.ready" ] && [ -f "$state_dir/display" ] \
        && kill -0 "$(cat "$state_dir/xvfb.pid" 2>/dev/null)" 2>/dev/null
}

run() {
    running || start || return 1
    export DISPLAY="$(cat "$state_dir/display")"
    local out
    out="$(mktemp "$state_dir/run.XXXXXX")"
    timeout -k 10 "${TANDREL_WINE_TIMEOUT:-300}" "${WINE64[@]}" "$@" >"$out" 2>&1 </dev/null
    local rc=$?
    cat "$out"
    rm -f "$out"
    [ $rc -eq 124 ] && log "timed out: $*"
    return $rc
}

once() {
    local was_running=0
    running && was_running=1
    if [ $was_running -eq 0 ]; then
        # The server that an earlier call stopped may still be ending (stop gives it 30 s): a
        # program started meanwhile would reach it as it goes, and die without a word.
        timeout 60 /usr/lib/wine/wineserver -w >/dev/null 2>&1
        [ $? -ne 124 ] || log "the wineserver of $WINEPREFIX did not end within 60 s"
    fi
    run "$@"
    local rc=$?
    if [ $rc -ne 0 ]; then
        # A build step has nobody to ask afterwards: what Wine said while it ran is kept here.
        log "$1 ended with exit code $rc; the last lines of $state_dir/wine.log:"
        tail -n 20 "$state_dir/wine.log" >&2 2>/dev/null
    fi
    [ $was_running -eq 1 ] || stop
    return $rc
}

case "$command" in
start) start ;;
once) once "$@" ;;
stop) stop ;;
run) run "$@" ;;
*) log "unknown command $command"; exit 2 ;;
esac
