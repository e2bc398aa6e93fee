#!/usr/bin/env bash
# Builds a Free Pascal cross compiler for i386-win32 with its run-time library
# and the odbcsql unit, from Debian's fpc-source-3.2.2 with the installed
# native compiler (Debian packages fp-compiler, fp-utils, fpc-source-3.2.2 and
# make).
# Free Pascal assembles and links win32 programs itself: no binutils needed.
#
#   build-fpc-win32.sh [INSTALL_DIR]
#
# INSTALL_DIR defaults to $MORVEL_FPC_DIR, else /opt/morvel-fpc. It receives
#   bin/ppc386                      the cross compiler
#   units/i386-win32/{rtl,odbc}/    the compiled units
#   fpc.cfg                         its options; compile with
#                                   "bin/ppc386 -n @fpc.cfg SOURCE"
#   .complete                       written last; while it holds the current
#                                   build key, a new run does nothing.
# and INSTALL_DIR.lock beside it, which keeps two builds from overlapping.
# The sources are copied to a temporary directory and built there; the result
# replaces INSTALL_DIR in one rename. Prints nothing on success but one line.
set -euo pipefail

fpc_version=3.2.2
src=/usr/share/fpcsrc/$fpc_version
dest=$(realpath -m "${1:-${MORVEL_FPC_DIR:-/opt/morvel-fpc}}")
# Change this when the build below changes, so that old results are rebuilt.
build_key="fpc $fpc_version i386-win32 rtl odbc 1"

complete() {
    [ -f "$dest/.complete" ] && [ "$(cat "$dest/.complete")" = "$build_key" ]
}
if complete; then
    exit 0
fi
# One build at a time; a build that waited finds the result there.
mkdir -p "$(dirname "$dest")"
exec 9>"$dest.lock"
flock 9
if complete; then
    exit 0
fi

if [ -e "$dest" ] && [ ! -f "$dest/.complete" ] && [ -n "$(ls -A "$dest" 2>/dev/null)" ]; then
    echo "build-fpc-win32: $dest holds something else; give an empty or new directory" >&2
    exit 1
fi
for tool in fpc fpcmake make; do
    if ! command -v "$tool" >/dev/null; then
        echo "build-fpc-win32: $tool is missing (packages fp-compiler fp-utils make)" >&2
        exit 1
    fi
done
if [ "$(fpc -iV)" != "$fpc_version" ]; then
    echo "build-fpc-win32: the installed fpc is $(fpc -iV), not $fpc_version" >&2
    exit 1
fi
# The installed compiler's message files, beside its binary.
msg="$(dirname "$(readlink -f "$(fpc -PB)")")/msg"
for need in "$src/compiler/Makefile.fpc" "$src/rtl/win32/Makefile.fpc" \
    "$src/packages/odbc/src/odbcsql.pas" "$msg/errore.msg"; do
    if [ ! -f "$need" ]; then
        echo "build-fpc-win32: $need is missing (packages fp-compiler fp-utils fpc-source-$fpc_version)" >&2
        exit 1
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/morvel-fpc-build.XXXXXX")
stage="$dest.new.$$"
log="$work/build.log"
cleanup() {
    rm -rf "$work" "$stage"
}
trap cleanup EXIT
fail() {
    echo "build-fpc-win32: $1 failed; the end of its log:" >&2
    tail -n 30 "$log" >&2
    exit 1
}

cp -a "$src/compiler" "$src/rtl" "$work/"
mkdir -p "$work/packages/odbc"
cp -a "$src/packages/odbc/src" "$work/packages/odbc/"
# The message files the compiler builds its texts from are not in the source
# package; the installed compiler has the same ones.
cp -a "$msg" "$work/compiler/msg"
# The i386 RTL's list of processor-specific include files, which its Makefile
# includes for the system unit's dependencies; the source package lacks it.
cat > "$work/rtl/i386/makefile.cpu" <<'EOF'
CPUNAMES=i386 math set setjump strings
CPUINCNAMES=$(addsuffix .inc,$(CPUNAMES))
EOF

# The compiler: runs here, generates i386 code.
(cd "$work/compiler" && fpcmake -q -Tlinux &&
    make compiler PPC_TARGET=i386 FPC="$(command -v fpc)") >>"$log" 2>&1 || fail "the compiler"
ppc="$work/compiler/ppc386"
[ -x "$ppc" ] || fail "the compiler"

# The run-time library, built by the new compiler alone (-n: no fpc.cfg of
# the native compiler).
(cd "$work/rtl/win32" && fpcmake -q -Twin32 &&
    make all CPU_TARGET=i386 OS_TARGET=win32 FPC="$ppc" OPT="-n") >>"$log" 2>&1 ||
    fail "the run-time library"
rtl_units="$work/rtl/units/i386-win32"

mkdir -p "$work/units/odbc"
"$ppc" -n -Twin32 -Pi386 -Fu"$rtl_units" -FU"$work/units/odbc" \
    "$work/packages/odbc/src/odbcsql.pas" >>"$log" 2>&1 || fail "the odbcsql unit"

mkdir -p "$stage/bin" "$stage/units/i386-win32"
cp "$ppc" "$stage/bin/ppc386"
cp -a "$rtl_units" "$stage/units/i386-win32/rtl"
cp -a "$work/units/odbc" "$stage/units/i386-win32/odbc"
cat > "$stage/fpc.cfg" <<EOF
-Twin32
-Pi386
-Fu$dest/units/i386-win32/rtl
-Fu$dest/units/i386-win32/odbc
EOF

# A smoke test of the whole chain: a Windows program must come out.
cat > "$work/hello.pas" <<'EOF'
program hello;
{$mode delphi}
uses Windows, SysUtils, odbcsql;
begin
  WriteLn(IntToStr(SQL_SUCCESS));
end.
EOF
"$stage/bin/ppc386" -n -Twin32 -Pi386 -Fu"$stage/units/i386-win32/rtl" \
    -Fu"$stage/units/i386-win32/odbc" -FE"$work" "$work/hello.pas" >>"$log" 2>&1 ||
    fail "a test program"
[ -f "$work/hello.exe" ] || fail "a test program"

rm -rf "$dest"
mv "$stage" "$dest"
echo "$build_key" > "$dest/.complete"
echo "build-fpc-win32: Free Pascal $fpc_version for i386-win32 in $dest"
