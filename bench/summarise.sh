#!/usr/bin/env bash
# Turns the merged CSV files of a benchmark run into the Markdown tables of the README.
#   summarise.sh RESULTS_DIR > summary.md
set -eu
dir="${1:?usage: summarise.sh RESULTS_DIR}"

sed -n 's/^machine=/Machine: /p; s/^wine=/Wine: /p; s/^date=/Date: /p; s/^commit=/Commit: /p' \
    "$dir/machine.txt" | sed 's/$/  /'
echo
echo "Ratios: median of the ratios of samples taken side by side, their quartiles, and the ratio of"
echo "the fastest samples of each side (the ones a busy machine disturbed least):"
echo
echo "| Ratio | Figure | Size | Measured | Against | Median | p25 - p75 | Fastest | Goal | Met |"
echo "|---|---|---:|---|---|---:|---|---:|---:|---|"
awk -F, 'NR > 1 {
    goal = ($11 + 0 > 0) ? sprintf("%.2f", $11) : "-"
    printf "| %s | %s | %s | %s | %s | %.3f | %.3f - %.3f | %.3f | %s | %s |\n",
        $1, $2, $3, $4, $5, $6, $7, $8, $13, goal, $12
}' "$dir/ratios.csv"
echo
echo "Times of one sample (size: helper processes started, or pretend processes for the scale figures;"
echo "a sample repeats a short operation, so compare the last column, per process or row):"
echo
echo "| Figure | Size | Variant | Median | p25 - p75 | Per process or row |"
echo "|---|---:|---|---:|---|---:|"
awk -F, 'NR > 1 {
    unit = ($10 + 0 > 0) ? sprintf("%.1f us", $11 / 1000) : "-"
    if ($1 ~ /^scale/) unit = sprintf("%.1f ns", $11)
    printf "| %s | %s | %s | %.2f ms | %.2f - %.2f ms | %s |\n",
        $1, $2, $3, $5 / 1000, $6 / 1000, $7 / 1000, unit
}' "$dir/summary.csv"
echo
echo "| Figure | Value | |"
echo "|---|---|---:|"
awk -F, 'NR > 1 {
    value = ($4 == "bytes") ? sprintf("%.1f KiB", $3 / 1024) : sprintf("%d %s", $3, $4)
    printf "| %s | %s | %s |\n", $1, $2, value
}' "$dir/values.csv"
