#!/usr/bin/env bash
# Real clients of the built library under Wine, in the tests' own prefix: regsvr32 registers it,
# reg shows the entries, a VBScript and a JScript drive helper processes through the automation
# object while box_answerer.exe presses OK on its diagnostic boxes, and regsvr32 /u removes it.
#
#   run-clients.sh BUILD_DIR CLASS_GUID LIBRARY_GUID [DLL [installed]]
#
# DLL: the library's Windows path (default: the build's); "installed": a package has registered
# it, so the scripts run against its entries and nothing is registered or removed here.
set -u
build="$(cd "$1" && pwd)" clsid="$2" libid="$3" installed="${5:-}"
here="$(cd "$(dirname "$0")" && pwd)"
wine_env="$here/../../../cmake/wine-env.sh"
out="$build/tests/registration/clients"
rm -rf "$out" && mkdir -p "$out"
export TANDREL_WINE_TIMEOUT=120

winpath() { local p="${1//\//\\}"; echo "Z:$p"; }
dll="${4:-$(winpath "$build/bin/Tandrel Pro BE.dll")}"
waiter="$(winpath "$build/tests/bin/waiter.exe")"

passed=0 failed=0
pass() { echo "ok   $*"; passed=$((passed + 1)); }
fail() { echo "FAIL $*"; failed=$((failed + 1)); }
last_lines() { tr -d '\r' <"$1" | grep -v '^$' | tail -n 2; } # LOG: what a program said last
wine_run() { # LOG PROGRAM ARGS...: the program's output goes to LOG; returns its exit code
    local log="$1"; shift
    "$wine_env" run "$build" "$@" >"$log" 2>&1
}

# KEY [VALUE_NAME] EXPECTED: reg query finds the key and the value holds EXPECTED.
expect_value() {
    local key="$1" log="$out/query.log"
    if [ $# -eq 3 ]; then wine_run "$log" reg query "HKCR\\$key" /v "$2"; else wine_run "$log" reg query "HKCR\\$key" /ve; fi
    local rc=$? expected="${!#}"
    if [ $rc -eq 0 ] && grep -qF -- "REG_SZ    $expected" "$log"; then pass "HKCR\\$key ${3:+$2 }= $expected"
    else fail "HKCR\\$key ${3:+$2 }: exit $rc, $(last_lines "$log")"; fi
}
expect_key() { # KEY present|absent
    wine_run "$out/query.log" reg query "HKCR\\$1"
    local rc=$?
    if { [ "$2" = present ] && [ $rc -eq 0 ]; } || { [ "$2" = absent ] && [ $rc -ne 0 ]; }; then pass "HKCR\\$1 $2"
    else fail "HKCR\\$1 should be $2 (reg query exit $rc: $(last_lines "$out/query.log"))"; fi
}

progid=orvan.TandrelPro.AffinityManager.1 independent=orvan.TandrelPro.AffinityManager
class_key="CLSID\\$clsid"
all_keys=("$progid" "$progid\\CLSID" "$independent" "$independent\\CLSID" "$independent\\CurVer"
    "$class_key" "$class_key\\ProgID" "$class_key\\VersionIndependentProgID"
    "$class_key\\Programmable" "$class_key\\InprocServer32" "$class_key\\TypeLib"
    "TypeLib\\$libid")

if [ -z "$installed" ]; then
    wine_run "$out/regsvr32.log" regsvr32 /s "$dll"
    rc=$?; [ $rc -eq 0 ] && pass "regsvr32 registers" || fail "regsvr32 exit $rc"
fi

expect_value "$progid" "AffinityManager Class"
expect_value "$progid\\CLSID" "$clsid"
expect_value "$independent" "AffinityManager Class"
expect_value "$independent\\CLSID" "$clsid"
expect_value "$independent\\CurVer" "$progid"
expect_key CLSID present
expect_value "$class_key" "AffinityManager Class"
expect_value "$class_key\\ProgID" "$progid"
expect_value "$class_key\\VersionIndependentProgID" "$independent"
expect_key "$class_key\\Programmable" present
expect_value "$class_key\\InprocServer32" "$dll"
expect_value "$class_key\\InprocServer32" ThreadingModel Apartment
expect_value "$class_key\\TypeLib" "$libid"
expect_key "TypeLib\\$libid\\1.0" present

# SCRIPT EXPECTED_BOXES: the script passes, and its boxes were shown in this order. The script
# starts once the answerer has made a window in the session: before, its boxes could find no
# desktop to open on, and a script that shows none passes all the same.
run_script() {
    local script="$1" name stop boxes ready
    name="$(basename "$script")"
    stop="$out/$name.stop" boxes="$out/$name.boxes" ready="$out/$name.ready"
    "$wine_env" run "$build" "$build/tests/bin/box_answerer.exe" "$(winpath "$boxes")" \
        "$(winpath "$stop")" "$(winpath "$ready")" >"$out/$name.answerer.log" 2>&1 &
    local answerer=$!
    local waited=0
    while [ ! -e "$ready" ] && kill -0 $answerer 2>/dev/null && [ $waited -lt 600 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    if [ ! -e "$ready" ]; then
        touch "$stop"
        wait $answerer
        fail "$name: the box answerer did not come up in its session within 60 s:" \
            "$(last_lines "$out/$name.answerer.log")"
        return
    fi
    wine_run "$out/$name.log" cscript "$(winpath "$script")" "$waiter"
    local rc=$?
    touch "$stop"
    wait $answerer
    tr -d '\r' <"$out/$name.log" | grep -E '^(ok|FAIL) ' | sed "s/^/  $name: /"
    [ $rc -eq 0 ] && pass "$name passes" || fail "$name exit $rc"
    tr -d '\r' <"$boxes" | sed -E 's/parray: -?[0-9]+, pparray: -?[0-9]+/parray: N, pparray: N/' >"$boxes.seen"
    if diff "$2" "$boxes.seen" >"$out/$name.boxes.diff"; then pass "$name boxes answered"
    else fail "$name boxes: $(cat "$out/$name.boxes.diff")"; fi
}
run_script "$here/affinity.vbs" "$here/expected-boxes.txt"
run_script "$here/affinity.js" "$here/expected-boxes.txt"

if [ -z "$installed" ]; then
    wine_run "$out/regsvr32-u.log" regsvr32 /s /u "$dll"
    rc=$?; [ $rc -eq 0 ] && pass "regsvr32 /u unregisters" || fail "regsvr32 /u exit $rc"
    for key in "${all_keys[@]}"; do expect_key "$key" absent; done
    expect_key CLSID present
fi

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
