#!/usr/bin/env python3
"""Unpacks the release ZIP into an empty folder and checks what it holds.

    check-package.py ZIP VERSION DEST DOM_FILE SCRIPT_OUT
                     DEBUG_FILE SOURCE_DIR OBJDUMP NM ADDR2LINE

ZIP must hold exactly the files of the package under MorvelRussia-VERSION/;
they are unpacked into DEST, which must be empty. Checked: SHA256SUMS names
every other file once and with the right sum; the text files for Windows users
have CR LF line ends; LICENSE.txt is the MIT licence; the oblast file is the
build's; the DLL and the programs are 32-bit x86 PE files whose VERSIONINFO
carries VERSION as file and product version, a description, the project's name
and the file's own name. The DLL's debug information DEBUG_FILE
(beside the ZIP, not in it) belongs to the packed DLL: the DLL carries no debug
information of its own, its debug link names the file with the file's CRC, both
carry the same build id, and addr2line maps the address of a known function in
the file's symbol table to the source line (in SOURCE_DIR) that defines it;
OBJDUMP, NM and ADDR2LINE are the cross binutils. The example script
INSTALL.txt gives is written to SCRIPT_OUT, for the caller to run. Every
failure is printed; the exit status is 1 when there was any.
"""
import hashlib
import os
import re
import struct
import subprocess
import sys
import zipfile
import zlib

# The shared reader is imported without leaving compiled files in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'scripts'))
from pe_image import IMAGE_FILE_DLL, Image  # noqa: E402

# Every file of the package's folder, one a line: a file added to the package
# is added here.
EXPECTED_FILES = {
    'MorvelRussia.dll',
    'Plugins/Russiaobl.dom',
    'morvel-host.exe',
    'morvel-score.exe',
    'INSTALL.txt',
    'GUIDE.txt',
    'LICENSE.txt',
    'SHA256SUMS',
}

failures = []


def fail(message):
    failures.append(message)


def unpack(zip_path, top, dest):
    if os.listdir(dest):
        sys.exit(f'{dest} is not empty')
    with zipfile.ZipFile(zip_path) as archive:
        bad = archive.testzip()
        if bad is not None:
            sys.exit(f'{zip_path}: {bad} is damaged')
        files = set()
        for info in archive.infolist():
            name = info.filename
            parts = name.rstrip('/').split('/')
            if name.startswith('/') or '\\' in name or '..' in parts or parts[0] != top:
                sys.exit(f'{zip_path}: entry {name!r} lies outside {top}/')
            if not info.is_dir():
                files.add('/'.join(parts[1:]))
        if files != EXPECTED_FILES:
            sys.exit(f'{zip_path}: missing {sorted(EXPECTED_FILES - files)}, '
                     f'unexpected {sorted(files - EXPECTED_FILES)}')
        archive.extractall(dest)
    return os.path.join(dest, top)


def check_sums(package):
    with open(os.path.join(package, 'SHA256SUMS'), 'rb') as f:
        text = f.read().decode('ascii')
    listed = {}
    for line in text.splitlines():
        digest, sep, path = line.partition('  ')
        if not sep or len(digest) != 64 or path in listed:
            fail(f'SHA256SUMS: bad or repeated line {line!r}')
            continue
        listed[path] = digest
    wanted = EXPECTED_FILES - {'SHA256SUMS'}
    if set(listed) != wanted:
        fail(f'SHA256SUMS: lists {sorted(listed)}, the package holds {sorted(wanted)}')
    for path, digest in listed.items():
        full = os.path.join(package, *path.split('/'))
        if not os.path.isfile(full):
            continue
        with open(full, 'rb') as f:
            actual = hashlib.sha256(f.read()).hexdigest()
        if actual != digest:
            fail(f'SHA256SUMS: {path} has sum {actual}, listed {digest}')


def read(package, path):
    with open(os.path.join(package, *path.split('/')), 'rb') as f:
        return f.read()


