#!/usr/bin/env bash
# A whole-log recalculation from PostgreSQL over loopback against a raw ODBC
# scan of the same seven columns on the same server, as ratios measured in one
# run (median of the rounds, the programs alternating):
#
#   bash bench/recalc-server.sh [CONTACTS] [ROUNDS]      (defaults 100000, 5)
#
# Rows: morvel-score against morvel-odbc-scan as whole processes, natively and
# under Wine; the DLL's recalculation inside a host under Wine against the
# scan in the same host. Starts a private PostgreSQL instance of its own
# (tests/servers/server.sh) and stops it at the end. Needs the native and
# win32 builds (build/native, build/win32; others through MORVEL_NATIVE_BUILD
# and MORVEL_WIN32_BUILD).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
one_display "$0" "$@"

contacts=${1:-100000}
rounds=${2:-5}
native=${MORVEL_NATIVE_BUILD:-build/native}
win32=${MORVEL_WIN32_BUILD:-build/win32}
need_builds "$native/tools/morvel-score" "$native/tools/morvel-loggen" \
    "$native/bench/morvel-odbc-scan" "$win32/tools/morvel-score.exe" \
    "$win32/bench/morvel-odbc-scan.exe" "$win32/bench/morvel_bench_multipliers.exe" \
    "$win32/plugin/MorvelRussia.dll"

work=$(mktemp -d "${TMPDIR:-/tmp}/morvel-server-bench.XXXXXX")
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    bash tests/servers/server.sh stop pg "$work/servers/pg" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
bash tests/servers/server.sh start pg "$work/servers/pg" >/dev/null
# shellcheck disable=SC1091
source "$work/servers/pg/env"
export ODBCSYSINI="$work/servers"
"$native/tools/morvel-loggen" --odbc "$ODBC" --contacts "$contacts" --seed 2027 >/dev/null
cp "$win32/plugin/MorvelRussia.dll" "$win32/bench/morvel_bench_multipliers.exe" "$work/"

# A prefix of its own, whose Wine server stays up for the whole run, so that
# no program pays for starting it.
export WINEPREFIX="$work/prefix"
scripts/wine-run --copy-prefix "$WINEPREFIX"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32
wineserver -p

declare -A WALL CPU
# One untimed pass first: the Wine server, the prefix and the file cache warm up.
seconds wine "$win32/bench/morvel-odbc-scan.exe" --odbc "$ODBC" >/dev/null
seconds wine "$win32/tools/morvel-score.exe" --odbc "$ODBC" >/dev/null
for ((r = 0; r < rounds; r++)); do
    measure scan "$native/bench/morvel-odbc-scan" --odbc "$ODBC"
    measure score "$native/tools/morvel-score" --odbc "$ODBC"
    measure wine_scan wine "$win32/bench/morvel-odbc-scan.exe" --odbc "$ODBC"
    measure wine_score wine "$win32/tools/morvel-score.exe" --odbc "$ODBC"
done

in_host=$( (cd "$work" && wine morvel_bench_multipliers.exe --odbc "$ODBC" \
    --rounds "$rounds" 2>&1) | tr -d '\r')
host_recalc=$(awk '/window closed/ { print $(NF - 4) }' <<<"$in_host")
host_scan=$(awk '/raw ODBC scan/ { print $(NF - 4) }' <<<"$in_host")


echo "$contacts contacts on PostgreSQL over loopback, median of $rounds rounds, programs alternating;"
echo "CPU time is user and system time of the process (the servers' not included)"
echo
echo "| what | time | ratio | CPU time | CPU ratio |"
echo "|---|---|---|---|---|"
row "raw ODBC scan of the seven columns, natively" scan scan
row "morvel-score, natively" score scan
row "raw ODBC scan under Wine" wine_scan wine_scan
row "morvel-score.exe under Wine" wine_score wine_scan
echo "| raw ODBC scan inside a host under Wine | ${host_scan:-?} ms | 1 | | |"
echo "| the DLL's recalculation inside the same host | ${host_recalc:-?} ms | $(ratio "${host_recalc:-0}" "${host_scan:-1}") | | |"
