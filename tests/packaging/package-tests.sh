# What the package tests share, sourced by their scripts: fresh Wine prefixes and the checks'
# bookkeeping. Each test works in its own copy of one prepared prefix, which cmake/wine-env.sh
# runs as if the copy were a build tree.
#
#   prefix_copy NAME           a fresh copy of the prepared prefix (made once) for one test
#   in_prefix NAME LOG PROG... run PROG there, its output in LOG; returns the low 8 bits
#   exit_code NAME PROG...     run PROG there through cmd and print its whole exit code
#   prefix_drop NAME           stop the copy's wineserver and Xvfb and delete it
#   drive_c NAME               the Linux path of a copy's drive C
#   winpath PATH               a Linux path as Wine sees it
#   said LOG                   the last lines a program wrote into LOG, on one line
#   pass TEXT / fail TEXT / expect_equal WHAT EXPECTED ACTUAL / finish
#
# Set `build` (the build tree) before sourcing.
: "${build:?}"
wine_env="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../cmake" && pwd)/wine-env.sh"
prefixes="$build/tests/packaging/prefixes"
export TANDREL_WINE_TIMEOUT=120

winpath() { local p="${1//\//\\}"; echo "Z:$p"; }
said() { tr -d '\r' 2>/dev/null <"$1" | grep -v '^$' | tail -n 3 | paste -sd'|'; }

passed=0 failed=0
pass() { echo "ok   $*"; passed=$((passed + 1)); }
fail() { echo "FAIL $*"; failed=$((failed + 1)); }
expect_equal() { if [ "$2" = "$3" ]; then pass "$1: $3"; else fail "$1: got '$3', expected '$2'"; fi; }
finish() { echo "$passed passed, $failed failed"; [ $failed -eq 0 ]; }

# The prepared prefix is made once per build tree (wineboot takes 5-10 s, a copy about 2 s).
prefix_prepare() {
    mkdir -p "$prefixes"
    (
        flock 9
        [ -f "$prefixes/prepared/wine/prefix.ready" ] && exit 0
        mkdir -p "$prefixes/prepared"
        "$wine_env" start "$prefixes/prepared" && "$wine_env" stop "$prefixes/prepared"
    ) 9>"$prefixes/lock"
}

prefix_copy() {
    prefix_prepare || return 1
    prefix_drop "$1"
    mkdir -p "$prefixes/$1/wine"
    cp -a "$prefixes/prepared/wine/prefix" "$prefixes/$1/wine/prefix"
    touch "$prefixes/$1/wine/prefix.ready"
}

prefix_drop() {
    [ -d "$prefixes/$1" ] || return 0
    "$wine_env" stop "$prefixes/$1"
    rm -rf "$prefixes/$1"
}

in_prefix() {
    local name="$1" log="$2"
    shift 2
    "$wine_env" run "$prefixes/$name" "$@" >"$log" 2>&1
}

# Under Wine only the low 8 bits of an exit code reach Linux (1603 reads 67): a batch file writes
# the whole %ERRORLEVEL% into a file.
exit_code() {
    local name="$1" dir="$prefixes/$1"
    shift
    printf '@%s\r\n@>"%s" echo %%ERRORLEVEL%%\r\n' "$*" "$(winpath "$dir/exit-code.txt")" >"$dir/exit-code.cmd"
    rm -f "$dir/exit-code.txt"
    "$wine_env" run "$dir" cmd /c "$(winpath "$dir/exit-code.cmd")" >"$dir/exit-code.log" 2>&1
    tr -d '\r\n ' <"$dir/exit-code.txt" 2>/dev/null || echo "none"
}

drive_c() { echo "$prefixes/$1/wine/prefix/drive_c"; }

# The script clients of tests/registration against the library at DLL (a Windows path) in a copy:
# they find the helper programs through the copy's tests/bin.
run_clients() { # NAME DLL [installed]
    local name="$1"
    mkdir -p "$prefixes/$name/tests"
    ln -sfn "$build/tests/bin" "$prefixes/$name/tests/bin"
    bash "$here/../registration/clients/run-clients.sh" "$prefixes/$name" "$clsid" "$libid" "${@:2}" \
        >"$prefixes/$name.clients.log" 2>&1
    local rc=$?
    grep -E '^(ok|FAIL) ' "$prefixes/$name.clients.log" | sed 's/^/  clients: /'
    [ $rc -eq 0 ] && pass "the script clients pass" || fail "the script clients: exit $rc"
}

# The program tests of tests/frontend on the program at PROGRAM (a Windows path): its version
# block and manifest, and its window, whose report goes to REPORT.
check_program() { # NAME PROGRAM REPORT
    TANDREL_PROGRAM="$2" TANDREL_VERSION="$version" TANDREL_WINDOW_REPORT="$(winpath "$3")" \
        in_prefix "$1" "$3.log" "$build/tests/bin/program_tests.exe" \
        --gtest_filter=ProgramFile.*:ProgramTest.ExitButtonEndsWithZero
    local rc=$?
    grep -E '^\[ +(OK|FAILED) +\] [A-Z]' "$3.log" | sed 's/^/  program: /'
    [ $rc -eq 0 ] && pass "the program starts, shows its list and ends" || fail "the program: exit $rc, see $3.log"
}
