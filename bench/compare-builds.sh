#!/usr/bin/env bash
# Checks that a change meant to make things faster changes nothing else: the
# statistics text of morvel-score, and the plug-in's answers, suggestions and
# statistics as morvel-host drives the DLL under Wine, of an older build and a
# newer one on the same fresh generated logs.
#
#   bash bench/compare-builds.sh OLD_BUILD_ROOT NEW_BUILD_ROOT [SEEDS] [CONTACTS]
#
# A build root holds native/ and win32/ (as build/ does). SEEDS defaults to
# "1 2 3 4 5", CONTACTS to 3000. Each seed gives three logs: a plain one, one
# with a fifth of the call signs in lower case, and that one with the
# CallSign column's case-insensitive collation. Prints one line a comparison
# and exits non-zero on the first difference.
set -euo pipefail
cd "$(dirname "$0")/.."

old=$1
new=$2
seeds=${3:-1 2 3 4 5}
contacts=${4:-3000}

work=$(mktemp -d "${TMPDIR:-/tmp}/morvel-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
export WINEPREFIX
WINEPREFIX=$(scripts/wine-run --prefix-path)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

loggen=$new/native/tools/morvel-loggen
mkdir -p "$work/oldapp/Plugins" "$work/newapp/Plugins"
for side in old new; do
    root=${!side}
    cp "$root/win32/plugin/MorvelRussia.dll" "$work/${side}app/"
    # One host for both, so that only the DLL differs.
    cp "$new/win32/tools/morvel-host/morvel-host.exe" "$work/${side}app/"
    cp "$new/win32/Plugins/Russiaobl.dom" "$work/${side}app/Plugins/"
done

same() {
    if ! grep -q 'Score:' "$3"; then
        echo "NO STATISTICS: $1" >&2
        cat "$3" >&2
        exit 1
    fi
    if cmp -s "$2" "$3"; then
        echo "same: $1"
    else
        echo "DIFFERENT: $1" >&2
        diff "$2" "$3" | head -20 >&2
        exit 1
    fi
}

for seed in $seeds; do
    for kind in plain lower nocase; do
        args=(--contacts "$contacts" --seed "$seed")
        case $kind in
            lower) args+=(--lower-case 0.2) ;;
            nocase) args+=(--lower-case 0.2 --nocase) ;;
        esac
        log="$work/log-$seed-$kind.db"
        "$loggen" --out "$log" "${args[@]}" >/dev/null
        "$old/native/tools/morvel-score" --sqlite "$log" > "$work/old-score.txt"
        "$new/native/tools/morvel-score" --sqlite "$log" > "$work/new-score.txt"
        same "morvel-score, seed $seed, $kind" "$work/old-score.txt" "$work/new-score.txt"

        # The host logs further contacts (some repeating the log's), asking
        # for the suggestion and the duplicate answer of each, then counts the
        # log again.
        "$loggen" --host-script "$work/contacts.txt" --contacts 400 --seed "$seed" >/dev/null
        {
            echo run
            echo stats
            cat "$work/contacts.txt"
            echo stats
            echo recalc
            echo stats
            echo release
        } > "$work/script.txt"
        for side in old new; do
            cp "$log" "$work/${side}app/log.db"
            (cd "$work/${side}app" && xvfb-run -a wine morvel-host.exe --sqlite log.db \
                ../script.txt 2>/dev/null) | tr -d '\r' > "$work/$side-host.txt"
        done
        same "the DLL under Wine, seed $seed, $kind" "$work/old-host.txt" "$work/new-host.txt"
    done
done
