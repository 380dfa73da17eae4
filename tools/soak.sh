#!/usr/bin/env bash
# Runs the README's tests (ctest --preset win64) N times on one build, optionally with K busy
# processes beside them, and tells per test how many runs failed, with the first failure's log.
#
#   tools/soak.sh N [--load K]
#
# Every run's ctest output is kept in build/win64/soak/run-I.log (with the output of each failing
# test), its failed tests in run-I.failed; summary.txt holds what is printed at the end.
set -eu
cd "$(dirname "$0")/.."

usage() { echo "usage: tools/soak.sh N [--load K]" >&2; exit 2; }
[ $# -ge 1 ] || usage
runs="$1"
shift
load=0
while [ $# -gt 0 ]; do
    case "$1" in
    --load) [ $# -ge 2 ] || usage; load="$2"; shift 2 ;;
    *) usage ;;
    esac
done
[[ "$runs" =~ ^[1-9][0-9]*$ && "$load" =~ ^[0-9]+$ ]] || usage

cmake --preset win64 >/dev/null
cmake --build --preset win64

out=build/win64/soak
rm -rf "$out"
mkdir -p "$out"

# The busy processes: shells spinning on the processor, ended by their own PIDs.
busy=()
stop_load() {
    for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${busy[@]}"; do wait "$pid" 2>/dev/null || true; done
    busy=()
}
trap stop_load EXIT
for _ in $(seq "$load"); do
    bash -c 'while :; do :; done' &
    busy+=($!)
done

# The test name and result of each of ctest's result lines ("12/35 Test #12: name ....   Passed").
results() { sed -nE 's/^ *[0-9]+\/[0-9]+ +Test +#[0-9]+: +([^ ]+) \.*[ *]*([A-Za-z][^ ]*).*/\1 \2/p' "$1"; }

# The lines of one test's result and output, up to the next test's result line.
test_log() { # RUN_LOG TEST
    awk -v name="$2" '
        /^ *[0-9]+\/[0-9]+ +Test +#[0-9]+: / { inside = ($4 == name) }
        /^[0-9]+% tests passed/ { inside = 0 }
        inside' "$1"
}

started=$(date +%s)
for run in $(seq "$runs"); do
    log="$out/run-$run.log"
    run_started=$(date +%s)
    status=0
    ctest --preset win64 --output-on-failure >"$log" 2>&1 || status=$?
    # A skipped test (exit code 77: no root for a private mount namespace) has not failed.
    results "$log" | awk '$2 != "Passed" && $2 != "Skipped" { print $1 }' >"$out/run-$run.failed"
    echo "soak: run $run of $runs: exit $status, $(wc -l <"$out/run-$run.failed") failed," \
        "$(($(date +%s) - run_started)) s"
done
stop_load
elapsed=$(($(date +%s) - started))

{
    echo "soak: $runs runs, $load busy processes, $elapsed s ($((elapsed / runs)) s per run)"
    # Every test that any run reported, with the number of runs in which it did not pass.
    for run in $(seq "$runs"); do results "$out/run-$run.log" | awk '{ print $1 }'; done |
        sort -u | while read -r name; do
            failed=$(cat "$out"/run-*.failed | grep -cxF -- "$name" || true)
            printf '%-36s %d of %d runs failed\n' "$name" "$failed" "$runs"
        done
    for run in $(seq "$runs"); do
        # Runs that ended without any result line (the build tree or ctest itself broke).
        results "$out/run-$run.log" | grep -q . || echo "run $run reported no test: see $out/run-$run.log"
    done
    shown=" "
    for run in $(seq "$runs"); do
        while read -r name; do
            case "$shown" in *" $name "*) continue ;; esac
            shown="$shown$name "
            echo
            echo "=== first failure of $name: run $run ($out/run-$run.log)"
            test_log "$out/run-$run.log" "$name"
        done <"$out/run-$run.failed"
    done
} | tee "$out/summary.txt"
! grep -q . "$out"/run-*.failed && ! grep -q "reported no test" "$out/summary.txt"
