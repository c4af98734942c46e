"""tools/release: the zips' names and contents, their checksums and each exe's
version; the installers' summaries, components and custom actions; a second
release from the other build folder the same bytes; a release signed with a
throw-away certificate that verifies, and fails once a byte changes, and whose
x64 installer holds Windows 11's menu package, read here as Windows reads it and
the same bytes when signed again; the signed 64-bit exe copying a file under
Wine; the 64-bit installer under Wine, in a prefix of its own: installed,
upgraded, replaced by the 32-bit one of the same version and back, its
right-click entry run and its label loaded, the package's registration failing,
repaired, then uninstalled, and on Windows 10 once more; and the winget and
Scoop manifests checked (check_manifests.py), and each kind of fault in them
caught.

    /usr/bin/python3 -m unittest discover -s tools/pack

Run by tools/test after the builds (build/<preset> and build/again/<preset>).
"""
import base64
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET
import zipfile
from pathlib import Path

import pefile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_manifests  # noqa: E402
import manifests  # noqa: E402
import msi  # noqa: E402
import pack  # noqa: E402
from msi import Libmsi  # noqa: E402

ROOT = pack.ROOT
VERSION = pack.version()
ENTRIES = ["Quillbox.exe", "README.txt", "README.ja.txt", "LICENSE.txt"]
BUILD = {"x64": "x86_64", "x86": "i686"}
MACHINE = {"x64": pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"], "x86": pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]}
PASSWORD = "throw-away pass"
SECURITY = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]
# Where a packager publishes; the signed release keeps the placeholders.
PUBLISHED = {"QB_PACKAGE_ID": "QuillboxAuthors.Quillbox", "QB_PUBLISHER": "The Quillbox authors",
             "QB_HOMEPAGE": "https://quillbox.example.net", "QB_LICENSE_URL": "https://quillbox.example.net/v{version}/LICENSE",
             "QB_DOWNLOAD_URL": "https://quillbox.example.net/download/v{version}/{file}"}
PACKAGE = PUBLISHED["QB_PACKAGE_ID"]
# The test signer's subject, "/C=DE/O=Quillbox, test/CN=Quillbox test signer", as Windows writes it.
PUBLISHER = 'CN=Quillbox test signer, O="Quillbox, test", C=DE'
MENU = ["QuillboxMenu.dll", "Quillbox.msix", "Quillbox.png"]


def release(out, *options, env=None):
    """tools/release with these options, and the environment changed as env says (None: unset)."""
    environment = {**os.environ, **(env or {})}
    subprocess.run([str(ROOT / "tools" / "release"), "--out", str(out), *options], check=True,
                   stdout=subprocess.DEVNULL, env={k: v for k, v in environment.items() if v is not None})


def zip_stamp(epoch):
    year, month, day, hour, minute, second = time.gmtime(int(epoch))[:6]
    return (year, month, day, hour, minute, second // 2 * 2)  # a zip keeps even seconds


def make_certificate(folder):
    """A throw-away certificate authority, and a code-signing certificate it issued, with its key in a .pfx."""
    folder.mkdir()
    openssl = lambda *args: subprocess.run(["openssl", *args], cwd=folder, check=True, capture_output=True,
                                           env={**os.environ, "PW": PASSWORD})
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", "/CN=Quillbox test CA", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "signer.key", "-out", "signer.csr",
            "-subj", "/C=DE/O=Quillbox, test/CN=Quillbox test signer")
    (folder / "signer.ext").write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                                       "extendedKeyUsage=codeSigning\n")
    openssl("x509", "-req", "-in", "signer.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-days", "2", "-extfile", "signer.ext", "-out", "signer.pem")
    openssl("pkcs12", "-export", "-inkey", "signer.key", "-in", "signer.pem", "-certfile", "ca.pem",
            "-passout", "env:PW", "-out", "signer.pfx")
    return folder / "ca.pem", folder / "signer.pfx"


def rows(path, sql):
    """The rows the query selects from the installer, each a tuple of strings."""
    query = Libmsi.Query.new(Libmsi.Database.new(str(path), Libmsi.DbFlags.READONLY, None), sql)
    query.execute(None)
    found = []
    while (record := query.fetch()) is not None:
        found.append(tuple(record.get_string(i) for i in range(1, record.get_field_count() + 1)))
    return found


def installed_files(path):
    """{name: bytes} of the files in the installer's cabinet, as msitools extracts them."""
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run(["msiextract", "-C", folder, str(path)], check=True, capture_output=True)
        return {p.name: p.read_bytes() for p in Path(folder).rglob("*") if p.is_file()}


