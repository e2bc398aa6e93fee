#!/usr/bin/env bash
# Runs one end-to-end case: the host drives MorvelRussia.dll under Wine and
# Xvfb, in a folder of its own (host, DLL, Plugins\Russiaobl.dom) with a fresh
# Wine prefix, and its output is compared with the expected one.
#
#   run-case.sh HOST_EXE DLL CASE_DIR
#
# HOST_EXE is the test host (tests/host/: morvel-host with the verbs of the
# tests). It runs as morvel-host.exe, the release's program: the plug-in names
# its message boxes and its settings key after the program that loads it.
#
# A case directory holds:
#   script        the morvel-host script (required)
#   expected      the expected standard output, line ends LF (required)
#   setup.sql     SQL run with sqlite3 to make the log database (optional)
#   oblast.dom    the oblast file, installed as Plugins\Russiaobl.dom (optional)
#   shipped-oblast  install the build's own generated Plugins\Russiaobl.dom
#   args          extra morvel-host arguments, one a line (optional)
#   before.sh     shell commands run before the host, with $WINEPREFIX and
#                 $CASE_TMP set (registry seeding and the like) (optional)
#   after         registry keys under HKCU\Software\morvel-host to print after
#                 the host has ended, one a line (optional)
#   nodisplay     run the host without any display (no window can be made)
#   screen        the display's size and depth, as Xvfb takes it (optional;
#                 1920x1080x24 by default)
#   after.sh      shell commands run after the host has ended, with $CASE_TMP
#                 set; what they print is compared too (optional)
#
# MORVEL_WINE_VERSION (winxp, win7 or win10), when set, is the Windows version
# Wine reports to the programs of the run; "ver" must report it before the
# host starts.
set -euo pipefail

host_exe=$1
dll=$2
case_dir=$(cd "$3" && pwd)
export CASE_DIR=$case_dir
here=$(cd "$(dirname "$0")" && pwd)
# Debian's python3 first: the pictures are read with its Pillow (python3-pil),
# which another python3 earlier on the PATH may not have.
export PATH="/usr/bin:$PATH"
name=$(basename "$case_dir")

CASE_TMP=$(mktemp -d "${TMPDIR:-/tmp}/morvel-e2e-$name.XXXXXX")
export CASE_TMP
export WINEPREFIX="$CASE_TMP/prefix"
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$CASE_TMP"
}
trap cleanup EXIT

# A fresh prefix copied from the one the Wine runner keeps ready.
"$here/../../scripts/wine-run" --copy-prefix "$WINEPREFIX"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32
# No settings from earlier runs in the template.
wine reg delete 'HKCU\Software\morvel-host' /f >/dev/null 2>&1 || true
if [ -n "${MORVEL_WINE_VERSION:-}" ]; then
    case $MORVEL_WINE_VERSION in
    winxp) want=5.1 ;;
    win7) want=6.1 ;;
    win10) want=10.0 ;;
    *)
        echo "MORVEL_WINE_VERSION: winxp, win7 or win10, not '$MORVEL_WINE_VERSION'" >&2
        exit 2
        ;;
    esac
    wine reg add 'HKCU\Software\Wine' /v Version /d "$MORVEL_WINE_VERSION" /f >/dev/null 2>&1
    reported=$(wine cmd /c ver 2>/dev/null | tr -d '\r' | grep -m 1 'Windows' || true)
    if [[ $reported != *"Windows $want."* ]]; then
        echo "Wine reports '$reported', not Windows $want" >&2
        exit 1
    fi
    echo "Windows as the programs see it: $reported" >&2
fi
# The wineserver started here has no display; the host must get one of its own.
wineserver -w

mkdir -p "$CASE_TMP/app"
cp "$host_exe" "$CASE_TMP/app/morvel-host.exe"
cp "$dll" "$CASE_TMP/app/MorvelRussia.dll"
if [ -f "$case_dir/shipped-oblast" ]; then
    mkdir -p "$CASE_TMP/app/Plugins"
    cp "$(dirname "$dll")/../Plugins/Russiaobl.dom" "$CASE_TMP/app/Plugins/Russiaobl.dom"
