#!/usr/bin/env bash
# Every Wine program of the suite runs without address-space randomisation, and where the machine
# refuses to turn it off (as containers may), still runs. Wine starts a Unix program as a child of
# the Windows process that asked, with that process's personality; the program reads it.
#
#   wine-launch-test.sh BUILD_DIR
set -u
build="${1:?usage: wine-launch-test.sh BUILD_DIR}"
wine_env="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../cmake" && pwd)/wine-env.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
readonly kAddrNoRandomize=0x0040000
failed=0

# Wine starts a Unix program without waiting for it: the Windows process that asked may end before
# the program has run. So the reader leaves its answer in a file, complete once it is renamed.
printf '#!/bin/sh\ncat /proc/self/personality >"%s.part" && mv "%s.part" "%s"\n' \
    "$work/personality" "$work/personality" "$work/personality" >"$work/reader"
chmod +x "$work/reader"

# expect_personality LABEL PATH EXPECTED: a program started with that PATH runs with EXPECTED.
expect_personality() {
    rm -f "$work/personality"
    PATH="$2" TANDREL_WINE_TIMEOUT=60 "$wine_env" run "$build" "$work/reader" >"$work/out" 2>&1
    local rc=$? said=""
    for _ in $(seq 300); do
        [ -f "$work/personality" ] && break
        sleep 0.1
    done
    [ -f "$work/personality" ] && said="$(tr -d '\r\n' <"$work/personality")"
    if [ $rc -eq 0 ] && [ "$said" = "$3" ]; then
        echo "ok   $1: personality $said"
    else
        echo "FAIL $1: exit code $rc, said '$(tr -d '\r\n' <"$work/out")', read '$said' within" \
            "30 s, expected personality $3"
        failed=1
    fi
}

# setarch as Docker's default seccomp profile leaves it.
mkdir "$work/refusing"
printf '#!/bin/sh\necho "setarch: failed to set personality to x86_64: Operation not permitted" >&2\nexit 1\n' \
    >"$work/refusing/setarch"
chmod +x "$work/refusing/setarch"

own="$(cat /proc/$$/personality)"
expect_personality "setarch allowed" "$PATH" "$(printf '%08x' $((0x$own | kAddrNoRandomize)))"
expect_personality "setarch refused" "$work/refusing:$PATH" "$own"
exit $failed
