#!/usr/bin/env python3
"""Writes the release ZIP from the staged package folder, the same bytes from
the same files on every machine.

    write-zip.py STAGE FOLDER ZIP EPOCH

packs STAGE/FOLDER, the folder and everything in it, into ZIP as FOLDER/...:
one entry for every folder and file, sorted by path; every entry dated EPOCH
(seconds since 1970, UTC; a ZIP holds no date before 1980, which such an epoch
becomes), the programs (.exe, .dll) with mode 0755, other files 0644, folders
0755; deflated at zlib's default level; no extra fields, no comment. Nothing
from the file system but the names and contents reaches the ZIP: not the
order in which the folder lists its files, their times, owners or modes.
"""
import os
import sys
import time
import zipfile

ZIP_EARLIEST = (1980, 1, 1, 0, 0, 0)
UNIX = 3  # "made by" system: the external attributes hold Unix modes
MSDOS_DIRECTORY = 0x10


def entries(stage, folder):
    """The package's paths relative to STAGE with '/', folders ending in '/'."""
    found = [folder + '/']
    for parent, dirs, files in os.walk(os.path.join(stage, folder)):
        relative = os.path.relpath(parent, stage).replace(os.sep, '/')
        found += [f'{relative}/{name}/' for name in dirs]
        found += [f'{relative}/{name}' for name in files]
    return sorted(found)


def entry_info(path, date_time):
    info = zipfile.ZipInfo(path, date_time)
    info.create_system = UNIX
    if path.endswith('/'):
        info.external_attr = (0o40755 << 16) | MSDOS_DIRECTORY
        info.compress_type = zipfile.ZIP_STORED
    else:
        program = path.lower().endswith(('.exe', '.dll'))
        info.external_attr = (0o100755 if program else 0o100644) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
    return info


def main():
    if len(sys.argv) != 5:
        sys.exit('usage: write-zip.py STAGE FOLDER ZIP EPOCH')
    stage, folder, zip_path, epoch_text = sys.argv[1:5]
    try:
        epoch = int(epoch_text)
        if epoch < 0:
            raise ValueError
    except ValueError:
        sys.exit(f'write-zip.py: the time {epoch_text!r} is not a number of seconds since 1970')
    try:
        date_time = max(time.gmtime(epoch)[:6], ZIP_EARLIEST)
    except (OverflowError, OSError, ValueError):
        date_time = None
    if date_time is None or date_time[0] > 2107:
        sys.exit(f'write-zip.py: the time {epoch} lies past the last date a ZIP holds (2107)')
    if not os.path.isdir(os.path.join(stage, folder)):
        sys.exit(f'write-zip.py: no folder {os.path.join(stage, folder)}')

    with zipfile.ZipFile(zip_path, 'w') as archive:
        for path in entries(stage, folder):
            info = entry_info(path, date_time)
            if path.endswith('/'):
                archive.writestr(info, b'')
            else:
                with open(os.path.join(stage, *path.split('/')), 'rb') as f:
                    archive.writestr(info, f.read())
    return 0


if __name__ == '__main__':
    sys.exit(main())
