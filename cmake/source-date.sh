#!/usr/bin/env bash
# The one time that goes into every built file: the last commit's, so that two builds of one
# commit, wherever and whenever they run, write the same bytes.
#
#   source-date.sh write SOURCE_DIR FILE   store the time in FILE (rewritten only when it changes,
#                                          so that only a new time relinks and repackages)
#   source-date.sh run FILE COMMAND ...    run COMMAND with SOURCE_DATE_EPOCH set to that time
#
# The time is SOURCE_DATE_EPOCH when the caller sets it, else the commit time of SOURCE_DIR's
# checkout, else (a source tree outside git, or inside another project's checkout) kFixedEpoch.
set -eu
kFixedEpoch=1767225600 # 2026-01-01 00:00:00 UTC

case "${1:-}" in
write)
    source_dir="$(cd "$2" && pwd -P)" file="$3"
    if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
        epoch="$SOURCE_DATE_EPOCH" origin="from SOURCE_DATE_EPOCH"
    elif top="$(git -C "$source_dir" rev-parse --show-toplevel 2>/dev/null)" \
        && [ "$(cd "$top" && pwd -P)" = "$source_dir" ] \
        && epoch="$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null)" && [ -n "$epoch" ]; then
        origin="from commit $(git -C "$source_dir" rev-parse --short HEAD)"
    else
        epoch="$kFixedEpoch" origin="fixed: $source_dir is no git checkout"
    fi
    case "$epoch" in
    '' | *[!0-9]*) echo "source-date.sh: SOURCE_DATE_EPOCH '$epoch' is not a number of seconds" >&2; exit 2 ;;
    esac
    if [ "$(cat "$file" 2>/dev/null)" != "$epoch" ]; then
        mkdir -p "$(dirname "$file")"
        echo "$epoch" >"$file.tmp" && mv "$file.tmp" "$file"
        echo "source date $epoch ($(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S UTC'), $origin)"
    fi
    ;;
run)
    epoch="$(cat "$2")"
    shift 2
    SOURCE_DATE_EPOCH="$epoch" exec "$@"
    ;;
*)
    echo "usage: source-date.sh write SOURCE_DIR FILE | run FILE COMMAND..." >&2
    exit 2
    ;;
esac
