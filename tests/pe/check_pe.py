#!/usr/bin/python3
"""Checks the built Quillbox.exe files: machine, subsystem, hardening, imports,
version block, manifest. Usage: check_pe.py EXE... (Debian's python3-pefile)."""
import re
import sys
import unittest

import pefile

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll", "comctl32.dll",
               "shell32.dll", "ole32.dll", "uxtheme.dll"}
MACHINES = {pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]: 64, pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]: 32}
RT_GROUP_ICON = 14
RT_MANIFEST = 24
VERSION = (1, 2, 0, 2485)


class ExeChecks(unittest.TestCase):
    path = None

    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(cls.path)
        cls.bits = MACHINES.get(cls.pe.FILE_HEADER.Machine)

    def test_machine_and_gui_subsystem(self):
        self.assertIn(self.bits, (32, 64))
        self.assertEqual(self.pe.OPTIONAL_HEADER.Subsystem, pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"])

    def test_hardening(self):
        flags = self.pe.OPTIONAL_HEADER.DllCharacteristics
        for name in ("DYNAMIC_BASE", "NX_COMPAT") + (("HIGH_ENTROPY_VA",) if self.bits == 64 else ()):
            self.assertTrue(flags & pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_" + name], name)
        reloc = self.pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
        self.assertGreater(reloc.Size, 0, "relocations stripped: ASLR cannot move the image")
        self.assertFalse(self.pe.FILE_HEADER.Characteristics & 0x0001, "relocations stripped flag set")
        write, execute, shared = 0x80000000, 0x20000000, 0x10000000
        for section in self.pe.sections:
            name = section.Name.rstrip(b"\0").decode()
            self.assertFalse(section.Characteristics & write and section.Characteristics & execute, name)
            self.assertFalse(section.Characteristics & shared, name)

    def test_reproducible(self):
        self.assertEqual(self.pe.FILE_HEADER.TimeDateStamp, 0)

    def test_imports_only_system_dlls(self):
        self.pe.parse_data_directories()
        dlls = {entry.dll.decode().lower(): entry for entry in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertLessEqual(set(dlls), SYSTEM_DLLS)
        kernel32 = {imp.name.decode() for imp in dlls["kernel32.dll"].imports if imp.name}
        self.assertIn("SetDefaultDllDirectories", kernel32)

    def resources(self, type_id):
        for rtype in self.pe.DIRECTORY_ENTRY_RESOURCE.entries:
            if rtype.id == type_id:
                for rid in rtype.directory.entries:
                    for lang in rid.directory.entries:
                        yield lang

    def test_resources_are_japanese(self):
        for rtype in self.pe.DIRECTORY_ENTRY_RESOURCE.entries:
            for rid in rtype.directory.entries:
                for lang in rid.directory.entries:
                    self.assertEqual(lang.id, 0x0411, f"resource type {rtype.id} id {rid.id}")

    def test_version_block(self):
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        packed = ((VERSION[0] << 16) | VERSION[1], (VERSION[2] << 16) | VERSION[3])
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), packed)
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS), packed)
        self.assertEqual(fixed.FileOS, 0x4)    # 32-bit Windows
        self.assertEqual(fixed.FileType, 0x1)  # application
        tables, translations = {}, []
        for info in self.pe.FileInfo[0]:
            if info.Key == b"StringFileInfo":
                for table in info.StringTable:
                    tables[table.LangID.decode()] = {k.decode(): v.decode() for k, v in table.entries.items()}
            elif info.Key == b"VarFileInfo":
                translations += [var.entry for var in info.Var]
        self.assertEqual(list(tables), ["041104B0"])
        strings = tables["041104B0"]
        self.assertEqual(strings["FileVersion"], "1.02.2485")
        self.assertEqual(strings["ProductVersion"], "1.02.2485")
        self.assertEqual(strings["ProductName"], "Quillbox")
        self.assertEqual(strings["InternalName"], "Quillbox")
        self.assertEqual(translations, [{b"Translation": "0x0411 0x04b0"}])

    def test_icon_32_and_16_in_16_colours(self):
        [group] = list(self.resources(RT_GROUP_ICON))
        data = self.pe.get_data(group.data.struct.OffsetToData, group.data.struct.Size)
        count = int.from_bytes(data[4:6], "little")
        entries = [data[6 + 14 * i: 20 + 14 * i] for i in range(count)]
        # width, height, colour count, planes, bits per pixel
        images = sorted((e[0], e[1], e[2], int.from_bytes(e[4:6], "little"), int.from_bytes(e[6:8], "little"))
                        for e in entries)
        self.assertEqual(images, [(16, 16, 16, 1, 4), (32, 32, 16, 1, 4)])

    def test_manifest(self):
        [entry] = list(self.resources(RT_MANIFEST))
        data = self.pe.get_data(entry.data.struct.OffsetToData, entry.data.struct.Size).decode()
        self.assertRegex(data, r'requestedExecutionLevel\s+level="asInvoker"')
        self.assertNotIn("<activeCodePage", data)
        self.assertRegex(data, r"<longPathAware[^>]*>true</longPathAware>")
        self.assertRegex(data, r"<dpiAwareness[^>]*>PerMonitorV2")
        self.assertIn("Microsoft.Windows.Common-Controls", data)


def main():
    exes = sys.argv[1:]
    suite = unittest.TestSuite()
    for exe in exes:
        case = type(re.sub(r"\W", "_", exe), (ExeChecks,), {"path": exe})
        suite.addTests(unittest.defaultTestLoader.loadTestsFromTestCase(case))
    result = unittest.TextTestRunner(verbosity=1).run(suite)
    sys.exit(0 if exes and result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