elif [ -f "$case_dir/oblast.dom" ]; then
    mkdir -p "$CASE_TMP/app/Plugins"
    # The shipped file has CR LF line ends, as Windows tools write them.
    sed 's/\r*$/\r/' "$case_dir/oblast.dom" > "$CASE_TMP/app/Plugins/Russiaobl.dom"
fi

args=()
if [ -f "$case_dir/setup.sql" ]; then
    # ".read log-schema.sql" and the like resolve beside this script.
    (cd "$here" && sqlite3 "$CASE_TMP/log.db" < "$case_dir/setup.sql")
    args+=(--sqlite "$CASE_TMP/log.db")
fi
if [ -f "$case_dir/args" ]; then
    while IFS= read -r line; do
        [ -n "$line" ] && args+=("${line//\$CASE_TMP/$CASE_TMP}")
    done < "$case_dir/args"
fi
if [ -f "$case_dir/before.sh" ]; then
    # shellcheck disable=SC1091
    source "$case_dir/before.sh"
fi

actual="$CASE_TMP/actual"
status=0
if [ -f "$case_dir/nodisplay" ]; then
    (cd "$CASE_TMP/app" && env -u DISPLAY wine morvel-host.exe "${args[@]}" "$case_dir/script") \
        > "$actual" 2>"$CASE_TMP/stderr" || status=$?
else
    screen=1920x1080x24
    if [ -f "$case_dir/screen" ]; then
        screen=$(tr -d ' \r\n' < "$case_dir/screen")
    fi
    (cd "$CASE_TMP/app" && xvfb-run -a -s "-screen 0 $screen" \
        wine morvel-host.exe "${args[@]}" "$case_dir/script") > "$actual" 2>"$CASE_TMP/stderr" ||
        status=$?
fi
wineserver -w
if [ -f "$case_dir/after" ]; then
    while IFS= read -r key; do
        [ -z "$key" ] && continue
        echo "registry	$key"
        wine reg query "HKCU\\Software\\morvel-host\\$key" 2>/dev/null |
            tr -d '\r' | sed -n 's/^ \{4\}\([^ ].*\) \{4\}REG_SZ \{4\}\(.*\)$/\1\t\2/p' |
            grep -v -E '^(MinMaxPos|NormPos)\(' |
            awk -F '\t' 'length($2) > 200 { print $1 "\t(" length($2) " characters)"; next } { print }' ||
            true
    done < "$case_dir/after" >> "$actual"
fi
if [ -f "$case_dir/after.sh" ]; then
    # shellcheck disable=SC1091
    (cd "$CASE_TMP/app" && source "$case_dir/after.sh") >> "$actual"
fi
sed -i 's/\r$//' "$actual"
# The case's folder differs from run to run: it reads as %APP% (the host's
# folder, as Windows names it) and %TMP% (as Linux names it).
app_windows=$(winepath -w "$CASE_TMP/app" 2>/dev/null | tr -d '\r')
python3 - "$actual" "$app_windows" "$CASE_TMP" <<'PY'
import sys
path, app, tmp = sys.argv[1:4]
data = open(path, 'rb').read()
for old, new in ((app, b'%APP%'), (app.replace('\\', '\\x5C'), b'%APP%'), (tmp, b'%TMP%')):
    if old:
        data = data.replace(old.encode() if isinstance(old, str) else old, new)
open(path, 'wb').write(data)
PY

if [ "$status" -ne 0 ]; then
    echo "morvel-host exited with status $status" >&2
    cat "$CASE_TMP/stderr" >&2
fi
if [ -n "${MORVEL_E2E_SAVE:-}" ]; then
    cp "$actual" "$MORVEL_E2E_SAVE"
fi
if ! diff -u "$case_dir/expected" "$actual"; then
    echo "case $name: output differs (above: expected, actual)" >&2
    exit 1
fi
[ "$status" -eq 0 ]
