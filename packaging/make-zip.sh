#!/usr/bin/env bash
# Writes a portable zip of the given files, flat, and its .sha256 beside it. Two runs over the
# same files give the same bytes: entries in the order given, each with the time SOURCE_DATE_EPOCH
# and a fixed mode (programs and libraries 0755, the rest 0644), whoever checked the files out.
#
#   SOURCE_DATE_EPOCH=SECONDS make-zip.sh OUT_ZIP FILE...
set -eu
epoch="${SOURCE_DATE_EPOCH:?make-zip.sh: SOURCE_DATE_EPOCH must give the time of the entries}"
out="$(realpath -m "$1")"
shift
mkdir -p "$(dirname "$out")"
rm -f "$out"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
names=()
for file in "$@"; do
    name="$(basename "$file")"
    cp "$file" "$stage/$name"
    case "$name" in
    *.exe | *.dll) chmod 0755 "$stage/$name" ;;
    *) chmod 0644 "$stage/$name" ;;
    esac
    touch -d "@$epoch" "$stage/$name"
    names+=("$name")
done
# -X: no Unix owners or extra times. A zip holds local times: UTC makes them the same everywhere.
(cd "$stage" && TZ=UTC zip -q -X "$out" "${names[@]}")
(cd "$(dirname "$out")" && sha256sum "$(basename "$out")" >"$(basename "$out").sha256")
