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
# Debian's python3, whose Pillow (python3-pil) writes the PNG screenshot.
export PATH="/usr/bin:$PATH"

jobs=$(nproc)
for preset in native win32; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs" >/dev/null
done

demo=out/demo
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
    # The multiplier check, and a station being typed: its oblast suggested.
    echo "sysmenu	main	check"
    echo "grab	RA3DX	21	CW		UA1	UA3D"
    echo "stats"
    echo "screenshot	screenshot.bmp"
    echo "release"
} > "$demo/script.txt"

export WINEPREFIX
WINEPREFIX=$(scripts/wine-run --prefix-path)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# What Wine and the X server say on their way out (such as "X connection to
# :99 broken" when the display closes) goes to a file, not to the terminal.
if ! (cd "$demo/app" && xvfb-run -a -s "-screen 0 1920x1080x24" \
        wine morvel-test-host.exe --sqlite "../log.db" --caption-prefix "RZ3A" ../script.txt \
        2> ../host-errors.txt) | tr -d '\r' > "$demo/host-output.txt"; then
    echo "The reference host failed; its output is in $demo/host-output.txt:" >&2
    cat "$demo/host-errors.txt" >&2
    exit 1
fi

suggested=$(grep -c -P '^grab\t..$' "$demo/host-output.txt" || true)
echo "Oblast suggestions given: $suggested of 300 contacts"
echo "Statistics shown by the plug-in:"
sed -n '/^stats\t/,/Score:/p' "$demo/host-output.txt" | tail -n +2
python3 - "$demo/app/screenshot.bmp" "$demo/screenshot.png" <<'PY'
import sys
from PIL import Image
with Image.open(sys.argv[1]) as picture:
    picture.save(sys.argv[2])
PY
echo "Screenshot of the plug-in's windows: $(pwd)/$demo/screenshot.png"
