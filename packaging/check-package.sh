#!/usr/bin/env bash
# The release package as a user gets it: builds the ZIP, unpacks it into an
# empty folder, checks its files and the plug-in's debug information beside
# the ZIP (check-package.py) and the hardening in the packed images' headers
# (scripts/check-hardening.py), and runs the unpacked
# programs there under Wine and Xvfb against a small log: morvel-host.exe with
# the example script of INSTALL.txt (the plug-in starts, suggests MA for main
# prefix UA3A from the shipped oblast file and shows the log's statistics), and
# morvel-score.exe, which must count the same (and with --check find the
# oblast file beside it); then morvel-host.exe without a log, asking the
# plug-in for its information.
#
# Beside the programs lie PLANTED_DLL copies named ODBC32.dll and UxTheme.dll,
# as a download folder may hold them: the programs must load the driver
# manager from the system directory, the plug-in's import of ODBC32.dll must
# take the one the host loaded, and a library that a system library loads by
# its name alone (UxTheme.dll, which the Common Controls of the plug-in's
# windows load) must come from the system directory too. A planted copy that
# is loaded leaves NAME.loaded and fails its load. The programs name no other
# library outside the KnownDLLs (psapi.dll, say) at all.
#
#   check-package.sh CMAKE BINARY_DIR ZIP VERSION DOM_FILE DEBUG_FILE OBJDUMP NM ADDR2LINE \
#                    PLANTED_DLL
set -euo pipefail

cmake_exe=$1
binary_dir=$2
zip=$3
version=$4
dom_file=$5
debug_file=$6
objdump=$7
nm=$8
addr2line=$9
planted_dll=${10}
here=$(cd "$(dirname "$0")" && pwd)

"$cmake_exe" --build "$binary_dir" --target package_zip

tmp=$(mktemp -d "${TMPDIR:-/tmp}/morvel-package.XXXXXX")
export WINEPREFIX="$tmp/prefix"
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$tmp"
}
trap cleanup EXIT

# Unpacked where Windows users often put programs: a folder name with a space.
unpacked="$tmp/Program Files"
mkdir "$unpacked"
python3 "$here/check-package.py" "$zip" "$version" "$unpacked" "$dom_file" "$tmp/check.txt" \
    "$debug_file" "$here/.." "$objdump" "$nm" "$addr2line"
app="$unpacked/MorvelRussia-$version"
# Stripping keeps the hardening in the headers and the resources.
python3 "$here/../scripts/check-hardening.py" --objdump "$objdump" --stripped \
    --dll-manifest "$here/../plugin/MorvelRussia.manifest" \
    "$app/MorvelRussia.dll" "$app/morvel-host.exe" "$app/morvel-score.exe"
# sha256sum itself reads the sums file.
(cd "$app" && sha256sum --check --strict --quiet SHA256SUMS)

cp "$planted_dll" "$app/ODBC32.dll"
cp "$planted_dll" "$app/UxTheme.dll"
for program in morvel-host.exe morvel-score.exe; do
    if grep -aqi 'psapi' "$app/$program"; then
        echo "$program from the package names psapi.dll: it would load it" >&2
        exit 1
    fi