def windows(path):
    return "Z:" + str(path).replace("/", "\\")


def session(script, *args, env=None):
    """Runs the bash script with these arguments in a Wine session, qbwine built."""
    subprocess.run(["cmake", "--build", str(ROOT / "build" / "x86_64"), "--target", "qbwine"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run([str(ROOT / "tests" / "wine" / "session"), "bash", "-c", script, "-",
                    str(ROOT / "build" / "x86_64" / "tools" / "wine" / "qbwine.exe"), *map(str, args)],
                   check=True, env={**os.environ, **(env or {})})


def verify(ca, exe):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", str(ca), "-in", str(exe)],
                          capture_output=True, text=True)


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = Path(tempfile.mkdtemp(prefix="quillbox-release-"))
        cls.addClassCleanup(shutil.rmtree, cls.tmp)
        # A packager's own date; and a TMPDIR holding a blank, with a folder beside
        # it named as its part before the blank, which the release must not touch.
        packager = {"SOURCE_DATE_EPOCH": "1000000000", "TMPDIR": str(cls.tmp / "tmp dir"), **PUBLISHED}
        (cls.tmp / "tmp dir").mkdir()
        (cls.tmp / "tmp").mkdir()
        (cls.tmp / "tmp" / "kept").write_text("beside the temporary folder")
        release(cls.tmp / "first", env=packager)
        release(cls.tmp / "second", "--build", str(ROOT / "build" / "again"), env=packager)
        cls.ca, pfx = make_certificate(cls.tmp / "ca")
        # No date given: the commit's.
        release(cls.tmp / "signed", "--sign", str(pfx), env={"QB_SIGN_PASSWORD": PASSWORD, "SOURCE_DATE_EPOCH": None})
        # Signed again, from the other build folder: the menu's package must be the same bytes.
        release(cls.tmp / "signed again", "--sign", str(pfx), "--build", str(ROOT / "build" / "again"),
                env={"QB_SIGN_PASSWORD": PASSWORD, "SOURCE_DATE_EPOCH": None})
        commit = subprocess.run(["git", "log", "-1", "--format=%ct"], cwd=ROOT, capture_output=True, text=True,
                                check=True).stdout
        cls.epochs = {"first": int(packager["SOURCE_DATE_EPOCH"]), "signed": int(commit)}
        cls.stamps = {run: zip_stamp(epoch) for run, epoch in cls.epochs.items()}

    def entries(self, run, architecture):
        with zipfile.ZipFile(self.tmp / run / pack.zip_name(architecture)) as archive:
            return {info.filename: (info, archive.read(info)) for info in archive.infolist()}

    def exe(self, run, architecture):
        path = self.tmp / f"{run}-{architecture}.exe"
        path.write_bytes(self.entries(run, architecture)["Quillbox.exe"][1])
        return path

    def test_zips_and_their_entries(self):
        for run in ("first", "signed"):
            self.assertEqual(sorted(os.listdir(self.tmp / run)),
                             [f"Quillbox-{VERSION}-win-{a}.{kind}" for a in BUILD for kind in ("msi", "zip")] +
                             ["SHA256SUMS", "scoop", "winget"])
            for architecture in BUILD:
                with zipfile.ZipFile(self.tmp / run / pack.zip_name(architecture)) as archive:
                    self.assertEqual(archive.namelist(), ENTRIES)
                    for info in archive.infolist():
                        self.assertEqual((info.date_time, info.external_attr >> 16), (self.stamps[run], 0o100644))
                        data = archive.read(info)
                        for path in (str(ROOT), str(self.tmp)):
                            self.assertNotIn(path.encode(), data, info.filename)
                            self.assertNotIn(path.encode("utf-16-le"), data, info.filename)

    def test_temporary_folders_are_removed_and_nothing_beside_them(self):
        self.assertEqual(os.listdir(self.tmp / "tmp dir"), [])
        self.assertEqual((self.tmp / "tmp" / "kept").read_text(), "beside the temporary folder")

    def test_unsigned_exes_are_the_builds(self):
        for architecture, preset in BUILD.items():
            exe = self.entries("first", architecture)["Quillbox.exe"][1]
            self.assertTrue(exe == (ROOT / "build" / preset / "Quillbox.exe").read_bytes(), architecture)
            self.assertEqual(pefile.PE(data=exe, fast_load=True).FILE_HEADER.Machine, MACHINE[architecture])

    def test_texts_for_notepad(self):
        texts = {name: data for name, (_, data) in self.entries("first", "x64").items() if name != "Quillbox.exe"}
        self.assertEqual(texts, {name: data for name, (_, data) in self.entries("first", "x86").items()
                                 if name != "Quillbox.exe"})
        for name, data in texts.items():
            self.assertTrue(data.startswith(b"\xef\xbb\xbf"), name)
            self.assertEqual(data.count(b"\n"), data.count(b"\r\n"), name)
            text = data.decode("utf-8")
            self.assertNotRegex(text, r"(?m)\]\(|\*\*|`|^#|(^|\s)\*\w", name)  # Markdown's marks
        self.assertIn("Copyright (c) 2026 The Quillbox authors", texts["LICENSE.txt"].decode())
        for name in ("README.txt", "README.ja.txt"):
            text = texts[name].decode()
            # Users compare these names with what they downloaded, and these texts with what Quillbox shows.
            for file_name in [*map(pack.zip_name, BUILD), *map(pack.msi_name, BUILD)]:
                self.assertIn(file_name, text, name)
            for message in ("指定されたパスに間違いがあります。", "エラー番号:", "場所:",
                            "上記の説明と、エラーの発生したときの簡単な状況を書いて、", "まで連絡してください。"):
                self.assertIn(message, text, name)

    def test_checksums(self):
        for run in ("first", "signed"):
            lines = (self.tmp / run / "SHA256SUMS").read_text().splitlines()
            self.assertEqual([re.fullmatch(r"[0-9a-f]{64}  (\S+)", line).group(1) for line in lines],
                             list(map(pack.zip_name, BUILD)) + list(map(pack.msi_name, BUILD)))
            subprocess.run(["sha256sum", "--quiet", "-c", "SHA256SUMS"], cwd=self.tmp / run, check=True)

    def test_version_block_says_the_version(self):
        major, minor, revision = map(int, VERSION.split("."))
        for run in ("first", "signed"):
            for architecture in BUILD:
                pe = pefile.PE(str(self.exe(run, architecture)))
                fixed = pe.VS_FIXEDFILEINFO[0]
                self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), ((major << 16) | minor, revision))
                [table] = [t for info in pe.FileInfo[0] if info.Key == b"StringFileInfo" for t in info.StringTable]
                self.assertEqual((table.entries[b"FileVersion"], table.entries[b"ProductVersion"]),
                                 (VERSION.encode(), VERSION.encode()))

    def test_installers_summary(self):
        for run, epoch in self.epochs.items():
            for architecture, platform in (("x64", "x64"), ("x86", "Intel")):
                path = str(self.tmp / run / pack.msi_name(architecture))
                summary = Libmsi.SummaryInfo.new(Libmsi.Database.new(path, Libmsi.DbFlags.READONLY, None), 0)
                # The word count's flags: 2, compressed; 8, no elevated privileges needed (no prompt).
                self.assertEqual(summary.get_int(Libmsi.Property.SOURCE), 2 | 8, path)
                self.assertEqual(summary.get_string(Libmsi.Property.TEMPLATE), f"{platform};1033")
                self.assertEqual(summary.get_filetime(Libmsi.Property.CREATED_TM),
                                 (epoch + msi.FILETIME_1970) * 10**7)

    def test_each_architecture_has_component_codes_of_its_own_in_every_version(self):
        # A code is one component to Windows Installer, of one bitness (Attributes 256: 64-bit).
        major, minor, revision = pack.product_version().split(".")
        codes = {}
        for architecture, preset in BUILD.items():
            older = self.tmp / f"older-{architecture}.msi"
            msi.build(older, architecture, self.exe("first", architecture), ROOT / "build" / preset / "icon" / "quillbox.ico",
                      self.epochs["first"], version=f"{major}.{minor}.{int(revision) - 1}")
            found = [rows(path, "SELECT `Component`, `ComponentId`, `Attributes` FROM `Component`")
                     for path in (older, *(self.tmp / run / pack.msi_name(architecture) for run in ("first", "signed")))]
            self.assertEqual(found, [found[0]] * 3, architecture)
            self.assertEqual({int(attributes) & 256 for _, _, attributes in found[0]}, {256 if architecture == "x64" else 0})
            codes[architecture] = {code for _, code, _ in found[0]}
        self.assertEqual(codes["x64"] & codes["x86"], set())

    def test_menu_only_in_the_signed_x64_installer_registered_on_windows_11_removed_first(self):
        actions = "SELECT `Action`, `Type`, `Source` FROM `CustomAction`"
        sequence = "SELECT `Action`, `Condition`, `Sequence` FROM `InstallExecuteSequence`"
        # Where the actions stand among Windows Installer's own.
        around = {"AppSearch", "CostFinalize", "SetPowerShell", "RemoveExistingProducts", "InstallInitialize",
                  "RemoveMenuPackage", "RemoveFiles", "InstallFiles", "RegisterMenuPackage", "InstallFinalize"}
        for run, architecture in (("first", "x64"), ("first", "x86"), ("signed", "x86")):
            path = self.tmp / run / pack.msi_name(architecture)
            self.assertEqual(rows(path, actions), [], path)
            self.assertFalse(set(MENU) & set(installed_files(path)), path)
        path = self.tmp / "signed" / pack.msi_name("x64")
        # 51: sets a property; 1138: runs the exe that a property names (50), deferred (1024),
        # its exit code ignored (64), as the user (no 2048).
        self.assertEqual(sorted(rows(path, actions)), [("RegisterMenuPackage", "1138", "POWERSHELLEXE"),
                                                       ("RemoveMenuPackage", "1138", "POWERSHELLEXE"),
                                                       ("SetPowerShell", "51", "POWERSHELLEXE")])
        self.assertEqual(sorted((row for row in rows(path, sequence) if row[0] in around), key=lambda row: int(row[2])), [
            ("AppSearch", "", "50"), ("CostFinalize", "", "1000"), ("SetPowerShell", "", "1001"),
            ("RemoveExistingProducts", "", "1401"), ("InstallInitialize", "", "1500"),
            ("RemoveMenuPackage", 'REMOVE="ALL"', "3490"), ("RemoveFiles", "", "3500"), ("InstallFiles", "", "4000"),
            ("RegisterMenuPackage", "(NOT Installed OR REINSTALL) AND CURRENTBUILDNUMBER >= 22000", "6500"),
            ("InstallFinalize", "", "6600")])
        # HKLM (2), the value as it is (2) from the 64-bit registry (16).
        self.assertEqual(rows(path, "SELECT `Root`, `Key`, `Name`, `Type` FROM `RegLocator`"),
                         [("2", r"SOFTWARE\Microsoft\Windows NT\CurrentVersion", "CurrentBuildNumber", "18")])

    def test_menu_package_read_as_windows_reads_it_verifies_and_is_the_same_signed_again(self):
        files = {run: installed_files(self.tmp / run / pack.msi_name("x64")) for run in ("signed", "signed again")}
        package = self.tmp / "Quillbox.msix"
        package.write_bytes(files["signed"]["Quillbox.msix"])
        self.assertTrue(files["signed"]["Quillbox.msix"] == files["signed again"]["Quillbox.msix"])
        archive = zipfile.ZipFile(package)
        self.assertIsNone(archive.testzip())
        self.assertEqual(archive.namelist(),
                         ["AppxManifest.xml", "AppxBlockMap.xml", "[Content_Types].xml", "AppxSignature.p7x"])
        # Every entry but the footprint's own is in the block map: its size, its local
        # header's, and each 64 KiB block's hash and compressed size (their sum the
        # entry's, or 2 more: the stream's end).
        block_map = ET.fromstring(archive.read("AppxBlockMap.xml"))
        self.assertEqual(block_map.get("HashMethod"), "http://www.w3.org/2001/04/xmlenc#sha256")
        namespace = "{http://schemas.microsoft.com/appx/2010/blockmap}"
        [entry] = block_map.iter(namespace + "File")
        info = archive.getinfo(entry.get("Name"))
        data = archive.read(info)
        name_length, extra_length = struct.unpack_from("<2H", package.read_bytes(), info.header_offset + 26)
        self.assertEqual((info.filename, int(entry.get("Size")), int(entry.get("LfhSize"))),
                         ("AppxManifest.xml", len(data), 30 + name_length + extra_length))
        blocks = entry.findall(namespace + "Block")
        self.assertEqual([block.get("Hash") for block in blocks],
                         [base64.b64encode(hashlib.sha256(data[at:at + 65536]).digest()).decode()
                          for at in range(0, len(data), 65536)])
        self.assertIn(info.compress_size - sum(int(block.get("Size")) for block in blocks), (0, 2))
        types = ET.fromstring(archive.read("[Content_Types].xml"))
        namespace = "{http://schemas.openxmlformats.org/package/2006/content-types}"
        defaults = {t.get("Extension"): t.get("ContentType") for t in types.iter(namespace + "Default")}
        overrides = {t.get("PartName"): t.get("ContentType") for t in types.iter(namespace + "Override")}
        self.assertEqual({name: overrides.get("/" + name, defaults.get(name.rpartition(".")[2]))
                          for name in archive.namelist() if name != "[Content_Types].xml"},
                         {"AppxManifest.xml": "application/vnd.ms-appx.manifest+xml",
                          "AppxBlockMap.xml": "application/vnd.ms-appx.blockmap+xml",
                          "AppxSignature.p7x": "application/vnd.ms-appx.signature"})
        # The manifest: the signer's subject, this version, the command's class.
        manifest = ET.fromstring(data)
        namespace = "{http://schemas.microsoft.com/appx/manifest/foundation/windows10}"
        identity = manifest.find(namespace + "Identity")
        self.assertEqual((identity.get("Publisher"), identity.get("Version")),
                         (PUBLISHER, pack.product_version() + ".0"))
        [clsid] = {element.get(key) for element in manifest.iter() for key in ("Clsid", "Id") if "-" in element.get(key, "")}
        self.assertIn(f"{{{clsid}}}", (ROOT / "shell" / "CopyTextCommand.cpp").read_text())
        # The signature, and the DLL's.
        for name in ("Quillbox.msix", "QuillboxMenu.dll"):
            (self.tmp / name).write_bytes(files["signed"][name])
            result = verify(self.ca, self.tmp / name)
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        changed = bytearray(package.read_bytes())
        changed[info.header_offset + 30 + name_length + 100] ^= 0x01
        package.write_bytes(changed)
        self.assertNotEqual(verify(self.ca, package).returncode, 0)

    def test_second_release_is_the_same_bytes(self):
        names = [p.relative_to(self.tmp / "first") for p in (self.tmp / "first").rglob("*") if p.is_file()]
        self.assertEqual(len(names), 10)
        for name in names:
            first, second = ((self.tmp / run / name).read_bytes() for run in ("first", "second"))
            self.assertTrue(first == second, f"{name}: {hashlib.sha256(first).hexdigest()} "
                                             f"!= {hashlib.sha256(second).hexdigest()}")

    def scratch(self, run="first"):
        """A copy of the release's manifests, checksums and installers, to change."""
        out = self.tmp / "scratch"
        shutil.rmtree(out, ignore_errors=True)
        shutil.copytree(self.tmp / run, out, ignore=shutil.ignore_patterns("*.zip"))
        return out

    def test_manifests_hold_the_release(self):
        for run, package in (("first", PACKAGE), ("signed", "Example.Quillbox")):
            self.assertEqual(check_manifests.problems(self.tmp / run), [], run)
            self.assertEqual(sorted(os.listdir(self.tmp / run / "winget")),
                             [f"{package}.{kind}yaml" for kind in ("installer.", "locale.en-US.", "locale.ja-JP.", "")])
        installer = (self.tmp / "first" / "winget" / f"{PACKAGE}.installer.yaml").read_text()
        self.assertEqual(installer.count(f"InstallerUrl: https://quillbox.example.net/download/v{VERSION}/"), 4)
        self.assertNotIn("Publisher", installer)  # the installers' own, as the package's
        self.assertNotIn("ReleaseDate", installer)  # the changelog says "Unreleased"

    def test_release_date_is_the_changelog_s_and_quoted(self):
        self.assertEqual(manifests.release_date(f"## [{VERSION}] - 2026-09-01\n", VERSION), "2026-09-01")
        self.assertIsNone(manifests.release_date(f"## [{VERSION}] - Unreleased\n", VERSION))
        # Over another package identifier's manifests, which must go.
        out = self.scratch("signed")
        manifests.write(out, PUBLISHED, "2026-09-01")
        self.assertEqual(check_manifests.problems(out), [])
        installer = out / "winget" / f"{PACKAGE}.installer.yaml"
        text = installer.read_text()
        self.assertIn("\nReleaseDate: '2026-09-01'\n", text)
        # Unquoted, YAML reads a date, not the string the schema asks for.
        installer.write_text(text.replace("'2026-09-01'", "2026-09-01"))
        self.assertRegex(" ".join(check_manifests.problems(out)), "ReleaseDate: .* is not of type 'string'")
        manifests.write(out, PUBLISHED, "2026-09-31")
        self.assertRegex(" ".join(check_manifests.problems(out)), "ReleaseDate: .* is not a 'date'")
        with self.assertRaises(SystemExit):  # a URL that another version's files would replace
            manifests.settings({"QB_DOWNLOAD_URL": "https://quillbox.example.net/latest/{file}"})

    def test_a_wrong_manifest_is_caught(self):
        installer, version, locale = (f"winget/{PACKAGE}.{kind}yaml" for kind in ("installer.", "", "locale.ja-JP."))
        scoop = "scoop/quillbox.json"
        rows = [  # the file, what is replaced in it (None: the file is renamed), by what, the problem's words
            (installer, r"InstallerSha256: \w+", "InstallerSha256: " + "AB" * 32, "SHA256SUMS says"),
            (scoop, r'"hash": "\w+"', '"hash": "' + "ab" * 32 + '"', "SHA256SUMS says"),
            (installer, r"(?s)(x86.*?)ProductCode: '[^']+'", r"\1ProductCode: '{00000000-0000-0000-0000-000000000001}'",
             "ProductCode"),
            (installer, r"(?s)InstallerSha256: (\w+)(.*?)InstallerSha256: \w+", r"InstallerSha256: \1\2InstallerSha256: \1",
             "two installers have one hash"),
            (f"winget/{PACKAGE}.locale.en-US.yaml", "Publisher: The Quillbox authors", "Publisher: Someone",
             "Manufacturer"),
            (installer, "Architecture: x64", "Architecture: arm64", "in that order"),
            (version, "DefaultLocale: en-US", "DefaultLocale: ja-JP", "the default locale is"),
            (installer, r"UpgradeCode: '[^']+'", "UpgradeCode: '{00000000-0000-0000-0000-000000000002}'",
             "UpgradeCode"),
            (locale, rf"PackageVersion: {VERSION}", "PackageVersion: 1.02.2486", f"version {VERSION}"),
            (scoop, rf'"version": "{VERSION}"', '"version": "1.02.2486"', f"not {VERSION}"),
            (installer, rf"/v{VERSION}/(Quillbox-{VERSION}-win-x86.zip)", r"/latest/\1", "not of this version's"),
            (scoop, r"\$version/Quillbox", "latest/Quillbox", "autoupdate"),
            (installer, r"  InstallerType: msi\n", "  InstallerType: msi\n  Scope: user\n", "Scope given"),
            (version, "ManifestVersion: 1.12.0", "ManifestVersion: 1.28.0", "ManifestVersion"),
            (version, r"version\.1\.12\.0", "version.1.28.0", "schema header"),
            (locale, None, f"{PACKAGE}.locale.ja-jp.yaml", "winget's names"),
            # What breaks the schemas.
            (installer, "InstallerType: zip", "InstallerType: tarball", "is not one of"),
            (f"winget/{PACKAGE}.locale.en-US.yaml", r"License: MIT\n", "", "'License' is a required property"),
            (scoop, '"bin"', '"binary"', "Additional properties are not allowed ('binary'"),
        ]
        for path, old, new, words in rows:
            with self.subTest(path=path, new=new):
                out = self.scratch()
                file = out / path
                if old is None:
                    file.rename(file.with_name(new))
                else:
                    text, count = re.subn(old, new, file.read_text(encoding="utf-8"), count=1)
                    self.assertEqual(count, 1)
                    file.write_text(text, encoding="utf-8", newline="")
                found = check_manifests.problems(out)
                self.assertTrue(any(words in problem for problem in found), found)

    def test_signature_verifies_and_a_changed_byte_fails(self):
        for architecture in BUILD:
            result = verify(self.ca, self.tmp / "signed" / pack.msi_name(architecture))
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            signed, unsigned = self.exe("signed", architecture), self.exe("first", architecture)
            result = verify(self.ca, signed)
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            self.assertIn("SHA256", result.stdout)
            pe, original = pefile.PE(str(signed)), pefile.PE(str(unsigned))
            security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY]
            self.assertGreater(security.Size, 0)
            self.assertGreaterEqual(security.VirtualAddress, len(original.__data__))
            # Code, data and resources are untouched: the signature only follows them.
            self.assertEqual([s.get_data() for s in pe.sections], [s.get_data() for s in original.sections])
            text = next(s for s in pe.sections if s.Name.rstrip(b"\0") == b".text")
            changed = bytearray(signed.read_bytes())
            changed[text.PointerToRawData + text.SizeOfRawData // 2] ^= 0x01
            signed.write_bytes(changed)
            self.assertNotEqual(verify(self.ca, signed).returncode, 0, architecture)

    def test_signed_exe_copies_under_wine(self):
        file = self.tmp / "signed copy.txt"
        file.write_bytes(f"Quillbox {VERSION}, signed\r\nsecond line\r\n".encode())
        script = ('q=$1; printf before | "$WINE" "$q" set || exit; '
                  '"$WINE" "$q" run --dismiss "$2" "$3" >"$4/messages"; echo $? >"$4/status"; '
                  '"$WINE" "$q" get >"$4/clipboard"')
        session(script, windows(self.exe("signed", "x64")), windows(file), self.tmp)
        self.assertEqual([(self.tmp / name).read_bytes() for name in ("status", "messages", "clipboard")],
                         [b"0\n", b"", file.read_bytes()])

    def test_installer_under_wine(self):
        # A package of the version before, this version's, the other architecture's of it and this one's again,
        # then a rebuild of it (signed): each time Quillbox is listed once, the package's exe installed. On
        # Windows 11 (by its build number), where PowerShell is a stand-in that records its command line and
        # fails as a registration may; the signed one repaired as msiexec /famus repairs (Wine's msiexec has
        # no /f for a package's path), and uninstalled; then on Windows 10, installed and uninstalled again.
        out, file = self.tmp / "installer", self.tmp / "a file with blanks.txt"
        out.mkdir()
        file.write_bytes("Copied by the right-click entry\r\n".encode())
        major, minor, revision = pack.product_version().split(".")
        msi.build(out / "older.msi", "x64", self.exe("first", "x64"), ROOT / "build" / "x86_64" / "icon" / "quillbox.ico",
                  self.epochs["first"], version=f"{major}.{minor}.{int(revision) - 1}")
        installed = [("first", "x64"), ("first", "x64"), ("first", "x86"), ("first", "x64"), ("signed", "x64")]
        packages = [windows(out / "older.msi")] + [windows(self.tmp / run / pack.msi_name(architecture))
                                                   for run, architecture in installed[1:]]
        script = r'''q=$1 o=$2 file=$3
            query() { "$WINE" reg query "$1" /s $2 | tr -d '\r'; }
            found() { (cd "$WINEPREFIX/drive_c/users" && find . -ipath '*quillbox*' -type f -exec sha256sum {} +); }
            # Settings > Apps lists both registry views.
            listed() { for view in 32 64; do query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /reg:$view; done |
                       grep -c 'DisplayName *REG_SZ *Quillbox$'; }
            build() { "$WINE" reg add 'HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber /d $1 /f >/dev/null; }
            powershell=$WINEPREFIX/drive_c/windows/system32/WindowsPowerShell/v1.0
            cp "$q" "$powershell/powershell.exe"
            build 22631
            for package in "$4" "$5" "$6" "$7" "$8"; do
                "$WINE" msiexec /i "$package" /qn; echo $? $(listed) $(found | sed -n 's,  .*/Programs/Quillbox/Quillbox.exe$,,p')
            done >"$o/installs"
            "$WINE" "$q" run --dismiss 'C:\windows\system32\msiexec.exe' "/i \"$4\"" >"$o/downgrade"
            query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' >"$o/apps"
            query 'HKCU\Software\Classes\*\shell\Quillbox' >"$o/entry"
            found >"$o/files"
            label=$(sed -n 's/^ *MUIVerb *REG_SZ *//p' "$o/entry")
            for language in C ja_JP.UTF-8 de_DE.UTF-8; do LC_ALL=$language "$WINE" "$q" indirect "$label"; done >"$o/labels"
            # The entry's command line as Explorer runs it: the file's path in place of %1.
            command=$(sed -n '/\\command$/,$ s/^ *(Default) *REG_SZ *//p' "$o/entry")
            exe=${command#\"} exe=${exe%%\"*}
            arguments=${command#\"*\" }
            printf before | "$WINE" "$q" set
            "$WINE" "$q" run --dismiss "$exe" "${arguments//%1/"$file"}" >"$o/messages"; echo $? >>"$o/messages"
            "$WINE" "$q" get >"$o/clipboard"
            rm "$WINEPREFIX"/drive_c/users/*/AppData/Local/Programs/Quillbox/Quillbox.exe
            "$WINE" msiexec /i "$8" REINSTALL=ALL REINSTALLMODE=amus /qn; echo $? >>"$o/installs"
            found >"$o/files-repaired"
            "$WINE" msiexec /x "$8" /qn; echo $? >>"$o/installs"
            build 19045
            for action in /i /x; do "$WINE" msiexec $action "$8" /qn; echo $? >>"$o/installs"; done
            cp "$powershell/powershell.exe.log" "$o/powershell"
            found >"$o/files-after"
            for root in HKCU HKLM; do "$WINE" reg export $root "$o/$root.reg" /y; done'''
        # Wine would put the Start menu's shortcut in the Linux desktop's menu too.
        session(script, out, windows(file), *packages, env={"WINEPREFIX": str(self.tmp / "prefix"),
                                                            "WINEDLLOVERRIDES": "winemenubuilder.exe=d;powershell.exe=n"})
        read = lambda name: (out / name).read_text(encoding="utf-8")
        digest = lambda path: hashlib.sha256(path.read_bytes()).hexdigest()
        self.assertEqual(read("installs").splitlines(),
                         [f"0 1 {digest(self.exe(*package))}" for package in installed] + ["0"] * 4)
        self.assertIn("A newer version of Quillbox is already installed.", read("downgrade"))
        [app] = [a for a in read("apps").split("\n\n") if re.search(r"DisplayName +REG_SZ +Quillbox$", a, re.M)]
        self.assertRegex(app, rf"DisplayVersion +REG_SZ +{re.escape(pack.product_version())}\n")
        files = {path: digest for digest, user, path in re.findall(r"(\w+)  \./([^/]+)/(.*)", read("files"))}
        signed = installed_files(self.tmp / "signed" / pack.msi_name("x64"))
        for name in ["Quillbox.exe"] + MENU:
            self.assertEqual(files[f"AppData/Local/Programs/Quillbox/{name}"], hashlib.sha256(signed[name]).hexdigest())
        # The repair puts the deleted exe back, as it was; and everything else is there (a shortcut made anew).
        repaired = {path: digest for digest, user, path in re.findall(r"(\w+)  \./([^/]+)/(.*)", read("files-repaired"))}
        self.assertEqual(repaired.keys(), files.keys())
        folder = "AppData/Local/Programs/Quillbox/"
        self.assertEqual({p: d for p, d in repaired.items() if p.startswith(folder)},
                         {p: d for p, d in files.items() if p.startswith(folder)})
        self.assertLessEqual({"AppData/Local/Programs/Quillbox/LICENSE.txt", "AppData/Roaming/Microsoft/Windows/"
                              "Start Menu/Programs/Quillbox.lnk", "AppData/Roaming/Microsoft/Windows/SendTo/Quillbox.lnk"},
                             set(files))
        user = re.search(r"\./([^/]+)/", read("files")).group(1)
        exe = rf"C:\users\{user}\AppData\Local\Programs\Quillbox\Quillbox.exe"
        self.assertEqual(sorted(re.findall(r"^ +(\S+) +REG_SZ +(.*)$", read("entry"), re.M)),
                         sorted([("(Default)", "Copy text"), ("MUIVerb", f"@{exe},-{msi.label_id()}"),
                                 ("Icon", f"{exe},0"), ("MultiSelectModel", "Single"),
                                 ("(Default)", f'"{exe}" "%1"')]))
        # A language of neither string table gets the English one.
        self.assertEqual(read("labels"), "Copy text\nテキストをコピー\nCopy text\n")
        self.assertEqual([read("messages"), (out / "clipboard").read_bytes()], ["0\n", file.read_bytes()])
        # Registered at install and at repair on Windows 11, with the install folder as it is;
        # removed at each uninstall.
        actions = dict(rows(self.tmp / "signed" / pack.msi_name("x64"), "SELECT `Action`, `Target` FROM `CustomAction`"))
        register = actions["RegisterMenuPackage"].replace("[INSTALLDIR]", exe.removesuffix("Quillbox.exe"))
        self.assertEqual(read("powershell"), "".join(rf"C:\windows\system32\WindowsPowerShell\v1.0\powershell.exe {c}" "\n"
                                                     for c in (register, register, *[actions["RemoveMenuPackage"]] * 2)))
        self.assertEqual(read("files-after"), "")
        self.assertEqual(list((self.tmp / "prefix" / "drive_c" / "users").glob("*/AppData/Local/Programs")), [])
        for root in ("HKCU", "HKLM"):
            self.assertNotIn("quillbox", (out / f"{root}.reg").read_bytes().decode("utf-16").lower(), root)


if __name__ == "__main__":
    unittest.main()
