# Shell functions the whole-process timing scripts share (sourced, not run),
# and the folder and Wine prefix of the test host's runs (test_host_work) of
# unload-race.sh and loader-lock.sh.

# Wall-clock and CPU seconds (user and system, the process and its children)
# of one whole process, its output thrown away: "WALL CPU".
seconds() {
    local TIMEFORMAT='%R %U %S'
    { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1, $2 + $3 }'
}

# Times one run of a command as NAME: appends to WALL[NAME] and CPU[NAME]
# (declare -A WALL CPU first).
measure() {
    local name=$1 wall cpu
    shift
    read -r wall cpu <<<"$(seconds "$@")"
    WALL[$name]+=" $wall"
    CPU[$name]+=" $cpu"
}

# The median of blank-separated numbers.
median() {
    tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# A table row for NAME: median wall time and CPU time, each with its ratio
# to BASE's when BASE is given.
row() {
    local label=$1 name=$2 base=${3:-}
    local w c
    w=$(median "${WALL[$name]}")
    c=$(median "${CPU[$name]}")
    if [ -n "$base" ]; then
        echo "| $label | $(ms "$w") | $(ratio "$w" "$(median "${WALL[$base]}")") | $(ms "$c") | $(ratio "$c" "$(median "${CPU[$base]}")") |"
    else
        echo "| $label | $(ms "$w") | | $(ms "$c") | |"
    fi
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
ms() { awk -v a="$1" 'BEGIN { printf "%.0f ms", a * 1000 }'; }

# Runs the calling script again inside one X display of its own: every Wine
# program of the run then shares one display and one Wine server (a Wine
# server first started without a display cannot make windows later).
#   one_display "$0" "$@"
one_display() {
    if [ -z "${MORVEL_ONE_DISPLAY:-}" ]; then
        MORVEL_ONE_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$@"
    fi
}

# Stops the script unless every file given exists.
need_builds() {
    local f
    for f in "$@"; do
        if [ ! -f "$f" ]; then
            echo "$0: $f is missing: build the native and win32 presets first" >&2
            exit 2
        fi
    done
}

# A folder of its own for runs of the test host (HOST_EXE) with a DLL on a
# small log (log.db): sets work, removed at exit; and a copy of the Wine
# runner's ready prefix for these runs alone, with one Wine server for all
# their processes, ended at exit.
#   test_host_work NAME HOST_EXE DLL
test_host_work() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/morvel-$1.XXXXXX")
    trap 'rm -rf "$work"' EXIT
    cp "$2" "$work/"
    cp "$3" "$work/MorvelRussia.dll"
    sqlite3 "$work/log.db" <<'SQL'
CREATE TABLE Log (CallSign TEXT, DigiBand TEXT, QSOMode TEXT, QSOReportRecived TEXT,
                  DXCCPrefix TEXT, MainPrefix TEXT, Continent TEXT);
INSERT INTO Log VALUES ('UA3AAA', '14', 'CW', '599 MA', 'UA1', 'UA3A', 'EU'),
                       ('DL1XX', '7', 'CW', '599 001', 'DL', 'DL', 'EU');
SQL
    export WINEPREFIX="$work/prefix"
    scripts/wine-run --copy-prefix "$WINEPREFIX"
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    wineserver -p
    trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
}
