#!/usr/bin/env bash
# Runs the Pascal host under Wine and Xvfb in a folder of its own (the host,
# the DLL, Plugins\Russiaobl.dom) with a log made from log.sql and a fresh
# Wine prefix.
#
#   run-pascal-host.sh HOST_EXE DLL OBLAST_FILE
#       the host drives DLL; passes when every check of the host passes.
#   run-pascal-host.sh --faults HOST_EXE DLL OBLAST_FILE STAND_IN_DLL
#       the host drives the stand-in DLL (which forwards to DLL) once without
#       a fault, which must pass, and once for each fault, which must fail
#       on the check meant to catch it.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

# The host's failure line each fault must produce (an extended regular
# expression).
fpu_check='^FAIL x87 control, status and tag words and MXCSR kept by _[A-Za-z]+: '
register_check='^FAIL registers, stack pointer and direction flag kept by _[A-Za-z]+: '
expected_failure() {
    case $1 in
        x87-control-word) echo "${fpu_check}.*control word [0-9A-F]{4}, expected" ;;
        x87-exception-flag) echo "${fpu_check}.*status word [0-9A-F]{4}: exception flags" ;;
        x87-stack) echo "${fpu_check}.*tag word [0-9A-F]{4}: x87 stack not empty" ;;
        mxcsr) echo "${fpu_check}.*MXCSR [0-9A-F]{8}, expected" ;;
        ebx | esi | edi | ebp) echo "${register_check}.* ${1^^} 0BADF00D" ;;
        direction-flag) echo "${register_check}.* direction flag set" ;;
        callee-pops) echo "${register_check}.* ESP moved by 4" ;;
        record-write) echo "^FAIL the logger's record never written: .*write at Record\\+5915" ;;
        record-overread) echo "^FAIL nothing read past the end .*: .*read at Record\\+5916 \\(past the end\\)" ;;
        duplicate-answer) echo "^FAIL duplicates: .* gave 1, expected -1" ;;
        shortstring-length) echo "^FAIL _GrabNumber answers the oblast .*: .*gave \"[^\"]+\", expected \"MA\"" ;;
        *) return 1 ;;
    esac
}
faults=(x87-control-word x87-exception-flag x87-stack mxcsr ebx esi edi ebp direction-flag
    callee-pops record-write record-overread duplicate-answer shortstring-length)

# Second stage, inside xvfb-run: the runs themselves.
if [ "${1:-}" = --runs ]; then
    shift
    mode=$1
    cd "$PASCAL_HOST_TMP/app"
    log_path="$PASCAL_HOST_TMP/log.db"
    if [ "$mode" = single ]; then
        status=0
        timeout 120 wine pascal-host.exe MorvelRussia.dll "$log_path" || status=$?
        # Wine's desktop process goes while the display is still there.
        wineserver -k >/dev/null 2>&1 || true
        exit "$status"
    fi
    run() { # FAULT OUTPUT: the host's exit status
        local status=0
        MORVEL_FAULT=$1 timeout 120 wine pascal-host.exe MorvelFault.dll "$log_path" \
            >"$2" 2>&1 || status=$?
        tr -d '\r' <"$2" >"$2.lf" && mv "$2.lf" "$2"
        return "$status"
    }
    missed=0
    out="$PASCAL_HOST_TMP/none.out"
    if run none "$out"; then
        echo "no fault: passed ($(tail -n 1 "$out"))"
    else
        echo "no fault: FAILED, the stand-in alone must pass; the host's output:"
        sed 's/^/    /' "$out"
        missed=$((missed + 1))
    fi
    for fault in "${faults[@]}"; do
        out="$PASCAL_HOST_TMP/$fault.out"
        status=0
        run "$fault" "$out" || status=$?
        pattern=$(expected_failure "$fault")
        if [ "$status" -ne 0 ] && line=$(grep -m 1 -E "$pattern" "$out"); then
            echo "fault $fault: caught (exit status $status): $line"
        else
            echo "fault $fault: NOT CAUGHT (exit status $status; no line matching $pattern); the host's output:"
            sed 's/^/    /' "$out"
            missed=$((missed + 1))
        fi
    done
    wineserver -k >/dev/null 2>&1 || true
    if [ "$missed" -ne 0 ]; then
        echo "fault injection: $missed of $((${#faults[@]} + 1)) runs went wrong"
        exit 1
    fi
    echo "fault injection: the clean run passed and all ${#faults[@]} faults were caught"
    exit 0
fi

mode=single
if [ "${1:-}" = --faults ]; then
    mode=faults
    shift
fi
host_exe=$1
dll=$2
oblast_file=$3
stand_in=${4:-}
if [ "$mode" = faults ] && [ -z "$stand_in" ]; then
    echo "run-pascal-host.sh --faults needs the stand-in DLL" >&2
    exit 2
fi

PASCAL_HOST_TMP=$(mktemp -d "${TMPDIR:-/tmp}/morvel-pascal-host.XXXXXX")
export PASCAL_HOST_TMP
export WINEPREFIX="$PASCAL_HOST_TMP/prefix"
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$PASCAL_HOST_TMP"
}
trap cleanup EXIT

# A fresh prefix copied from the one the Wine runner keeps ready.
"$here/../../scripts/wine-run" --copy-prefix "$WINEPREFIX"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32

mkdir -p "$PASCAL_HOST_TMP/app/Plugins"
cp "$host_exe" "$PASCAL_HOST_TMP/app/pascal-host.exe"
cp "$dll" "$PASCAL_HOST_TMP/app/MorvelRussia.dll"
cp "$oblast_file" "$PASCAL_HOST_TMP/app/Plugins/Russiaobl.dom"
if [ -n "$stand_in" ]; then
    cp "$stand_in" "$PASCAL_HOST_TMP/app/MorvelFault.dll"
fi
(cd "$here" && sqlite3 "$PASCAL_HOST_TMP/log.db" <log.sql)

xvfb-run -a -s "-screen 0 1920x1080x24" bash "$0" --runs "$mode"