def check_texts(package, version, dom_file):
    for path in ('INSTALL.txt', 'GUIDE.txt', 'LICENSE.txt', 'Plugins/Russiaobl.dom'):
        data = read(package, path)
        if not data.endswith(b'\r\n') or data.count(b'\n') != data.count(b'\r\n') \
                or data.count(b'\r') != data.count(b'\r\n'):
            fail(f'{path}: not every line ends with CR LF')
    install = read(package, 'INSTALL.txt').decode('utf-8')
    if f'MorvelRussia {version}' not in install or '@' in install:
        fail('INSTALL.txt: the version is not filled in')
    for needed in ('SQLHDBC', 'Select * from <table> order by CallSign',
                   'Plugins\\Russiaobl.dom', 'morvel-host.exe --sqlite', 'GUIDE.txt',
                   'SysWOW64\\odbcad32.exe',
                   # the section the programs name when the SQLite3 driver is missing
                   'A 32-bit ODBC driver for morvel-host and morvel-score\r\n---',
                   # the sums checked with Windows' own tool, and every registry
                   # key the plug-in writes, under the logging program's name and
                   # under morvel-host's
                   'certutil -hashfile MorvelRussia.dll SHA256',
                   'HKCU\\Software\\<name of the logging program>\\TfmMainForm" /f',
                   'HKCU\\Software\\<name of the logging program>\\TfmDomList" /f',
                   'HKCU\\Software\\<name of the logging program>\\TfmMultCheck" /f',
                   'HKCU\\Software\\<name of the logging program>\\MorvelRussia" /f',
                   'reg delete "HKCU\\Software\\morvel-host" /f'):
        if needed not in install:
            fail(f'INSTALL.txt: says nothing of {needed!r}')
    guide = read(package, 'GUIDE.txt').decode('utf-8')
    if f'MorvelRussia {version}' not in guide or '@' in guide:
        fail('GUIDE.txt: the version is not filled in')
    for needed in ('The multiplier check', 'Troubleshooting', 'how to reset them',
                   'Several operating positions', 'When the plug-in crashes',
                   'Posting your score', 'to enlarge the'):
        if needed not in guide:
            fail(f'GUIDE.txt: says nothing of {needed!r}')
    licence = read(package, 'LICENSE.txt').decode('utf-8')
    if not licence.startswith('MIT License') or \
            'Copyright (c) 2026 MorvelRussia developers' not in licence:
        fail('LICENSE.txt: not the MIT licence of the MorvelRussia developers')
    with open(dom_file, 'rb') as f:
        if read(package, 'Plugins/Russiaobl.dom') != f.read():
            fail(f'Plugins/Russiaobl.dom differs from the build\'s {dom_file}')


def example_script(package):
    """The lines INSTALL.txt asks the reader to save as check.txt, as they stand
    there (indented), saved as Notepad saves UTF-8: a byte order mark first and
    CR LF line ends."""
    lines = read(package, 'INSTALL.txt').decode('utf-8').splitlines()
    start = next((i for i, line in enumerate(lines) if 'Save these lines as check.txt' in line),
                 None)
    if start is None:
        fail('INSTALL.txt: no example script (check.txt)')
        return ''
    # The paragraph naming the file, a blank line, then the script up to the
    # next blank line.
    i = start
    while i < len(lines) and lines[i].strip():
        i += 1
    i += 1
    script = []
    while i < len(lines) and lines[i].strip():
        if not lines[i].startswith('       '):
            fail(f'INSTALL.txt: example script line {lines[i]!r} is not indented')
        script.append(lines[i])
        i += 1
    return '\ufeff' + ''.join(line + '\r\n' for line in script)


# ---- PE files ------------------------------------------------------------

IMAGE_FILE_MACHINE_I386 = 0x14C
RT_VERSION = 16
VFT_APP = 1
VFT_DLL = 2


def utf16z(data, at):
    end = at
    while data[end:end + 2] != b'\0\0':
        end += 2
    return data[at:end].decode('utf-16-le'), end + 2


def align4(n):
    return (n + 3) & ~3


def version_block(data, at):
    """(key, value bytes, children, end) of a VS_VERSIONINFO-style block."""
    length, value_length, value_type = struct.unpack_from('<HHH', data, at)
    end = at + length
    key, after_key = utf16z(data, at + 6)
    value_at = align4(after_key)
    if value_type == 1 and value_length:
        # A String: its text up to the NUL (found by the caller), no children.
        # The length counts characters or, from some compilers, bytes.
        value = data[value_at:end]
        children_at = end
    else:
        value = data[value_at:value_at + value_length]
        children_at = align4(value_at + value_length)
    children = []
    while children_at + 6 <= end:
        child = version_block(data, children_at)
        children.append(child)
        children_at = align4(child[3])
    return key, value, children, end


