#!/usr/bin/env bash
# Installs what building and testing need on Debian 12: the apt packages and
# the Free Pascal cross compiler (build-fpc-win32.sh). Idempotent: when every
# package is already there, it changes nothing and asks no package server.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config git
    clang libclang-rt-14-dev clang-format
    googletest libgtest-dev libbenchmark-dev
    g++-mingw-w64-i686
    wine wine32:i386 xvfb xauth
    unixodbc unixodbc-dev odbcinst libsqliteodbc sqlite3 libsqlite3-dev libcurl4-openssl-dev
    libodbc2:i386 libsqliteodbc:i386
    postgresql odbc-postgresql odbc-postgresql:i386 mariadb-server odbc-mariadb:i386
    python3 python3-pil
    fp-compiler fp-utils fpc-source-3.2.2 make
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    else
        sudo "$@"
    fi
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
    need_update=1
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ "${#missing[@]}" -gt 0 ] || [ -n "${need_update:-}" ]; then
    as_root apt-get update -qq
fi
if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    # apt's progress goes nowhere; its errors stay on the terminal, less
    # debconf's note that apt-utils is missing (it is not needed here).
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        "${missing[@]}" > /dev/null 2> >(grep -v '^debconf: delaying package configuration' >&2)
fi

# Free Pascal's i386-win32 cross compiler for the Pascal host's tests, built
# once from Debian's sources outside the source tree.
as_root bash "$(dirname "$0")/build-fpc-win32.sh"
