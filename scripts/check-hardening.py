#!/usr/bin/env python3
"""Checks the hardening of the release's images in their PE headers.

    check-hardening.py --objdump OBJDUMP [--dll-manifest FILE] [--stripped] IMAGE...

Every image (MorvelRussia.dll, morvel-host.exe, morvel-score.exe) must say in
its optional header's DllCharacteristics that it may be loaded at any address
(DYNAMIC_BASE), that its data is never executed (NX_COMPAT) and that it has no
structured exception handler (NO_SEH), and must carry the relocation table that
loading elsewhere needs (a .reloc section, the base relocation directory, the
file header's RELOCS_STRIPPED flag clear). A program must also be terminal-
server aware and carry an application manifest (resource 1) that asks for the
rights of whoever starts it (asInvoker), names Windows Vista, 7, 8, 8.1 and
10/11 as supported, and declares neither DPI awareness nor a dependency on
Common Controls 6. A DLL's manifest (resource 2) must be the bytes of
--dll-manifest. The stack protector's run-time support must be the project's
(module/runtime/), not GCC's libssp, and unless --stripped the image must show the
protector at work: its symbols (objdump -t) define the canary __stack_chk_guard
and __stack_chk_fail, and its code (objdump -d) calls __stack_chk_fail, as
every protected function does.

Each image gets a line of what was found; every missing property is printed
with the image's name, and the exit status is 1 when there was any.
"""

import argparse
import pathlib
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

sys.dont_write_bytecode = True  # no compiled files left in the source tree
from pe_image import Image  # noqa: E402

IMAGE_FILE_RELOCS_STRIPPED = 0x0001
RT_MANIFEST = 24
DIRECTORY_BASERELOC = 5

# DllCharacteristics every image needs, and a program besides.
EVERY_IMAGE = {
    0x0040: "DYNAMIC_BASE (loaded at any address)",
    0x0100: "NX_COMPAT (data never executed)",
    0x0400: "NO_SEH (no structured exception handler)",
}
PROGRAM = {
    0x8000: "TERMINAL_SERVER_AWARE",
}

ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPATIBILITY = "urn:schemas-microsoft-com:compatibility.v1"
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Windows Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}


def check_headers(image, name, fail):
    wanted = dict(EVERY_IMAGE)
    if not image.is_dll:
        wanted.update(PROGRAM)
    for flag, what in wanted.items():
        if not image.dll_characteristics & flag:
            fail(f"{name}: DllCharacteristics {image.dll_characteristics:#06x} lacks {what}")
    if image.characteristics & IMAGE_FILE_RELOCS_STRIPPED:
        fail(f"{name}: its relocations are stripped (RELOCS_STRIPPED), so it cannot be "
             "loaded at another address")
    if not any(section[0] == ".reloc" for section in image.sections):
        fail(f"{name}: no .reloc section")
    if not image.directory(DIRECTORY_BASERELOC)[1]:
        fail(f"{name}: no base relocation directory")


def check_program_manifest(image, name, fail):
    raw = image.resource(RT_MANIFEST, 1)
    if raw is None:
        fail(f"{name}: no application manifest (RT_MANIFEST resource 1)")
        return
    try:
        root = ElementTree.fromstring(raw)
    except ElementTree.ParseError as e:
        fail(f"{name}: its manifest is not well-formed XML: {e}")
        return
    if root.tag != f"{{{ASM_V1}}}assembly":
        fail(f"{name}: its manifest's root is {root.tag}, not an asm.v1 assembly")
    levels = [element.get("level")
              for element in root.iter(f"{{{ASM_V3}}}requestedExecutionLevel")]
    if levels != ["asInvoker"]:
        fail(f"{name}: its manifest asks for the execution levels {levels}, not asInvoker alone")
    declared = {element.get("Id", "").lower()
                for element in root.iter(f"{{{COMPATIBILITY}}}supportedOS")}
    for guid, system in SUPPORTED_OS.items():
        if guid not in declared:
            fail(f"{name}: its manifest does not name {system} as supported ({guid})")
    for element in root.iter():
        local = element.tag.rpartition("}")[2]
        if local in ("dpiAware", "dpiAwareness"):
            fail(f"{name}: its manifest declares DPI awareness ({local}); the program "
                 "must stay DPI-unaware")
        if local == "assemblyIdentity" and element.get("name") == \
                "Microsoft.Windows.Common-Controls":
            fail(f"{name}: its manifest asks for Common Controls {element.get('version')}; "
                 "the program's controls are those of version 5")