def check_version_info(image, version, dll):
    file_name = os.path.basename(image.path)
    where = f'{file_name} VERSIONINFO'
    data = image.resource(RT_VERSION)
    if data is None:
        fail(f'{where}: missing')
        return
    key, fixed, children, _ = version_block(data, 0)
    if key != 'VS_VERSION_INFO' or len(fixed) < 52:
        fail(f'{where}: no VS_VERSION_INFO with fixed information')
        return
    (signature, _, file_ms, file_ls, product_ms, product_ls,
     _, _, _, file_type) = struct.unpack_from('<10I', fixed)
    numbers = tuple(int(part) for part in version.split('.')) + (0,) * 4
    wanted = numbers[:4]
    if signature != 0xFEEF04BD:
        fail(f'{where}: bad fixed information signature {signature:#x}')
    for what, ms, ls in (('file', file_ms, file_ls), ('product', product_ms, product_ls)):
        got = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
        if got != wanted:
            fail(f'{where}: {what} version {got}, the project is {wanted}')
    if file_type != (VFT_DLL if dll else VFT_APP):
        fail(f'{where}: file type {file_type}, not {"a DLL" if dll else "a program"}')

    tables = [table for block in children if block[0] == 'StringFileInfo' for table in block[2]]
    translations = [block[1] for var in children if var[0] == 'VarFileInfo'
                    for block in var[2] if block[0] == 'Translation']
    if len(tables) != 1:
        fail(f'{where}: {len(tables)} string tables, expected one')
        return
    table_key, _, strings, _ = tables[0]
    if not translations or len(translations[0]) < 4:
        fail(f'{where}: no translation')
    else:
        language, codepage = struct.unpack_from('<HH', translations[0])
        if f'{language:04x}{codepage:04x}' != table_key.lower():
            fail(f'{where}: translation {language:04x}{codepage:04x} names no string table '
                 f'(the table is {table_key})')
    values = {name: raw.decode('utf-16-le').split('\0')[0] for name, raw, _, _ in strings}
    for name in ('FileVersion', 'ProductVersion'):
        if values.get(name) != version:
            fail(f'{where}: {name} is {values.get(name)!r}, the project is {version!r}')
    if not values.get('FileDescription', '').strip():
        fail(f'{where}: no FileDescription')
    if values.get('OriginalFilename') != file_name:
        fail(f'{where}: OriginalFilename is {values.get("OriginalFilename")!r}')
    if values.get('ProductName') != 'MorvelRussia':
        fail(f'{where}: ProductName is {values.get("ProductName")!r}, not the project\'s')


def check_programs(package, version):
    for path, dll in (('MorvelRussia.dll', True), ('morvel-host.exe', False),
                      ('morvel-score.exe', False)):
        try:
            image = Image(os.path.join(package, path))
        except (ValueError, struct.error, OSError) as e:
            fail(f'{path}: {e}')
            continue
        if image.machine != IMAGE_FILE_MACHINE_I386:
            fail(f'{path}: machine {image.machine:#x}, not 32-bit x86')
        if bool(image.characteristics & IMAGE_FILE_DLL) != dll:
            fail(f'{path}: {"not " if dll else ""}a DLL')
        try:
            check_version_info(image, version, dll)
        except (ValueError, struct.error, UnicodeDecodeError) as e:
            fail(f'{path} VERSIONINFO: cannot be read: {e}')


# ---- debug information ---------------------------------------------------

# A function of the DLL's own, found by name in the debug information's symbol
# table and by its definition in the source.
KNOWN_FUNCTION = 'MorvelGetInfoBody'
KNOWN_FUNCTION_SOURCE = 'plugin/Plugin_win.cpp'


def tool(*command):
    """The output of a binutils program; a failure to run it is a failure."""
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        fail(f'{os.path.basename(command[0])} {" ".join(command[1:-1])} failed on '
             f'{command[-1]}: {result.stderr.strip()}')
        return None
    return result.stdout


