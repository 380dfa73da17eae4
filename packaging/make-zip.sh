#!/usr/bin/env bash
# Writes a portable zip of the given files, flat, and its .sha256 beside it.
#
#   make-zip.sh OUT_ZIP FILE...
set -eu
out="$(realpath -m "$1")"
shift
mkdir -p "$(dirname "$out")"
rm -f "$out"
# -X: no Unix owners or extra times, so the archive depends on the files only.
zip -q -X -j "$out" "$@"
(cd "$(dirname "$out")" && sha256sum "$(basename "$out")" >"$(basename "$out").sha256")
