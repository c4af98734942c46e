#!/usr/bin/python3
"""Checks the built Quillbox.exe files: machine, subsystem, hardening, imports,
the first calls, version block, manifest, and the error report's contact against
the build's settings; and QuillboxMenu.dll, Windows 11's menu command (DllChecks).
Usage: check_pe.py [--again DIR] EXE|DLL... (Debian's python3-pefile).

The exe is stripped; what it cannot show, the build leaves beside it: the
linker's map with its cross references (Quillbox.map) and the compile commands
(compile_commands.json), and its settings are in its CMakeCache.txt. With
--again, DIR/<folder of EXE>/<its name> is the same sources built a second
time elsewhere, and must be the same bytes."""
import argparse
import json
import os
import re
import subprocess
import sys
import unittest

import pefile

# The DLLs the exe imports are loaded before its first instruction, by the usual
# search that starts in the program's own folder (where a download may sit
# beside it); only the system's KnownDLLs are never taken from there, and
# comctl32, which the manifest takes from the side-by-side store.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll", "shell32.dll", "ole32.dll",
               "oleaut32.dll", "comdlg32.dll", "shlwapi.dll", "imm32.dll", "comctl32.dll"}
# Functions that write files or touch the registry: the program does neither.
WRITING = re.compile(r"^(Reg(?!ister)|WriteFile|CreateDirectory|RemoveDirectory|DeleteFile|MoveFile|CopyFile|ReplaceFile|"
                     r"SetFileAttributes|SetEndOfFile|CreateHardLink|CreateSymbolicLink|WritePrivateProfile|"
                     r"WriteProfile|SHSetValue|SHRegSet)")
# The program's own objects, as the linker names them in its map.
PRODUCT_OBJECT = re.compile(r"(Quillbox\.dir/app/|libquillbox_win32\.a\(|libquillbox_form\.a\()")
PRODUCT_SOURCE = re.compile(r"/(app|form|platform)/[^/]+(/[^/]+)?\.cpp$")
OBJDUMP = {64: "x86_64-w64-mingw32-objdump", 32: "i686-w64-mingw32-objdump"}
SEM_FAILCRITICALERRORS = 0x1
SECURITY_SQOS_PRESENT, SECURITY_IDENTIFICATION, SECURITY_QOS_BITS = 0x100000, 0x10000, 0x1f0000
LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800
MACHINES = {pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]: 64, pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]: 32}
RT_STRING = 6
RT_GROUP_ICON = 14
RT_MANIFEST = 24
# Windows 10 and 11, the only systems the manifest names.
WINDOWS_10 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
# A 32-bit program on 64-bit Windows reads C:\Windows\System32 as named only with these.
WOW64_REDIRECTION = ("Wow64DisableWow64FsRedirection", "Wow64RevertWow64FsRedirection")


def program_version():
    """(major, minor, 0, revision) and the version text, from common/Program.h,
    the one place that defines the program's version."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "common", "Program.h")
    with open(path, encoding="utf-8") as f:
        text = f.read()
    major, minor, revision = (int(re.search(rf"#define QB_VERSION_{part} (\d+)", text).group(1))
                              for part in ("MAJOR", "MINOR", "REVISION"))
    return (major, minor, 0, revision), f"{major}.{minor:02}.{revision:04}"


VERSION, VERSION_TEXT = program_version()
# What the build's settings hold when a packager has set none (CMakeLists.txt).
PLACEHOLDER_MAIL = "support@example.org"


def cache_settings(build):
    """{name: value} of the build's CMake cache."""
    settings = {}
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        for line in f:
            m = re.match(r"^([A-Za-z_][A-Za-z0-9_]*):[A-Z]+=(.*)$", line.rstrip("\n"))
            if m:
                settings[m.group(1)] = m.group(2)
    return settings


def read_map(path):
    """The linker map: {symbol: address} from its memory map, and {symbol: [defining
    file, referencing files...]} from its cross reference table."""
    addresses, references, symbol = {}, {}, None
    with open(path, encoding="utf-8", errors="replace") as f:
        lines = f.read().split("\n")
    table = lines.index("Cross Reference Table")
    for line in lines[:table]:
        m = re.match(r"^\s+0x([0-9a-f]+)\s+(\S+)$", line)
        if m:
            addresses[m.group(2)] = int(m.group(1), 16)
        m = re.match(r"^(\.text)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)", line)
        if m:
            addresses[".text"] = (int(m.group(2), 16), int(m.group(3), 16))
    for line in lines[table + 3:]:
        if not line.strip():
            continue
        if not line[0].isspace():
            symbol, _, file = line.partition(" ")
            references[symbol] = [file.strip()] if file.strip() else []
        else:
            references[symbol].append(line.strip())
    return addresses, references


