#!/usr/bin/env bash
# Sets up the machine, builds the x86_64 target with its benchmark programs, runs every benchmark
# once under Wine (the processor dialog's on a pretend machine, tests/machine/pretend-machine.sh,
# which needs root) and writes the results into build/win64/bench/: one CSV per kind (samples,
# summary, ratios, values), summary.md (the tables of the README) and bench.png (the plot).
# Repetitions per figure: BENCH_REPETITIONS (each program has its own default).
set -eu
cd "$(dirname "$0")/.."
root="$(pwd)"
bash tools/setup.sh
if ! command -v gnuplot >/dev/null; then
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends gnuplot-nox
fi

cmake --preset win64
cmake --build --preset win64 --target benchmarks

build=build/win64
out="$build/bench"
rm -rf "$out/results" "$out/logs"
mkdir -p "$out/results" "$out/logs"
results_windows="Z:${root//\//\\}\\${out//\//\\}\\results"

cmake/wine-env.sh start "$build"
status=0
programs=(snapshot changes scale startup)
for program in "${programs[@]}"; do
    echo "bench: $program"
    if ! TANDREL_WINE_TIMEOUT=600 cmake/wine-env.sh run "$build" "$build/bench/bin/${program}_bench.exe" \
        "$results_windows" "${BENCH_REPETITIONS:-0}" >"$out/logs/$program.log" 2>&1; then
        echo "bench: $program failed, see $out/logs/$program.log" >&2
        status=1
    fi
done
cmake/wine-env.sh stop "$build"

# The processor dialog on a machine whose topology offers a choice: a Wine environment of its own
# that pretends to have 32 processors, two threads per core and two last-level caches.
echo "bench: processor_dialog"
if ! TANDREL_WINE_TIMEOUT=600 bash tests/machine/pretend-machine.sh \
    "processors=32 smt=16 cache=3:96M:0-7,16-23 cache=3:32M:8-15,24-31" "$build" \
    "$build/bench/bin/processor_dialog_bench.exe" "$results_windows" "${BENCH_REPETITIONS:-0}" \
    >"$out/logs/processor_dialog.log" 2>&1; then
    echo "bench: processor_dialog failed, see $out/logs/processor_dialog.log" >&2
    status=1
fi
programs+=(processor_dialog)

for kind in samples summary ratios values; do
    files=()
    for program in "${programs[@]}"; do
        [ -f "$out/results/$program.$kind.csv" ] && files+=("$out/results/$program.$kind.csv")
    done
    [ ${#files[@]} -gt 0 ] || continue
    { head -n 1 "${files[0]}"; for file in "${files[@]}"; do tail -n +2 "$file"; done; } >"$out/$kind.csv"
done

{
    echo "machine=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GB"
    echo "wine=$(/usr/lib/wine/wine64 --version)"
    echo "date=$(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "commit=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)"
} >"$out/machine.txt"

bash bench/summarise.sh "$out" >"$out/summary.md"
gnuplot -e "results='$out'" bench/plot.gp
echo "bench: results in $out (summary.md, bench.png)"
exit $status