done
# Fails when a program run loaded a planted DLL.
check_planted() {
    local mark
    for mark in "$app"/*.loaded; do
        if [ -e "$mark" ]; then
            echo "$1 loaded the planted $(basename "$mark" .loaded) from its folder" >&2
            exit 1
        fi
    done
}

sqlite3 "$tmp/log.db" <<'SQL'
CREATE TABLE Log (
    ID INTEGER PRIMARY KEY,
    QSODateTime TEXT,
    CallSign TEXT,
    Frequency TEXT,
    DigiBand TEXT,
    QSOMode TEXT,
    RSTSent TEXT,
    RSTRecived TEXT,
    QSOReportRecived TEXT,
    DXCCPrefix TEXT,
    MainPrefix TEXT,
    Continent TEXT
);
INSERT INTO Log (CallSign, DigiBand, QSOMode, QSOReportRecived, DXCCPrefix, MainPrefix, Continent)
VALUES ('UA3AAA', '14', 'CW', '599 MA', 'UA1', 'UA3A', 'EU'),
       ('UA3AAA', '14', 'CW', '599 MA', 'UA1', 'UA3A', 'EU'),
       ('UA9ABC', '7', 'SSB', '59 CB', 'UA9', 'UA9A', 'AS'),
       ('DL1XX', '14', 'CW', '599 001', 'DL', 'DL', 'EU'),
       ('UA3AAA', '21', 'CW', '599 MA', 'UA1', 'UA3A', 'EU');
SQL

# The duplicate on 14 MHz counts nothing; 14 MHz: MA, UA1 and DL; 21 MHz: MA
# and UA1; 7 MHz: CB and UA9.
statistics='Band	  QSOs	Points	   OBL	  DXCC	
  14	     2	     2	     1	     2	
  21	     1	     1	     1	     1	
   7	     1	     1	     1	     1	
Total	     4	     4	     3	     4
 Score: 4*(3+4)=28'

# A fresh prefix copied from the one the Wine runner keeps ready, without
# settings from earlier runs.
"$here/../scripts/wine-run" --copy-prefix "$WINEPREFIX"
# Wine takes its own odbc32 and uxtheme before a DLL of the program's folder;
# native first is the order in which Windows looks for a DLL that is not one
# of its KnownDLLs: the program's folder, then the system directory.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;odbc32,uxtheme=n,b" WINEARCH=win32
wine reg delete 'HKCU\Software\morvel-host' /f >/dev/null 2>&1 || true

# morvel-score.exe ends its lines with LF, as its --help says, on Windows too:
# its output is compared as it is, a CR would differ.
status=0
score_output=$(cd "$app" && env -u DISPLAY wine morvel-score.exe --sqlite ../../log.db) ||
    status=$?
# The wineserver started without a display; the host must get one of its own.
wineserver -w
check_planted morvel-score.exe
if [ "$status" -ne 0 ] || [ "$score_output" != "$statistics" ]; then
    echo "morvel-score.exe from the package (status $status) printed:" >&2
    echo "$score_output" >&2
    echo "expected:" >&2
    echo "$statistics" >&2
    exit 1
fi
# Windows' "/?" asks either program for its help, --version for its version.
for program in morvel-host morvel-score; do
    help=$(cd "$app" && env -u DISPLAY wine "$program.exe" "/?" | tr -d '\r') || status=$?
    shown=$(cd "$app" && env -u DISPLAY wine "$program.exe" --version | tr -d '\r') ||
        status=$?
    wineserver -w
    if [ "$status" -ne 0 ] || [[ $help != "Usage: $program"* ]] ||
        [ "$shown" != "$program $version" ]; then
        echo "$program.exe /? and --version (status $status) printed:" >&2
        echo "$help" "$shown" >&2
        exit 1
    fi
done
# --check looks the codes up in the oblast file beside the program (MA and CB
# are in it) and names the duplicate by its position and ID (its time is NULL).
checked="$statistics

Rows to check: 1 (each named by its row, the position in call-sign order, and by ID and QSODateTime)
row	ID	QSODateTime	call	band	mode	reasons
3	2		UA3AAA	14	CW	duplicate of row 2 (ID 1)"
score_output=$(cd "$app" && env -u DISPLAY wine morvel-score.exe --sqlite ../../log.db --check) ||
    status=$?
wineserver -w
if [ "$status" -ne 0 ] || [ "$score_output" != "$checked" ]; then
    echo "morvel-score.exe --check from the package (status $status) printed:" >&2
    echo "$score_output" >&2
    echo "expected:" >&2
    echo "$checked" >&2
    exit 1
fi

expected="$tmp/expected"
{
    echo "run	1"
    echo "grab	MA"
    echo "stats	6"
    echo "$statistics"
    echo "release"
} > "$expected"
status=0
(cd "$app" && xvfb-run -a -s "-screen 0 1920x1080x24" \
    wine morvel-host.exe --sqlite ../../log.db "$tmp/check.txt") 2>"$tmp/stderr" |
    tr -d '\r' > "$tmp/actual" || status=$?
wineserver -w
check_planted morvel-host.exe
if [ "$status" -ne 0 ]; then
    echo "morvel-host.exe from the package exited with status $status" >&2
    cat "$tmp/stderr" >&2
fi
if ! diff -u "$expected" "$tmp/actual"; then
    echo "morvel-host.exe from the package with the script of INSTALL.txt: output differs" \
         "(above: expected, actual)" >&2
    exit 1
fi
[ "$status" -eq 0 ]

# No log: nothing has loaded the driver manager when the plug-in is loaded. A
# station outside UA1, UA2 and UA9 has no oblast code: the empty answer is
# explained on standard error, with both of its causes.
status=0
(cd "$app" && printf 'info\ngrab\tDL1XX\t14\tCW\t599 001\tDL\tDL\n' |
    xvfb-run -a -s "-screen 0 1920x1080x24" \
    wine morvel-host.exe) 2>"$tmp/stderr" | tr -d '\r' > "$tmp/actual" || status=$?
wineserver -w
check_planted "morvel-host.exe without a log"
if [ "$status" -ne 0 ] || ! grep -q '^info	Morvel Russia	' "$tmp/actual" ||
    ! grep -qx 'grab	' "$tmp/actual" ||
    ! grep -q 'no oblast file Plugins.Russiaobl.dom beside this program.*DXCC prefix is not UA1, UA2 or UA9' \
        "$tmp/stderr"; then
    echo "morvel-host.exe from the package without a log (status $status) printed:" >&2
    cat "$tmp/actual" "$tmp/stderr" >&2
    exit 1
fi