def check_dll_manifest(image, name, expected, fail):
    raw = image.resource(RT_MANIFEST, 2)
    if raw is None:
        fail(f"{name}: no manifest (RT_MANIFEST resource 2)")
    elif raw != expected.read_bytes():
        fail(f"{name}: its manifest (RT_MANIFEST resource 2) differs from {expected}")


def check_stack_protector_runtime(image, name, fail):
    # libssp's failure routine prints this before it executes an illegal
    # instruction, an exception that a handler of the host can catch.
    if b"stack smashing detected" in image.data:
        fail(f"{name}: holds libssp's stack protector run-time support instead of module/runtime/'s")


def check_stack_protector(objdump, path, name, fail):
    """The number of calls to __stack_chk_fail in the image's code: one in
    every protected function."""
    result = subprocess.run([objdump, "-t", path], capture_output=True, text=True)
    if result.returncode != 0:
        fail(f"{name}: objdump -t failed: {result.stderr.strip()}")
        return 0
    defined = set(re.findall(r"\(sec\s+[1-9]\d*\).*\s0x[0-9a-f]+\s+(\S+)$", result.stdout,
                             re.MULTILINE))
    if not defined:
        fail(f"{name}: no symbol table (stripped?), cannot look for the stack protector")
        return 0
    # i386 C names carry a leading underscore.
    missing = [symbol[1:] for symbol in ("___stack_chk_guard", "___stack_chk_fail")
               if symbol not in defined]
    if missing:
        fail(f"{name}: no {' or '.join(missing)}: not built with the stack protector")
        return 0
    result = subprocess.run([objdump, "-d", path], capture_output=True, text=True)
    if result.returncode != 0:
        fail(f"{name}: objdump -d failed: {result.stderr.strip()}")
        return 0
    calls = len(re.findall(r"\tcall\s+[0-9a-f]+ <___stack_chk_fail>$", result.stdout,
                           re.MULTILINE))
    if calls == 0:
        fail(f"{name}: no function calls __stack_chk_fail: none is protected (not compiled "
             "with -fstack-protector-strong; a build folder configured before it came in "
             "needs cmake --fresh)")
    return calls


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--dll-manifest", type=pathlib.Path)
    parser.add_argument("--stripped", action="store_true",
                        help="the images have no symbols: skip the stack protector")
    parser.add_argument("images", nargs="+")
    args = parser.parse_args()

    failures = []
    for path in args.images:
        name = pathlib.Path(path).name
        try:
            image = Image(path)
        except (OSError, ValueError, struct.error) as e:
            failures.append(f"{name}: cannot be read as a PE32 image: {e}")
            continue
        before = len(failures)
        try:
            check_headers(image, name, failures.append)
            if image.is_dll:
                if args.dll_manifest:
                    check_dll_manifest(image, name, args.dll_manifest, failures.append)
            else:
                check_program_manifest(image, name, failures.append)
            check_stack_protector_runtime(image, name, failures.append)
            calls = 0
            if not args.stripped:
                calls = check_stack_protector(args.objdump, path, name, failures.append)
        except (ValueError, struct.error) as e:
            failures.append(f"{name}: damaged headers or resources: {e}")
            continue
        protector = "" if args.stripped else f", {calls} protected functions"
        print(f"{name}: DllCharacteristics {image.dll_characteristics:#06x}{protector}"
              f"{'' if len(failures) == before else ' (see below)'}")
    for failure in failures:
        print(failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
