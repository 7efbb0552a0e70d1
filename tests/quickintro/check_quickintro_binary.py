#!/usr/bin/python3
"""Static checks of a built quickintro.exe that run no Windows code, so they
also hold for the shipped i686 build on machines that cannot run it:

    check_quickintro_binary.py QUICKINTRO-EXE COMPILED-LAYOUT

- a GUI program that imports system DLLs only, declares Windows Vista (6.0)
  as the oldest system it runs on and imports nothing newer (the list in
  tests/support/newer_than_vista_imports.txt);
- its resources: "TQUICKFORM" (byte for byte the compiled layout), the
  cursor group "VIDUVIDIVA" with its one 32 x 32 cursor and hot spot 7, 0,
  the icon group "MAINICON" with its one 32 x 32 256-colour icon, a manifest
  and a version resource;
- the manifest: well-formed (Windows refuses to start a program whose
  manifest is not), asking for the version 6 common controls, naming the
  supported Windows versions from Vista to 10 and 11, and declaring
  per-monitor awareness of the display scale (dpiAwareness "PerMonitorV2,
  PerMonitor", dpiAware "true/pm" for the systems before) without GDI
  scaling, which would stretch what the wizard scales itself;
- no test scaffolding: the options of the scripted test build are not in it.
"""
import struct
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "comctl32.dll", "msvcrt.dll",
               "shell32.dll", "ole32.dll", "msimg32.dll"}
RT_CURSOR, RT_ICON, RT_RCDATA, RT_GROUP_CURSOR, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 1, 3, 10, 12, 14, 16, 24
GUI_SUBSYSTEM = 2
VISTA = (6, 0)
NEWER_THAN_VISTA = Path(__file__).resolve().parent.parent / "support" / "newer_than_vista_imports.txt"

ASM_V1, ASM_V3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
WINDOWS_SETTINGS_2005 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
WINDOWS_SETTINGS_2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
WINDOWS_SETTINGS_2017 = "{http://schemas.microsoft.com/SMI/2017/WindowsSettings}"
SUPPORTED_OS = [
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  # Vista
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # 10 and 11
]


