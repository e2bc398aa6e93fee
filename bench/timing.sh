# Shell functions the whole-process timing scripts share (sourced, not run).

# Seconds of one whole process, its output thrown away.
seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

# The median of blank-separated numbers.
median() {
    tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
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
