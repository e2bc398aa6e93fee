#!/usr/bin/env bash
# The demonstration: builds the plug-in, makes a sample contest log and the
# oblast file, and lets the reference host drive MorvelRussia.dll under Wine:
# it starts the plug-in, logs a few hundred contacts asking for an oblast
# suggestion before each, opens the multipliers window and the multiplier
# check, prints the statistics and saves a screenshot of the plug-in's windows
# (out/demo/screenshot.png). The host is the test host
# (tests/host/), morvel-host with the verbs of the tests: "screenshot" is one.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# Debian's python3, whose Pillow (python3-pil) writes the PNG screenshots.
export PATH="/usr/bin:$PATH"

jobs=$(nproc)
for preset in native win32; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs" >/dev/null
done

# Removes a Wine prefix once its Wine server and every Wine process of it
# have ended: one still running writes into the folder as it goes, and the
# removal would fail (or leave half a prefix) now and then.
remove_prefix() {
    if [ -d "$1" ]; then
        WINEPREFIX="$1" wineserver -w || true
        rm -rf "$1"
    fi
}

demo=out/demo
# Prefixes an earlier run left behind (an interrupted one) go first.
remove_prefix "$(pwd)/$demo/prefix-96"
remove_prefix "$(pwd)/$demo/prefix-144"
rm -rf "$demo"
mkdir -p "$demo/app/Plugins"
cp build/win32/plugin/MorvelRussia.dll build/win32/tests/host/morvel-test-host.exe "$demo/app/"
# The oblast file: prefix=code lines of the repository's table, CR LF ends.
grep -v '^#' data/oblast-prefixes.txt | grep '=' | sed 's/\r*$/\r/' > "$demo/app/Plugins/Russiaobl.dom"

# The log so far: 1,500 contacts; then 300 more logged through the host.
build/native/tools/morvel-loggen --out "$demo/log.db" --contacts 1500 --seed 2027
build/native/tools/morvel-loggen --host-script "$demo/contacts.txt" --contacts 300 --seed 7
{
    echo "run"
    cat "$demo/contacts.txt"
    echo "mult"
    echo "band	5"
    # The multiplier check, and a station being typed whose suggested oblast
    # (RK) is not yet worked on 21 MHz: the alert names the new multiplier and
    # the oblast's row is framed.
    echo "sysmenu	main	check"
    echo "grab	RA6KW	21	CW		UA1	UA6K"
    echo "stats"
    echo "checkview"
    echo "screenshot	screenshot.bmp"
    echo "release"
} > "$demo/script.txt"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# One session at 96 pixels per inch and the same at 144 (150 %), each in a
# copy of the Wine runner's ready prefix of its own: the screen's pixels per
# inch are the prefix's, and no other program's Wine session or settings left
# by earlier runs meet the demonstration's.
prefix96="$(pwd)/$demo/prefix-96" # Wine takes an absolute path only
prefix144="$(pwd)/$demo/prefix-144"
for prefix in "$prefix96" "$prefix144"; do
    scripts/wine-run --copy-prefix "$prefix"
    # The windows open where they first open, whatever ran in the ready prefix.
    WINEPREFIX="$prefix" wine reg delete 'HKCU\Software\morvel-test-host' /f >/dev/null 2>&1 || true
done
WINEPREFIX="$prefix144" wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels \
    /t REG_DWORD /d 144 /f >/dev/null 2>&1
# A Wine server started without a display cannot make windows later: the
# sessions get servers of their own.
WINEPREFIX="$prefix96" wineserver -w
WINEPREFIX="$prefix144" wineserver -w
# Each session logs its 300 contacts into a copy of the same log of 1,500.
cp "$demo/log.db" "$demo/log-144dpi.db"
for dpi in 96 144; do
    if [ "$dpi" = 96 ]; then
        log=../log.db
        prefix="$prefix96"
        output="$demo/host-output.txt"
        picture=screenshot
    else
        log=../log-144dpi.db
        prefix="$prefix144"
        output="$demo/host-output-144dpi.txt"
        picture=screenshot-144dpi
    fi
    sed "s/screenshot.bmp/$picture.bmp/" "$demo/script.txt" > "$demo/script-$dpi.txt"
    # What Wine and the X server say on their way out (such as "X connection to
    # :99 broken" when the display closes) goes to a file, not to the terminal.
    if ! (cd "$demo/app" && WINEPREFIX="$prefix" xvfb-run -a -s "-screen 0 1920x1080x24" \
            wine morvel-test-host.exe --sqlite "$log" --caption-prefix "RZ3A" \
            "../script-$dpi.txt" 2> "../host-errors-$dpi.txt") | tr -d '\r' > "$output"; then
        echo "The reference host failed; its output is in $output:" >&2
        cat "$demo/host-errors-$dpi.txt" >&2
        exit 1
    fi
    python3 - "$demo/app/$picture.bmp" "$demo/$picture.png" <<'PY'
import sys
from PIL import Image
with Image.open(sys.argv[1]) as picture:
    picture.save(sys.argv[2])
PY
done
remove_prefix "$prefix96"
remove_prefix "$prefix144"

# The suggestions for the 300 contacts: the grab lines before the multipliers
# window opens (the station typed afterwards is not one of them).
suggested=$(sed '/^mult\t/q' "$demo/host-output.txt" | grep -c -P '^grab\t..$' || true)
echo "Oblast suggestions given: $suggested of 300 contacts"
echo "Statistics shown by the plug-in:"
sed -n '/^stats\t/,/Score:/p' "$demo/host-output.txt" | tail -n +2
echo "The multiplier check says: $(grep -P '^checkview\talert\t' "$demo/host-output.txt" | cut -f3)"
echo "Screenshots of the plug-in's windows: $(pwd)/$demo/screenshot.png and $(pwd)/$demo/screenshot-144dpi.png"
