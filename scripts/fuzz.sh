#!/usr/bin/env bash
# Builds the libFuzzer targets (the "fuzz" preset, clang) and runs each one for a bounded time on
# a scratch copy of its seed corpus, so the tree stays clean. Fails on the first crash.
# FUZZ_SECONDS sets the time per fuzzer (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-30}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target kvu_fuzzers -j2

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

found=0
while IFS= read -r fuzzer; do
    name="$(basename "$fuzzer")"
    corpus="$work/$name/corpus"
    mkdir -p "$corpus" "$work/$name/artifacts"
    seeds="tests/fuzz/corpus/${name%_fuzzer}"
    if [ -d "$seeds" ]; then
        cp -R "$seeds/." "$corpus/"
    fi
    found=$((found + 1))
    printf '=== %s for %s s\n' "$name" "$seconds"
    if ! "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="$work/$name/artifacts/" "$corpus" 2>"$work/$name/log"; then
        tail -n 60 "$work/$name/log" >&2
        mkdir -p build/fuzz/crashes
        cp -R "$work/$name/artifacts/." build/fuzz/crashes/ 2>/dev/null || true
        printf '%s crashed; inputs kept in build/fuzz/crashes\n' "$name" >&2
        exit 1
    fi
    grep -E '^(stat::number_of_executed_units|#[0-9]+ *DONE)' "$work/$name/log" || true
done < <(find build/fuzz -type f -name '*_fuzzer' -perm -u+x | sort)

if [ "$found" -eq 0 ]; then
    echo "no fuzzers found in build/fuzz" >&2
    exit 1
fi
echo "fuzzing passed: $found fuzzer(s), ${seconds} s each"
