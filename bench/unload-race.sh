#!/usr/bin/env bash
# An unload from another thread against the windows' thread's ordinary
# traffic, as whole processes under Wine: each run starts the test host
# (tests/host/: morvel-host with the verbs of the tests) on a small log, opens
# both windows and unloads the plug-in on a thread of its own after a delay,
# while the windows' thread sends WM_NULL to the main window as fast as it can
# (the script command "race"). The delays cycle through 0 to 39 ms, so that
# the unload meets the traffic at every point.
#
#   bash bench/unload-race.sh [RUNS] [DLL]     (defaults 300, build/win32's)
#
# Prints the runs that passed, crashed (a non-zero exit status or no "loaded 0"
# after the race) and hung (no end within 30 s), with the delays of the
# failures. Needs the win32 build (build/win32, or MORVEL_WIN32_BUILD).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
one_display "$0" "$@"

runs=${1:-300}
win32=${MORVEL_WIN32_BUILD:-build/win32}
dll=${2:-$win32/plugin/MorvelRussia.dll}
need_builds "$win32/tests/host/morvel-test-host.exe" "$dll"

test_host_work race "$win32/tests/host/morvel-test-host.exe" "$dll"

passed=0
crashed=()
hung=()
for ((run = 0; run < runs; ++run)); do
    delay=$((run % 40))
    printf 'run\nmult\nrace\t%d\nloaded\n' "$delay" >"$work/script"
    status=0
    (cd "$work" && timeout 30 wine morvel-test-host.exe --sqlite "$work/log.db" script) \
        >"$work/out" 2>"$work/err" || status=$?
    if [ "$status" -eq 124 ]; then
        hung+=("$delay")
    elif [ "$status" -ne 0 ] || ! grep -q $'^loaded\t0' "$work/out"; then
        crashed+=("$delay")
    else
        passed=$((passed + 1))
    fi
done
echo "DLL: $dll"
echo "runs: $runs, passed: $passed, crashed: ${#crashed[@]}, hung: ${#hung[@]}"
[ "${#crashed[@]}" -eq 0 ] || echo "delays of the crashes (ms): ${crashed[*]}"
[ "${#hung[@]}" -eq 0 ] || echo "delays of the hangs (ms): ${hung[*]}"