class PeFile:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        self.optional = pe + 24
        magic = struct.unpack_from("<H", data, self.optional)[0]
        self.plus = magic == 0x20B
        self.subsystem = struct.unpack_from("<H", data, self.optional + 68)[0]
        versions = struct.unpack_from("<HH4xHH", data, self.optional + 40)
        self.os_version, self.subsystem_version = versions[:2], versions[2:]
        directories = self.optional + (112 if self.plus else 96)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        table = self.optional + optional_size
        self.sections = [struct.unpack_from("<8xIIII", data, table + 40 * i) for i in range(sections)]

    def offset(self, rva):
        for virtual_size, address, raw_size, raw_offset in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw_offset + rva - address
        raise ValueError(f"address {rva:#x} outside every section")

    def string_at(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        """{dll (lower case): [function imported by name]}"""
        rva, _ = self.directories[1]
        found, at = {}, self.offset(rva)
        while True:
            lookup_rva, name_rva, address_rva = struct.unpack_from("<I8xII", self.data, at)
            if name_rva == 0:
                return found
            found[self.string_at(name_rva).lower()] = self.functions_named(lookup_rva or address_rva)
            at += 20

    def functions_named(self, lookup_rva):
        entry_format, by_ordinal = ("<Q", 1 << 63) if self.plus else ("<I", 1 << 31)
        names, at = [], self.offset(lookup_rva)
        while True:
            entry = struct.unpack_from(entry_format, self.data, at)[0]
            if entry == 0:
                return names
            if not entry & by_ordinal:
                names.append(self.string_at(entry + 2))  # after the 16-bit hint
            at += struct.calcsize(entry_format)

    def resources(self):
        """{(type, name): data}, type and name as int ids or upper-case strings."""
        base_rva, _ = self.directories[2]
        if base_rva == 0:
            return {}
        base = self.offset(base_rva)

        def entries(directory):
            named, ids = struct.unpack_from("<12xHH", self.data, base + directory)
            for i in range(named + ids):
                key, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                if key & 0x80000000:
                    at = base + (key & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, at)[0]
                    key = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                yield key, target

        found = {}
        for kind, types in entries(0):
            for name, names in entries(types & 0x7FFFFFFF):
                for _, leaf in entries(names & 0x7FFFFFFF):
                    rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    start = self.offset(rva)
                    found[(kind, name)] = self.data[start:start + size]
        return found


def manifest_problems(manifest):
    """What keeps Windows from reading the manifest as the wizard needs it."""
    try:
        root = ElementTree.fromstring(manifest)
    except ElementTree.ParseError as error:
        return [f"the manifest is not well-formed XML: {error}"]
    problems = []
    if root.tag != ASM_V1 + "assembly":
        problems.append(f"the manifest's root is {root.tag}, not an assembly")
    ids = [entry.get("Id", "").lower()
           for entry in root.findall(f"{COMPATIBILITY}compatibility/{COMPATIBILITY}application/{COMPATIBILITY}supportedOS")]
    if ids != SUPPORTED_OS:
        problems.append(f"supported Windows versions {ids}, not Vista to 10 and 11")
    def settings(space, name):
        found = root.findall(f"{ASM_V3}application/{ASM_V3}windowsSettings/{space}{name}")
        return [(setting.text or "").strip() for setting in found]

    if settings(WINDOWS_SETTINGS_2016, "dpiAwareness") != ["PerMonitorV2, PerMonitor"]:
        problems.append(f"dpiAwareness {settings(WINDOWS_SETTINGS_2016, 'dpiAwareness')}, not per monitor (v2, then v1)")
    if [value.lower() for value in settings(WINDOWS_SETTINGS_2005, "dpiAware")] != ["true/pm"]:
        problems.append(f"dpiAware {settings(WINDOWS_SETTINGS_2005, 'dpiAware')}, not true/pm")
    if settings(WINDOWS_SETTINGS_2017, "gdiScaling"):
        problems.append("asks for GDI scaling, which would stretch what the wizard scales itself")
    return problems


def check(exe, layout):
    failures = []

    def expect(condition, message):
        if not condition:
            failures.append(message)

    data = Path(exe).read_bytes()
    pe = PeFile(data)
    for option in (b"--press-next", b"--report-painted"):
        expect(option not in data, f"carries the test option {option.decode()}")
    expect(pe.subsystem == GUI_SUBSYSTEM, f"subsystem {pe.subsystem}, not a GUI program")
    expect((pe.os_version, pe.subsystem_version) == (VISTA, VISTA),
           f"declares os {pe.os_version[0]}.{pe.os_version[1]} subsystem {pe.subsystem_version[0]}."
           f"{pe.subsystem_version[1]}, not 6.0 (Windows Vista)")
    newer_than_vista = {line.split()[0] for line in NEWER_THAN_VISTA.read_text().splitlines()
                        if line.strip() and not line.startswith("#")}
    imports = pe.imports()
    expect(any(imports.values()), "no imported functions found")
    for dll, functions in imports.items():
        expect(dll in SYSTEM_DLLS or dll.startswith("api-ms-win-crt-"), f"imports {dll}, not a system DLL")
        newer = sorted(newer_than_vista.intersection(functions))
        expect(not newer, f"imports from {dll} functions newer than Windows Vista: {' '.join(newer)}")
    found = pe.resources()
    expect(found.get((RT_RCDATA, "TQUICKFORM")) == Path(layout).read_bytes(),
           "TQUICKFORM differs from the compiled layout")
    group = found.get((RT_GROUP_CURSOR, "VIDUVIDIVA"))
    expect(group is not None and struct.unpack_from("<HHH", group)[2] == 1, "no cursor group VIDUVIDIVA of one cursor")
    if group:
        width, height, _, _, _, cursor_id = struct.unpack_from("<HHHHIH", group, 6)
        cursor = found.get((RT_CURSOR, cursor_id), b"\0" * 8)
        expect((width, height // 2) == (32, 32), f"cursor is {width} x {height // 2}")
        expect(struct.unpack_from("<HH", cursor) == (7, 0), f"hot spot {struct.unpack_from('<HH', cursor)}")
    icons = found.get((RT_GROUP_ICON, "MAINICON"))
    expect(icons is not None and struct.unpack_from("<HHH", icons)[2] == 1, "no icon group MAINICON of one icon")
    if icons:
        width, height, _, _, _, bits = struct.unpack_from("<BBBBHH", icons, 6)
        expect((width, height, bits) == (32, 32, 8), f"icon {width} x {height}, {bits} bits")
    manifest = found.get((RT_MANIFEST, 1), b"")
    expect(b"Microsoft.Windows.Common-Controls" in manifest and b'version="6.0.0.0"' in manifest,
           "no manifest for the version 6 common controls")
    failures.extend(manifest_problems(manifest))
    expect(any(kind == RT_VERSION for kind, _ in found), "no version resource")
    return failures


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    failures = check(*argv[1:])
    for failure in failures:
        print(f"{argv[1]}: {failure}", file=sys.stderr)
    print(f"{len(failures)} problem(s) in {argv[1]}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
