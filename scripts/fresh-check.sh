#!/usr/bin/env bash
# Runs one of the README's two commands in a brand-new minimal Debian 12 root,
# as a new user's machine would: only what the project installs is there.
#
#   bash scripts/fresh-check.sh demo     # bash scripts/demo.sh in the new root
#   bash scripts/fresh-check.sh test     # bash scripts/test.sh in the new root
#
# It makes the root with mmdebstrap (variant minbase, plus git and
# ca-certificates) from this machine's apt sources, binds /proc, /sys, /dev,
# /dev/pts and /dev/shm into it, clones the repository's committed HEAD into
# it, runs the command there by chroot with a clean environment, and removes
# the root afterwards. Needs root and about 6 GB of disk under
# ${MORVEL_FRESH_DIR:-/var/tmp}; downloads about 1 GB of packages. Not part of
# the test run. MORVEL_FRESH_KEEP=1 keeps the root (unmounted) for a look.
set -euo pipefail

case "${1:-}" in
    demo) command="bash scripts/demo.sh" ;;
    test) command="bash scripts/test.sh" ;;
    *)
        echo "usage: $0 demo|test" >&2
        exit 2
        ;;
esac

if [ "$(id -u)" -ne 0 ]; then
    echo "$0: needs root (mmdebstrap, mount and chroot)" >&2
    exit 2
fi

repo=$(cd "$(dirname "$0")/.." && pwd)

if ! command -v mmdebstrap >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq mmdebstrap >/dev/null
fi

# This machine's apt sources: the deb822 files if there are any, else the
# one-line list. mmdebstrap reads them from standard input.
sources=$(mktemp)
shopt -s nullglob
deb822=(/etc/apt/sources.list.d/*.sources)
shopt -u nullglob
if [ "${#deb822[@]}" -gt 0 ]; then
    for f in "${deb822[@]}"; do
        cat "$f"
        echo
    done > "$sources"
else
    grep -hE '^\s*deb\s' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null \
        > "$sources" || true
fi
if [ ! -s "$sources" ]; then
    echo "$0: no apt sources found on this machine" >&2
    exit 2
fi

root=$(mktemp -d "${MORVEL_FRESH_DIR:-/var/tmp}/morvel-fresh.XXXXXX")
binds=(proc sys dev dev/pts dev/shm)
mounted=()

is_mounted_below() {
    # Any mount point at or below $root (the kernel's own list, not ours).
    awk -v r="$root" '$2 == r || index($2, r "/") == 1 { found = 1 } END { exit !found }' \
        /proc/self/mounts
}

cleanup() {
    local status=$?
    set +e
    # Programs the command left behind in the root (wineserver, Xvfb) first.
    for pid_root in /proc/[0-9]*/root; do
        if [ "$(readlink "$pid_root" 2>/dev/null)" = "$root" ]; then
            pid=${pid_root#/proc/}
            kill -9 "${pid%/root}" 2>/dev/null
        fi
    done
    sleep 1
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[i]}" || umount -l "${mounted[i]}"
    done
    if is_mounted_below; then
        echo "$0: something is still mounted below $root; not removing it" >&2
        grep -F " $root" /proc/self/mounts >&2
    elif [ "${MORVEL_FRESH_KEEP:-0}" = 1 ]; then
        echo "The root is kept at $root"
    else
        rm -rf --one-file-system "$root"
    fi
    rm -f "$sources"
    exit "$status"
}
trap cleanup EXIT

start=$(date +%s)
echo "== making a minimal Debian 12 root in $root =="
mmdebstrap --quiet --variant=minbase --include=git,ca-certificates \
    bookworm "$root" - < "$sources"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"

for b in "${binds[@]}"; do
    mkdir -p "$root/$b"
    mount --bind "/$b" "$root/$b"
    mounted+=("$root/$b")
done

echo "== cloning the repository =="
git clone --quiet --no-hardlinks "$repo" "$root/root/morvel"

echo "== running: $command =="
made=$(date +%s)
status=0
chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /root/morvel && $command" || status=$?
end=$(date +%s)

echo "== $command: exit status $status; root made in $((made - start)) s," \
    "command ran $((end - made)) s, $((end - start)) s in all =="
exit "$status"
