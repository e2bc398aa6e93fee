#!/usr/bin/env bash
# How long each kind of window message takes the plug-in while another
# thread holds the loader's lock, as a library's DllMain does: the test host
# (tests/host/) opens the three windows on a small log, then its "locked"
# command has a thread of its own take the lock and send each window
# activation, focus, showing, settings, menu and command messages, one at a
# time, each bounded by 5 s (a message that waits for the lock takes the
# whole bound). Repeated ROUNDS times in one process.
#
#   bash bench/loader-lock.sh [ROUNDS] [DLL]     (defaults 5, build/win32's)
#
# Prints, for each window and kind, the median and the largest time in
# milliseconds over the rounds, and how many sends went unanswered. Needs the
# win32 build (build/win32, or MORVEL_WIN32_BUILD).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
one_display "$0" "$@"

rounds=${1:-5}
win32=${MORVEL_WIN32_BUILD:-build/win32}
dll=${2:-$win32/plugin/MorvelRussia.dll}
need_builds "$win32/tests/host/morvel-test-host.exe" "$dll"

test_host_work locked "$win32/tests/host/morvel-test-host.exe" "$dll"
mkdir -p "$work/Plugins"
cp "$win32/Plugins/Russiaobl.dom" "$work/Plugins/"

{
    printf 'run\nmult\nsysmenu\tmain\tcheck\n'
    for ((round = 0; round < rounds; ++round)); do
        printf 'locked\n'
    done
    printf 'release\n'
} >"$work/script"
(cd "$work" && timeout 600 wine morvel-test-host.exe --sqlite "$work/log.db" script) \
    >"$work/out" 2>"$work/err" || { cat "$work/out" "$work/err" >&2; exit 1; }

echo "DLL: $dll"
echo "rounds with an unanswered send: $(grep -c $'^locked\tunanswered' "$work/out" || true)"
grep $'^locked\t' "$work/err" | python3 -c '
import statistics, sys
times = {}
for line in sys.stdin:
    _, window, kind, ms = line.rstrip("\n").split("\t")
    times.setdefault((window, kind), []).append(float(ms))
print("%-8s%-18s%12s%10s" % ("window", "message", "median ms", "max ms"))
for (window, kind), values in times.items():
    print("%-8s%-18s%12.3f%10.3f" % (window, kind, statistics.median(values), max(values)))
'
