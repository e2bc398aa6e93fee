#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, ASan + UBSan) and runs every fuzz
# target for SECONDS_PER_TARGET seconds (default 20), each on a copy of its
# seed corpus fuzz/corpus/<target>/ in a temporary directory, so the
# repository's corpus stays as it is.
#
#   bash scripts/fuzz.sh [SECONDS_PER_TARGET]
#
# Prints the number of executions of every target. A crash, a sanitizer
# report, a broken invariant, a leak or a hang is a finding: the input that
# caused it and the target's output are kept in out/fuzz/<target>/ and the
# script exits with status 1 once every target has run.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [SECONDS_PER_TARGET]  (a whole number of seconds, at least 1)" >&2
    exit 2
fi

targets=(fuzz_oblast fuzz_record fuzz_settings fuzz_odbc fuzz_script fuzz_check)
# Input sizes: an oblast file of up to 64 KiB, six 5916-byte contact records,
# settings texts of up to 4 KiB, a result of up to four rows and the driver's
# answers to the query's calls (a few hundred bytes; room for the lies), a
# morvel-host script and a log of a few dozen rows for --check.
declare -A max_len=(
    [fuzz_oblast]=65536
    [fuzz_record]=$((6 * 5916))
    [fuzz_settings]=4096
    [fuzz_odbc]=2048
    [fuzz_script]=4096
    [fuzz_check]=4096
)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

work=$(mktemp -d "${TMPDIR:-/tmp}/morvel-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

status=0
total=0
for target in "${targets[@]}"; do
    corpus="$work/corpus/$target"
    mkdir -p "$corpus"
    cp fuzz/corpus/"$target"/* "$corpus"/
    artifacts="out/fuzz/$target"
    mkdir -p "$artifacts"
    log="$work/$target.log"

    rc=0
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        build/fuzz/fuzz/"$target" "$corpus" \
            -max_total_time="$seconds" -max_len="${max_len[$target]}" -timeout=10 \
            -artifact_prefix="$artifacts/" -print_final_stats=1 >"$log" 2>&1 || rc=$?

    # libFuzzer ends a clean run with "Done N runs in S second(s)"; after a
    # finding its final statistics (or else the last status line, "#N ...")
    # tell how far it got.
    runs=$(sed -n 's/^Done \([0-9][0-9]*\) runs.*/\1/p' "$log" | tail -n 1)
    if [ -z "$runs" ]; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9][0-9]*\).*/\1/p' "$log" |
            tail -n 1)
    fi
    if [ -z "$runs" ]; then
        runs=$(sed -n 's/^#\([0-9][0-9]*\)[[:space:]].*/\1/p' "$log" | tail -n 1)
    fi
    runs=${runs:-0}
    total=$((total + runs))

    if [ "$rc" -eq 0 ]; then
        echo "$target: $runs runs in $seconds s, no findings"
    else
        status=1
        cp "$log" "$artifacts/$target.log"
        echo "$target: FINDING after $runs runs (exit status $rc); input and output in $artifacts/"
        tail -n 40 "$log" | sed 's/^/    /'
    fi
done
echo "all targets: $total runs"
exit "$status"
