#!/usr/bin/env bash
# Builds the release twice from the committed HEAD and checks that both builds
# give the same bytes: MorvelRussia.dll, morvel-host.exe and morvel-score.exe
# as built and as packed, the ZIP and MorvelRussia.dll.debug.
#
#   bash scripts/check-reproducible.sh
#
# Each build is a fresh clone in a folder of its own (the two folder names of
# different lengths), configured with the win32 preset and built with the
# target package_zip; the second starts after the first has ended, with
# another umask, time zone and locale. SOURCE_DATE_EPOCH is unset for both, so
# the package's time comes from the commit. A file that differs is named,
# with the first differing bytes and, for the PE files, the difference of
# their headers (objdump -p) or, for the ZIP, of its entries. Prints the
# SHA-256 of every file and removes the clones. MORVEL_JOBS sets the build's
# parallel jobs (default: the number of processors).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
jobs=${MORVEL_JOBS:-$(nproc)}
objdump=i686-w64-mingw32-objdump

commit=$(git -C "$repo" rev-parse HEAD)
if [ -n "$(git -C "$repo" status --porcelain)" ]; then
    echo "note: $repo has uncommitted changes; they are not checked (the builds use $commit)"
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/morvel-reproducible.XXXXXX")
cleanup() { rm -rf "$tmp"; }
trap cleanup EXIT

first="$tmp/1"
second="$tmp/second/a-longer-folder-name"

# build DIR UMASK TZ LOCALE: clones HEAD into DIR and builds the package there.
build() {
    local dir=$1 mask=$2 zone=$3 locale=$4 log="$tmp/build-$(basename "$1").log"
    git clone --quiet --no-checkout "$repo" "$dir"
    # HEAD of a worktree need not be the clone's default branch.
    git -C "$dir" fetch --quiet "$repo" HEAD
    git -C "$dir" checkout --quiet --detach "$commit"
    echo "== build in $dir, $(date -u '+%Y-%m-%d %H:%M:%S') UTC, umask $mask, TZ=$zone," \
         "LC_ALL=$locale =="
    local start=$SECONDS
    if ! (cd "$dir" && umask "$mask" &&
          env -u SOURCE_DATE_EPOCH TZ="$zone" LC_ALL="$locale" bash -c \
              "cmake --preset win32 && cmake --build --preset win32 -j $jobs --target package_zip"
         ) >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "check-reproducible: the build in $dir failed" >&2
        exit 1
    fi
    echo "   built in $((SECONDS - start)) s"
}

started=$SECONDS
build "$first" 022 UTC0 C
build "$second" 027 XYZ-10 C.UTF-8

out=build/win32
zip=$(cd "$first/$out" && ls MorvelRussia-*.zip)
package="packaging/stage/${zip%.zip}"
files=(
    "plugin/MorvelRussia.dll"
    "tools/morvel-host/morvel-host.exe"
    "tools/morvel-score.exe"
    "$package/MorvelRussia.dll"
    "$package/morvel-host.exe"
    "$package/morvel-score.exe"
    "$zip"
    "MorvelRussia.dll.debug"
)

# The bytes around the first difference, in both files.
show_bytes() {
    local path=$1 offset=$2
    local from=$(((offset - 1) / 16 * 16))
    for dir in "$first" "$second"; do
        echo "   $dir/$out/$path:"
        od -A x -t x1z -j "$from" -N 48 "$dir/$out/$path" | sed 's/^/     /'
    done
}

# The entries of a ZIP: name, date, mode, size, CRC, extra fields.
zip_entries() {
    python3 - "$1" <<'EOF'
import sys, zipfile
for i in zipfile.ZipFile(sys.argv[1]).infolist():
    print(i.filename, i.date_time, oct(i.external_attr >> 16), i.file_size, f'{i.CRC:08x}',
          i.extra.hex())
EOF
}

status=0
for path in "${files[@]}"; do
    a="$first/$out/$path" b="$second/$out/$path"
    if cmp -s "$a" "$b"; then
        continue
    fi
    status=1
    echo "DIFFERS: $out/$path"
    if [ ! -f "$a" ] || [ ! -f "$b" ]; then
        ls -l "$a" "$b" 2>&1 | sed 's/^/   /' || true
        continue
    fi
    first_difference=$(cmp "$a" "$b" | sed -n 's/.* differ: byte \([0-9]*\),.*/\1/p' || true)
    if [ -n "$first_difference" ]; then
        echo "   first difference at byte $first_difference (of $(stat -c %s "$a") and" \
             "$(stat -c %s "$b"))"
        show_bytes "$path" "$first_difference"
    else
        cmp "$a" "$b" 2>&1 | sed 's/^/   /' || true
    fi
    case "$path" in
        *.zip)
            diff <(zip_entries "$a") <(zip_entries "$b") | sed 's/^/   /' || true ;;
        *.dll | *.exe | *.debug)
            diff <(cd "$first/$out" && "$objdump" -p "$path") \
                 <(cd "$second/$out" && "$objdump" -p "$path") | head -n 40 |
                sed 's/^/   /' || true ;;
    esac
done

echo "== SHA-256 of $commit =="
for path in "${files[@]}"; do
    a=$(sha256sum "$first/$out/$path" | cut -d' ' -f1)
    b=$(sha256sum "$second/$out/$path" | cut -d' ' -f1)
    if [ "$a" = "$b" ]; then
        echo "$a  $out/$path"
    else
        echo "$a  $out/$path (first build)"
        echo "$b  $out/$path (second build)"
    fi
done

if [ "$status" -eq 0 ]; then
    echo "== the two builds are identical ($((SECONDS - started)) s) =="
else
    echo "== the two builds differ ($((SECONDS - started)) s) ==" >&2
fi
exit "$status"
