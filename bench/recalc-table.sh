#!/usr/bin/env bash
# What the operator waits for, as whole processes on one generated log, timed
# in one run with the programs alternating (median of the rounds):
#
#   bash bench/recalc-table.sh [CONTACTS] [ROUNDS]      (defaults 100000, 5)
#
# Rows: the SQLite engine alone; the raw ODBC scan of the seven columns and
# morvel-score, natively and under Wine; the DLL's own recalculation timed
# inside a host against the same scan in the same host; the per-call cost of
# _AddQSO and _GetScore under Wine; the scoring state's bytes per contact.
# Needs the native and win32 builds (build/native, build/win32; other build
# directories through MORVEL_NATIVE_BUILD and MORVEL_WIN32_BUILD).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
one_display "$0" "$@"

contacts=${1:-100000}
rounds=${2:-5}
native=${MORVEL_NATIVE_BUILD:-build/native}
win32=${MORVEL_WIN32_BUILD:-build/win32}
need_builds "$native/tools/morvel-score" "$native/bench/morvel-odbc-scan" \
    "$native/bench/morvel_bench_recalc" "$win32/tools/morvel-score.exe" \
    "$win32/bench/morvel-odbc-scan.exe" "$win32/bench/morvel_bench_multipliers.exe" \
    "$win32/bench/morvel_bench_exports.exe" "$win32/plugin/MorvelRussia.dll"

work=$(mktemp -d "${TMPDIR:-/tmp}/morvel-table.XXXXXX")
trap 'rm -rf "$work"' EXIT
log="$work/log.db"
"$native/tools/morvel-loggen" --out "$log" --contacts "$contacts" --seed 2027 \
    >/dev/null
cp "$win32/plugin/MorvelRussia.dll" "$win32/bench/morvel_bench_multipliers.exe" \
    "$win32/bench/morvel_bench_exports.exe" "$work/"

export WINEPREFIX
WINEPREFIX=$(scripts/wine-run --prefix-path)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# One Wine server for the whole run, so that no program pays for starting it.
wineserver -p
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

declare -A WALL CPU
# One untimed pass first: the Wine server, the prefix and the file cache warm up.
seconds wine "$win32/bench/morvel-odbc-scan.exe" --sqlite "$log" >/dev/null
seconds wine "$win32/tools/morvel-score.exe" --sqlite "$log" >/dev/null
for ((r = 0; r < rounds; r++)); do
    measure engine sqlite3 "$log" 'Select * from Log order by CallSign'
    measure scan "$native/bench/morvel-odbc-scan" --sqlite "$log"
    measure score "$native/tools/morvel-score" --sqlite "$log"
    measure wine_scan wine "$win32/bench/morvel-odbc-scan.exe" --sqlite "$log"
    measure wine_score wine "$win32/tools/morvel-score.exe" --sqlite "$log"
done

# The DLL's recalculation and the scan in one host process; the exports' cost.
in_host=$( (cd "$work" && wine morvel_bench_multipliers.exe --log log.db \
    --rounds "$rounds" 2>&1) | tr -d '\r')
exports=$( (cd "$work" && wine morvel_bench_exports.exe 2>&1) | tr -d '\r')
state=$("$native/bench/morvel_bench_recalc" --benchmark_filter=BM_Recalculation \
    --benchmark_format=json 2>/dev/null | python3 -c '
import json, sys
run = json.load(sys.stdin)["benchmarks"][0]
print("%.0f" % run["state_bytes_per_contact"])' || true)

host_recalc=$(awk '/window closed/ { print $(NF - 4) }' <<<"$in_host")
host_scan=$(awk '/raw ODBC scan/ { print $(NF - 4) }' <<<"$in_host")
read -r add score <<<"$(awk '$1 == 100000 { print $2, $3 }' <<<"$exports")"


echo "$contacts contacts, median of $rounds rounds, programs alternating;"
echo "CPU time is user and system time of the process (the Wine server's not included)"
echo
echo "| what | time | ratio | CPU time | CPU ratio |"
echo "|---|---|---|---|---|"
row "the SQLite engine alone (sqlite3 shell)" engine
row "raw ODBC scan of the seven columns, natively" scan scan
row "morvel-score, natively" score scan
row "raw ODBC scan under Wine" wine_scan wine_scan
row "morvel-score.exe under Wine" wine_score wine_scan
echo "| raw ODBC scan inside a host under Wine | ${host_scan:-?} ms | 1 | | |"
echo "| the DLL's recalculation inside the same host | ${host_recalc:-?} ms | $(ratio "${host_recalc:-0}" "${host_scan:-1}") | | |"
echo "| _AddQSO under Wine, 100,000 counted | ${add:-?} µs a call | | | |"
echo "| _GetScore under Wine, 100,000 counted | ${score:-?} µs a call | | | |"
if [ -n "$state" ]; then
    echo "| the scoring state, natively | $state bytes a counted contact | | | |"
fi
