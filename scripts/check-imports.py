#!/usr/bin/env python3
"""Checks that Windows programs import nothing newer than Windows XP SP3.

    check-imports.py --objdump OBJDUMP --compiler CC PROGRAM...

Reads each program's import table with objdump -p. Every function imported
from msvcrt.dll must be on the list of Windows XP's (xp-msvcrt.txt beside this
script). Every other function must be declared by the mingw-w64 headers when
they are compiled for Windows XP (_WIN32_WINNT=0x0501): they guard the newer
functions by version, so one that is missing there came with a later Windows,
where an XP loader refuses the program ("entry point not found"). A function
imported by ordinal cannot be checked and fails too.

A program (.exe) imports from KnownDLLs only (KNOWN_DLLS): Windows looks for
any other DLL a program imports in the program's own folder first, where a
DLL of that name from a download folder would be loaded instead. Such a
library is loaded from the system directory at run time. A DLL's imports are
not checked so: its host has loaded them before it.
"""

import argparse
import pathlib
import re
import subprocess
import sys
import tempfile

# The headers that declare what the programs import.
HEADERS = ["windows.h", "commctrl.h", "psapi.h", "sql.h", "sqlext.h"]

# Windows XP's KnownDLLs (HKLM\System\CurrentControlSet\Control\Session
# Manager\KnownDLLs) that a program may import, with msvcrt.dll, which the
# session manager maps among them as an import of ole32.dll and oleaut32.dll
# (a KnownDLL's imports are known too; later Windows list it themselves), and
# ntdll.dll, which every process has loaded before its imports. psapi.dll
# became one only with Windows 7, odbc32.dll never did.
KNOWN_DLLS = {"advapi32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
              "ntdll.dll", "ole32.dll", "oleaut32.dll", "rpcrt4.dll", "shell32.dll",
              "user32.dll", "version.dll"}


def imports(objdump, program):
    """(dll, function) pairs of the program's import table; function None
    for an import by ordinal."""
    text = subprocess.run([objdump, "-p", program], check=True, capture_output=True,
                          text=True).stdout
    found = []
    dll = None
    for line in text.splitlines():
        named = re.match(r"\s*DLL Name: (\S+)", line)
        if named:
            dll = named.group(1).lower()
            continue
        if dll is None:
            continue
        entry = re.match(r"\t[0-9a-f]+\t\s*(\d+)\s+(\S+)", line)
        if entry:
            found.append((dll, entry.group(2)))
        elif re.match(r"\t[0-9a-f]+\t\s*\d+\s*$", line) or "<ordinal>" in line:
            found.append((dll, None))
    return found


def undeclared(compiler, functions):
    """The functions the XP headers do not declare."""
    source = "".join(f"#include <{h}>\n" for h in HEADERS)
    source += "static const void *const imported[] = {\n"
    source += "".join(f"    (const void *)&{name},\n" for name in functions)
    source += "};\n"
    with tempfile.TemporaryDirectory() as tmp:
        path = pathlib.Path(tmp) / "imports.c"
        path.write_text(source)
        result = subprocess.run(
            [compiler, "-x", "c", "-fsyntax-only", "-D_WIN32_WINNT=0x0501", "-DWINVER=0x0501",
             "-DPSAPI_VERSION=1", str(path)],
            capture_output=True, text=True)
    missing = set(re.findall(r"[‘'`](\w+)[’'] undeclared", result.stderr))
    if result.returncode != 0 and not missing:
        sys.exit(f"check-imports: the header check did not compile:\n{result.stderr}")
    return missing


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--compiler", required=True)
    parser.add_argument("programs", nargs="+")
    args = parser.parse_args()

    listed = pathlib.Path(__file__).with_name("xp-msvcrt.txt").read_text().split("\n")
    xp_msvcrt = {line.strip() for line in listed if line.strip() and not line.startswith("#")}

    failures = []
    table = {program: imports(args.objdump, program) for program in args.programs}
    system = sorted({fn for entries in table.values() for dll, fn in entries
                     if fn is not None and dll != "msvcrt.dll"})
    missing = undeclared(args.compiler, system) if system else set()
    for program, entries in table.items():
        name = pathlib.Path(program).name
        if not entries:
            failures.append(f"{name}: no imports found (is it a Windows program?)")
        if name.lower().endswith(".exe"):
            for dll in sorted({dll for dll, _ in entries} - KNOWN_DLLS):
                failures.append(f"{name}: imports {dll}, which is no KnownDLL: Windows looks "
                                "for it beside the program first (load it from the system "
                                "directory when the program runs)")
        for dll, fn in entries:
            if fn is None:
                failures.append(f"{name}: imports {dll} by ordinal, which cannot be checked")
            elif dll == "msvcrt.dll" and fn not in xp_msvcrt:
                failures.append(f"{name}: {dll} {fn} is not in Windows XP's msvcrt.dll")
            elif dll != "msvcrt.dll" and fn in missing:
                failures.append(f"{name}: {dll} {fn} is newer than Windows XP SP3")
        print(f"{name}: {len(entries)} imports from "
              f"{len({dll for dll, _ in entries})} libraries")
    for failure in failures:
        print(failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
