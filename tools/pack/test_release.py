"""tools/release: the zips' names and contents, their checksums and each exe's
version; the installers' summaries; a second release from the other build folder
the same bytes; a release signed with a throw-away certificate that verifies, and
fails once a byte changes; the signed 64-bit exe copying a file under Wine; the
64-bit installer under Wine, in a prefix of its own: installed, upgraded,
replaced by the 32-bit one of the same version and back, its right-click entry
run and its label loaded, then uninstalled; and the winget and Scoop manifests
checked (check_manifests.py), and each kind of fault in them caught.

    /usr/bin/python3 -m unittest discover -s tools/pack

Run by tools/test after the builds (build/<preset> and build/again/<preset>).
"""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
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
            "-subj", "/CN=Quillbox test signer")
    (folder / "signer.ext").write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                                       "extendedKeyUsage=codeSigning\n")
    openssl("x509", "-req", "-in", "signer.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-days", "2", "-extfile", "signer.ext", "-out", "signer.pem")
    openssl("pkcs12", "-export", "-inkey", "signer.key", "-in", "signer.pem", "-certfile", "ca.pem",
            "-passout", "env:PW", "-out", "signer.pfx")
    return folder / "ca.pem", folder / "signer.pfx"


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
        # then a rebuild of it (signed), and uninstall: each time Quillbox is listed once, the package's exe installed.
        out, file = self.tmp / "installer", self.tmp / "a file with blanks.txt"
        out.mkdir()
        file.write_bytes("Copied by the right-click entry\r\n".encode())
        major, minor, revision = msi.product_version().split(".")
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
            "$WINE" msiexec /x "$8" /qn; echo $? >>"$o/installs"
            found >"$o/files-after"
            for root in HKCU HKLM; do "$WINE" reg export $root "$o/$root.reg" /y; done'''
        # Wine would put the Start menu's shortcut in the Linux desktop's menu too.
        session(script, out, windows(file), *packages,
                env={"WINEPREFIX": str(self.tmp / "prefix"), "WINEDLLOVERRIDES": "winemenubuilder.exe=d"})
        read = lambda name: (out / name).read_text(encoding="utf-8")
        digest = lambda path: hashlib.sha256(path.read_bytes()).hexdigest()
        self.assertEqual(read("installs").splitlines(),
                         [f"0 1 {digest(self.exe(*package))}" for package in installed] + ["0"])
        self.assertIn("A newer version of Quillbox is already installed.", read("downgrade"))
        [app] = [a for a in read("apps").split("\n\n") if re.search(r"DisplayName +REG_SZ +Quillbox$", a, re.M)]
        self.assertRegex(app, rf"DisplayVersion +REG_SZ +{re.escape(msi.product_version())}\n")
        files = {path: digest for digest, user, path in re.findall(r"(\w+)  \./([^/]+)/(.*)", read("files"))}
        self.assertEqual(files["AppData/Local/Programs/Quillbox/Quillbox.exe"],
                         hashlib.sha256(self.exe("signed", "x64").read_bytes()).hexdigest())
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
        self.assertEqual(read("files-after"), "")
        self.assertEqual(list((self.tmp / "prefix" / "drive_c" / "users").glob("*/AppData/Local/Programs")), [])
        for root in ("HKCU", "HKLM"):
            self.assertNotIn("quillbox", (out / f"{root}.reg").read_bytes().decode("utf-16").lower(), root)


if __name__ == "__main__":
    unittest.main()
