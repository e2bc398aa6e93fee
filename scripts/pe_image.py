"""A PE32 file's headers, sections and resources, read with struct alone, for
the checks of the release's images (check-hardening.py here and
packaging/check-package.py)."""

import pathlib
import struct

IMAGE_FILE_DLL = 0x2000
DIRECTORY_RESOURCE = 2


class Image:
    """The headers, sections and resources of a PE32 file."""

    def __init__(self, path):
        self.path = path
        self.data = pathlib.Path(path).read_bytes()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", d, pe + 4)
        optional = pe + 24
        if struct.unpack_from("<H", d, optional)[0] != 0x10B:
            raise ValueError("not a PE32 (32-bit) image")
        self.image_base = struct.unpack_from("<I", d, optional + 28)[0]
        self.dll_characteristics = struct.unpack_from("<H", d, optional + 70)[0]
        count = struct.unpack_from("<I", d, optional + 92)[0]
        self.directories = [struct.unpack_from("<II", d, optional + 96 + 8 * n)
                            for n in range(count)]
        self.sections = []
        for n in range(sections):
            at = optional + optional_size + 40 * n
            name = d[at:at + 8].rstrip(b"\0").decode("ascii", "replace")
            vsize, vaddr, raw_size, raw_at = struct.unpack_from("<IIII", d, at + 8)
            self.sections.append((name, vaddr, max(vsize, raw_size), raw_at, raw_size))

    @property
    def is_dll(self):
        return bool(self.characteristics & IMAGE_FILE_DLL)

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def section_of(self, rva):
        for section in self.sections:
            _, vaddr, size, _, raw_size = section
            if vaddr <= rva < vaddr + size and rva - vaddr < raw_size:
                return section
        return None

    def offset(self, rva):
        section = self.section_of(rva)
        if section is None:
            raise ValueError(f"RVA {rva:#x} lies in no section")
        return section[3] + rva - section[1]

    def resource(self, type_id, name_id=None):
        """The bytes of the resource of that type and numeric name (the first
        name when None; its first language), or None."""
        rva, _ = self.directory(DIRECTORY_RESOURCE)
        if not rva:
            return None
        base = self.offset(rva)
        directory = 0
        for level, want in enumerate((type_id, name_id, None)):
            named, ids = struct.unpack_from("<HH", self.data, base + directory + 12)
            entries = base + directory + 16
            found = None
            for n in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, entries + 8 * n)
                if want is None or (not name & 0x80000000 and name == want):
                    found = target
                    break
            if found is None or bool(found & 0x80000000) != (level < 2):
                return None
            directory = found & 0x7FFFFFFF
        data_rva, size = struct.unpack_from("<II", self.data, base + directory)
        at = self.offset(data_rva)
        return self.data[at:at + size]