def read_image(cls):
    """cls.path's image, bitness and folder, and its imports: {dll: {name: address}}."""
    cls.pe = pefile.PE(cls.path)
    cls.bits = MACHINES.get(cls.pe.FILE_HEADER.Machine)
    cls.build = os.path.dirname(os.path.abspath(cls.path))
    cls.imports = {entry.dll.decode().lower(): {imp.name.decode(): imp.address for imp in entry.imports if imp.name}
                   for entry in cls.pe.DIRECTORY_ENTRY_IMPORT}


class ExeChecks(unittest.TestCase):
    path = None
    again = None

    @classmethod
    def setUpClass(cls):
        read_image(cls)
        cls.addresses, cls.references = read_map(os.path.join(cls.build, "Quillbox.map"))

    def test_map_is_of_this_exe(self):
        text = next(s for s in self.pe.sections if s.Name.rstrip(b"\0") == b".text")
        self.assertEqual(self.addresses[".text"],
                         (self.pe.OPTIONAL_HEADER.ImageBase + text.VirtualAddress, text.SizeOfRawData))

    def test_machine_and_gui_subsystem(self):
        self.assertIn(self.bits, (32, 64))
        self.assertEqual(self.pe.OPTIONAL_HEADER.Subsystem, pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"])
        # Remote Desktop hosts give it no compatibility layer (a per-user Windows
        # folder, mapped registry keys): it writes nowhere and needs none.
        self.assertTrue(self.pe.OPTIONAL_HEADER.DllCharacteristics &
                        pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE"], "not tsaware")

    def test_needs_windows_10(self):
        # Older Windows refuses an image whose subsystem version is newer than
        # itself; Windows 10 before 1607 lacks the DPI functions it imports.
        header = self.pe.OPTIONAL_HEADER
        self.assertEqual((header.MajorSubsystemVersion, header.MinorSubsystemVersion), (10, 0))
        self.assertEqual((header.MajorOperatingSystemVersion, header.MinorOperatingSystemVersion), (10, 0))
        self.assertLessEqual({"GetDpiForWindow", "AdjustWindowRectExForDpi"}, set(self.imports["user32.dll"]))

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

    def test_stack_protector_in_the_programs_own_code(self):
        guard = self.references.get("__stack_chk_guard", [])
        self.assertTrue(guard and "libssp.a" in guard[0], "the guard is not the stack protector's")
        self.assertTrue(any(PRODUCT_OBJECT.search(f) for f in guard[1:]), "no object of the program checks its stack")

    def test_program_compiled_hardened(self):
        # Fortified calls leave a trace (__memcpy_chk and kin) only where a buffer's
        # size is known and not provably enough; the program makes no such call, so
        # the evidence is how each of its sources was compiled: fortified, and
        # optimised, without which _FORTIFY_SOURCE does nothing.
        with open(os.path.join(self.build, "compile_commands.json")) as f:
            commands = [c for c in json.load(f) if PRODUCT_SOURCE.search(c["file"])]
        self.assertGreaterEqual(len(commands), 6)
        for c in commands:
            flags = c["command"].split()
            self.assertIn("-D_FORTIFY_SOURCE=2", flags, c["file"])
            self.assertIn("-fstack-protector-strong", flags, c["file"])
            self.assertIn([f for f in flags if f.startswith("-O")][-1], ("-O2", "-O3", "-Os"), c["file"])

    def test_32_bit_seh_free(self):
        # The 32-bit build unwinds C++ exceptions with DWARF tables, not with handlers
        # registered at fs:0, so the image says that none of its code is one (NO_SEH).
        if self.bits != 32:
            self.skipTest("64-bit exceptions are table-based")
        self.assertTrue(self.pe.OPTIONAL_HEADER.DllCharacteristics &
                        pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_NO_SEH"], "not marked NO_SEH")
        registrations = [text for _, text in self.program_code() if re.search(r"%fs:0x0(?![0-9a-fx])", text)]
        self.assertEqual(registrations, [], "code that reads or writes the handler chain at fs:0")

    def test_32_bit_reads_system32_as_named(self):
        # Only the 32-bit build turns WOW64's file-system redirection off, and only
        # around the open: nothing but CreateFileW (and keeping its error) runs
        # while it is off.
        kernel32 = self.imports["kernel32.dll"]
        if self.bits == 64:
            self.assertFalse(set(WOW64_REDIRECTION) & set(kernel32))
            return
        self.assertLessEqual(set(WOW64_REDIRECTION), set(kernel32))
        self.assertIn(self.calls_between(self.program_code(), *WOW64_REDIRECTION),
                      (["CreateFileW"], ["CreateFileW", "GetLastError"]))

    def test_32_bit_reverts_the_redirection_exactly_when_it_was_turned_off(self):
        # Where there is no WOW64 the call to turn redirection off fails, and its
        # revert must not run; where it succeeded it must. Its result (eax) is
        # kept somewhere, tested after the open, and the branch taken when it is
        # nonzero is the one that reaches the revert.
        if self.bits == 64:
            self.skipTest("the 64-bit build never turns the redirection off")
        code = self.program_code()
        at = {address: i for i, (address, _) in enumerate(code)}
        [turn_off] = [i for i, (_, text) in enumerate(code) if self.callee(text) == WOW64_REDIRECTION[0]]
        [open_at] = [i for i, (_, text) in enumerate(code) if self.callee(text) == "CreateFileW"]
        kept = next(m.group(1) for _, text in code[turn_off + 1:open_at]
                    if (m := re.match(r"mov\s+%eax,(\S+)$", text)))
        test = next(i for i in range(open_at, open_at + 8)
                    if re.match(rf"test\s+{re.escape(kept)},{re.escape(kept)}$", code[i][1]))
        jump = re.match(r"(jne|je)\s+0x([0-9a-f]+)$", code[test + 1][1])
        self.assertTrue(jump, "\n".join(text for _, text in code[turn_off:test + 2]))
        taken, not_taken = int(jump.group(2), 16), code[test + 2][0]
        nonzero, zero = (taken, not_taken) if jump.group(1) == "jne" else (not_taken, taken)
        following = self.flow(code)

        def reverts(start):
            seen, todo = set(), [start]
            while todo:
                a = todo.pop()
                if a in seen or a not in at:
                    continue
                seen.add(a)
                if self.callee(code[at[a]][1]) == WOW64_REDIRECTION[1]:
                    return True
                todo += following[a]
            return False

        self.assertEqual((reverts(nonzero), reverts(zero)), (True, False))

    def test_a_pipe_server_may_identify_the_user_not_act_as_the_user(self):
        # Wine lets a pipe's server impersonate its client fully whatever the
        # client asked for, so this is read from the open itself: its flags (the
        # sixth argument) carry SECURITY_SQOS_PRESENT with the identification level.
        code = [text for _, text in self.program_code()]
        [open_at] = [i for i, text in enumerate(code) if self.callee(text) == "CreateFileW"]
        since = max(i for i in range(open_at) if code[i].startswith("call")) + 1
        slot = re.escape("0x28(%rsp)" if self.bits == 64 else "0x14(%esp)")
        flags = [int(m.group(1), 16) for m in (re.match(rf"movl?\s+\$0x([0-9a-f]+),{slot}$", text)
                                               for text in code[since:open_at]) if m]
        self.assertEqual(len(flags), 1, "\n".join(code[since:open_at + 1]))
        self.assertEqual(flags[0] & SECURITY_QOS_BITS, SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, hex(flags[0]))

    def test_large_address_aware(self):
        # The 32-bit build gets 4 GB of address space on 64-bit Windows (the 64-bit one always has it).
        self.assertTrue(self.pe.FILE_HEADER.Characteristics & 0x0020, "not large-address-aware")

    def test_reproducible(self):
        self.assertEqual(self.pe.FILE_HEADER.TimeDateStamp, 0)
        if self.again:
            other = os.path.join(self.again, os.path.basename(self.build), os.path.basename(self.path))
            with open(self.path, "rb") as mine, open(other, "rb") as theirs:
                self.assertTrue(mine.read() == theirs.read(), f"{self.path} and {other} differ")

    def test_imports_only_system_dlls(self):
        self.assertLessEqual(set(self.imports), SYSTEM_DLLS)
        self.assertIn("SetDefaultDllDirectories", self.imports["kernel32.dll"])

    def test_no_registry_and_no_writing(self):
        for dll, names in self.imports.items():
            for name in names:
                self.assertNotRegex(name, WRITING, dll)

    def disassembly(self, start, stop):
        """The instructions from start to stop, as objdump writes them."""
        return [text for _, text in self.addressed_disassembly(start, stop)]

    def addressed_disassembly(self, start, stop):
        """(address, instruction) from start to stop."""
        listing = subprocess.run([OBJDUMP[self.bits], "-d", f"--start-address={start:#x}", f"--stop-address={stop:#x}",
                                  self.path], capture_output=True, text=True, check=True).stdout
        return [(int(line.split(":")[0], 16), line.split("\t")[-1])
                for line in listing.splitlines() if line.count("\t") >= 2]

    def program_code(self):
        """(address, instruction) of all of .text, disassembled once."""
        if "code" not in self.__class__.__dict__:
            start, size = self.addresses[".text"]
            self.__class__.code = self.addressed_disassembly(start, start + size)
        return self.code

    def callee(self, text):
        """What the instruction calls: an imported function's name, or the call
        itself for any other call; None for an instruction that is no call."""
        if not text.startswith("call"):
            return None
        # x86_64: call *disp(%rip)  # target; i686: call *target
        m = re.search(r"#\s*(?:0x)?([0-9a-f]+)", text) if "(%rip)" in text else re.search(r"\*0x([0-9a-f]+)$", text)
        names = {address: name for functions in self.imports.values() for name, address in functions.items()}
        return names.get(int(m.group(1), 16), text) if m else text

    def imported_calls(self, instructions):
        """(index, callee) of each call."""
        return [(i, self.callee(text)) for i, text in enumerate(instructions) if text.startswith("call")]

    @staticmethod
    def flow(code):
        """{address: the addresses that may run next}, following the jumps; a
        conditional jump's target comes first, then the instruction after it."""
        following = {}
        for (address, text), (after, _) in zip(code, code[1:] + [(None, "")]):
            jump = re.match(r"(j\w+)\s+0x([0-9a-f]+)$", text)
            if text.startswith("ret") or (text.startswith("jmp") and not jump):
                following[address] = []
            elif jump:
                following[address] = [int(jump.group(2), 16)] + ([after] if jump.group(1) != "jmp" else [])
            else:
                following[address] = [after]
        return following

    def calls_between(self, code, first, last):
        """What is called on any path from the one call of `first` to the one call
        of `last`, following the jumps in the code, whatever their layout."""
        following = self.flow(code)
        preceding = {}
        for address, nexts in following.items():
            for n in nexts:
                preceding.setdefault(n, []).append(address)
        calls = {address: self.callee(text) for address, text in code}
        [start] = [a for a, name in calls.items() if name == first]
        [end] = [a for a, name in calls.items() if name == last]

        def reach(origin, edges, stop):
            seen, todo = set(), list(edges.get(origin, []))
            while todo:
                a = todo.pop()
                if a in edges and a not in seen and a != stop:
                    seen.add(a)
                    todo += edges[a]
            return seen

        between = reach(start, following, end) & reach(end, preceding, start)
        self.assertTrue(between, f"{last} never follows {first}")
        return sorted({calls[a] for a in between if calls[a]})

    def test_first_calls_fail_critical_errors_then_limit_the_dll_search(self):
        # wWinMain's first calls: SetErrorMode(SEM_FAILCRITICALERRORS), so that no
        # system box asks for a disk; then SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32).
        start = next(a for name, a in self.addresses.items() if re.fullmatch(r"_?wWinMain(@16)?", name))
        instructions = self.disassembly(start, start + 0x80)
        calls = self.imported_calls(instructions)
        self.assertGreaterEqual(len(calls), 2, "\n".join(instructions))
        first_argument = "%ecx" if self.bits == 64 else "(%esp)"
        previous = 0
        for (at, name), (expected, argument) in zip(calls, [("SetErrorMode", SEM_FAILCRITICALERRORS),
                                                            ("SetDefaultDllDirectories", LOAD_LIBRARY_SEARCH_SYSTEM32)]):
            self.assertEqual(name, expected, "\n".join(instructions[:at + 1]))
            self.assertIn(f"${argument:#x},{first_argument}", "\n".join(instructions[previous:at]),
                          "\n".join(instructions[:at + 1]))
            previous = at + 1

    def resources(self, type_id):
        for rtype in self.pe.DIRECTORY_ENTRY_RESOURCE.entries:
            if rtype.id == type_id:
                for rid in rtype.directory.entries:
                    for lang in rid.directory.entries:
                        yield lang

    def test_resources_are_japanese(self):
        # The strings (the installer's right-click label) are in English as well.
        for rtype in self.pe.DIRECTORY_ENTRY_RESOURCE.entries:
            for rid in rtype.directory.entries:
                self.assertEqual([lang.id for lang in rid.directory.entries],
                                 [0x0409, 0x0411] if rtype.id == RT_STRING else [0x0411], f"type {rtype.id} id {rid.id}")

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
        self.assertEqual(strings["FileVersion"], VERSION_TEXT)
        self.assertEqual(strings["ProductVersion"], VERSION_TEXT)
        self.assertEqual(strings["ProductName"], "Quillbox")
        self.assertEqual(strings["InternalName"], "Quillbox")
        # What Task Manager and "Open with" show as the program's name.
        self.assertEqual(strings["FileDescription"], "Quillbox")
        self.assertEqual(translations, [{b"Translation": "0x0411 0x04b0"}])

    def test_report_names_the_contact_of_the_settings(self):
        # The report puts the two strings together at run time: each stands in the
        # image as a UTF-16 string of its own, and no other contact does.
        settings = cache_settings(self.build)
        with open(self.path, "rb") as f:
            image = f.read()
        for key in ("QB_CONTACT_NAME", "QB_CONTACT_MAIL"):
            self.assertTrue((settings[key] + "\0").encode("utf-16-le") in image, f"{key} {settings[key]!r} not in it")
        if settings["QB_CONTACT_MAIL"] != PLACEHOLDER_MAIL:
            self.assertFalse(PLACEHOLDER_MAIL.encode("utf-16-le") in image, "the placeholder is still in it")

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
        own = re.search(r'<assemblyIdentity\s+type="win32"\s+name="Quillbox"\s+version="([0-9.]+)"', data)
        self.assertTrue(own, data)
        self.assertEqual(own.group(1), ".".join(map(str, VERSION)))
        self.assertEqual(re.findall(r'<supportedOS\s+Id="([^"]+)"', data), [WINDOWS_10])


class DllChecks(unittest.TestCase):
    """QuillboxMenu.dll, Windows 11's menu command, which Explorer loads into its
    own 64-bit process: an in-process COM server and nothing else, hardened like
    the exe, importing only system DLLs, opening no file and writing nothing."""
    path = None
    again = None

    @classmethod
    def setUpClass(cls):
        read_image(cls)

    # As the exe's: ASLR, DEP, no writable code; no time stamp, the same bytes from another folder.
    test_hardening = ExeChecks.test_hardening
    test_reproducible = ExeChecks.test_reproducible

    def test_a_64_bit_dll(self):
        self.assertEqual(self.bits, 64)
        self.assertTrue(self.pe.FILE_HEADER.Characteristics & 0x2000, "not a DLL")

    def test_exports_only_what_com_calls(self):
        self.assertEqual(sorted(e.name.decode() for e in self.pe.DIRECTORY_ENTRY_EXPORT.symbols),
                         ["DllCanUnloadNow", "DllGetClassObject"])

    def test_imports_only_system_dlls_and_neither_opens_nor_writes_files(self):
        self.assertLessEqual(set(self.imports), SYSTEM_DLLS)
        for dll, names in self.imports.items():
            for name in names:
                self.assertNotRegex(name, WRITING, dll)
                self.assertNotRegex(name, r"^(CreateFile|OpenFile|ReadFile|LoadLibrary)", dll)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--again", help="where the same sources were built a second time")
    parser.add_argument("exes", nargs="+")
    args = parser.parse_args()
    exes = args.exes
    suite = unittest.TestSuite()
    for exe in exes:
        checks = DllChecks if exe.lower().endswith(".dll") else ExeChecks
        case = type(re.sub(r"\W", "_", exe), (checks,), {"path": exe, "again": args.again})
        suite.addTests(unittest.defaultTestLoader.loadTestsFromTestCase(case))
    result = unittest.TextTestRunner(verbosity=1).run(suite)
    sys.exit(0 if exes and result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