def build_id(objdump, path):
    """The build id of the CodeView record in the PE debug directory."""
    text = tool(objdump, '-p', path)
    if text is None:
        return None
    ids = re.findall(r'\(format RSDS signature ([0-9a-f]+) age (\d+)', text)
    if len(ids) != 1:
        fail(f'{os.path.basename(path)}: {len(ids)} build ids in the debug directory, '
             'expected one')
        return None
    return ids[0]


def definition_line(source_dir, path, function):
    """The line of SOURCE_DIR/path where function is defined (its name at the
    start of a declaration, followed by its parameters)."""
    with open(os.path.join(source_dir, path), encoding='utf-8') as f:
        lines = [n for n, line in enumerate(f, 1)
                 if re.match(rf'\S.*\b{function}\(', line) and not line.rstrip().endswith(';')]
    if len(lines) != 1:
        fail(f'{path}: {function} is defined on lines {lines}, expected one line')
        return None
    return lines[0]


def check_debug_info(package, debug_file, source_dir, objdump, nm, addr2line):
    dll = os.path.join(package, 'MorvelRussia.dll')
    sections = tool(objdump, '-h', dll)
    if sections is not None and re.search(r'\s\.debug_\w+\s', sections):
        fail('MorvelRussia.dll: carries debug information; it is shipped stripped')

    links = tool(objdump, '--dwarf=links', dll)
    if links is not None:
        name = re.search(r'Separate debug info file: (\S+)', links)
        crc = re.search(r'CRC value: 0x([0-9a-f]+)', links)
        if not name or not crc:
            fail('MorvelRussia.dll: no debug link')
        else:
            with open(debug_file, 'rb') as f:
                actual = zlib.crc32(f.read())
            if name.group(1) != os.path.basename(debug_file):
                fail(f'MorvelRussia.dll: the debug link names {name.group(1)}, '
                     f'not {os.path.basename(debug_file)}')
            if int(crc.group(1), 16) != actual:
                fail(f'MorvelRussia.dll: the debug link has CRC {crc.group(1)}, '
                     f'{os.path.basename(debug_file)} has {actual:08x}')

    shipped, kept = build_id(objdump, dll), build_id(objdump, debug_file)
    if shipped and kept and shipped != kept:
        fail(f'build ids differ: MorvelRussia.dll {shipped[0]} age {shipped[1]}, '
             f'{os.path.basename(debug_file)} {kept[0]} age {kept[1]}')

    symbols = tool(nm, debug_file)
    line = definition_line(source_dir, KNOWN_FUNCTION_SOURCE, KNOWN_FUNCTION)
    if symbols is None or line is None:
        return
    # i386 C names carry a leading underscore.
    address = [fields[0] for fields in (entry.split() for entry in symbols.splitlines())
               if len(fields) == 3 and fields[1] == 'T' and fields[2] == '_' + KNOWN_FUNCTION]
    if len(address) != 1:
        fail(f'{os.path.basename(debug_file)}: {len(address)} symbols {KNOWN_FUNCTION}, '
             'expected one')
        return
    found = tool(addr2line, '-f', '-C', '-i', '-e', debug_file, '0x' + address[0])
    if found is None:
        return
    # With -i, the function and its place come last, after any inlined calls.
    answer = found.splitlines()[-2:]
    expected = [KNOWN_FUNCTION, f'./{KNOWN_FUNCTION_SOURCE}:{line}']
    if answer != expected:
        fail(f'addr2line maps {KNOWN_FUNCTION} at 0x{address[0]} to {answer}, '
             f'the source defines it at {expected}')


def main():
    (zip_path, version, dest, dom_file, script_out, debug_file, source_dir, objdump, nm,
     addr2line) = sys.argv[1:11]
    package = unpack(zip_path, f'MorvelRussia-{version}', dest)
    check_sums(package)
    check_texts(package, version, dom_file)
    check_programs(package, version)
    check_debug_info(package, debug_file, source_dir, objdump, nm, addr2line)
    with open(script_out, 'w', newline='', encoding='utf-8') as f:
        f.write(example_script(package))
    for message in failures:
        print(f'package: {message}', file=sys.stderr)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
