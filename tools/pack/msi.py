"""The release's installers; tools/release runs it for each executable, then signs what it made.

    msi.py --arch x64|x86 --exe EXE --icon ICO [--menu DLL MSIX PNG] --out FILE

Builds the per-user installer of Quillbox.wxs with Debian's wixl: EXE, the
license as LICENSE.txt and ICO (Settings > Apps shows it) go into FILE; with
--menu (x64, signed), Windows 11's first-level Copy text too: the command's DLL,
the signed sparse package of msix.py and its logo, and the actions that
register and remove the package. wixl
cannot do all that is needed, so the database is then changed with msitools'
own library, libmsi:
- a rebuilt package of the same version replaces the installed one too (wixl
  has no AllowSameVersionUpgrades);
- the same inputs give the same bytes: the summary's times are
  SOURCE_DATE_EPOCH, as are the times of the files in the cabinet; the package
  code, which wixl makes at random whatever the source says, and the product
  code are names derived from the package's own bytes, so that every version,
  and every package with other contents, has codes of its own.
"""
import argparse
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import uuid
from pathlib import Path

import gi

gi.require_version("Libmsi", "1.0")
from gi.repository import Libmsi  # noqa: E402

import pack  # noqa: E402

WXS = Path(__file__).with_name("Quillbox.wxs")
UPGRADE_CODE = "{" + re.search(r'UpgradeCode="([0-9A-F-]{36})"', WXS.read_text()).group(1) + "}"
NO_CODE = "{00000000-0000-0000-0000-000000000000}"
FILETIME_1970 = 11644473600  # seconds from 1601, where a FILETIME starts
# Attributes of the upgrade row: migrate features, minimum and maximum included.
SAME_VERSION = 1 | 256 | 512


def label_id():
    """The id of the right-click entry's label in the exe's string table."""
    header = (pack.ROOT / "resources" / "resource.h").read_text(encoding="utf-8")
    return re.search(r"^#define IDS_COPY_TEXT (\d+)$", header, re.M).group(1)


def build(out, architecture, exe, icon, epoch, version=None, menu=None):
    """menu: the paths of QuillboxMenu.dll, Quillbox.msix and Quillbox.png, or None."""
    version = version or pack.product_version()
    with tempfile.TemporaryDirectory() as folder:
        stage = Path(folder)
        (stage / "Quillbox.exe").write_bytes(exe.read_bytes())
        (stage / "LICENSE.txt").write_bytes(pack.notepad((pack.ROOT / "LICENSE").read_text(encoding="utf-8")))
        (stage / "quillbox.ico").write_bytes(icon.read_bytes())
        for name, path in zip(("QuillboxMenu.dll", "Quillbox.msix", "Quillbox.png"), menu or ()):
            (stage / name).write_bytes(path.read_bytes())
        for file in stage.iterdir():
            os.utime(file, (epoch, epoch))
        # wixl takes no absolute Source path (it fails an assertion), so it runs in
        # the stage; the cabinet's times are local times, so UTC.
        defines = {"Version": version, "Win64": "yes" if architecture == "x64" else "no", "LabelId": label_id(),
                   "ProductCode": NO_CODE, "Menu": "yes" if menu else "no"}
        wixl = subprocess.run(["wixl", "-a", architecture, "-o", str(out.resolve()), str(WXS),
                               *(f for name, value in defines.items() for f in ("-D", f"{name}={value}"))],
                              cwd=stage, env={**os.environ, "TZ": "UTC"}, capture_output=True, text=True)
        if wixl.returncode:
            sys.exit(f"msi.py: wixl failed:\n{wixl.stderr}")
    settle(out, version, epoch)


def settle(path, version, epoch):
    """Makes the same version an upgrade, the times SOURCE_DATE_EPOCH, the codes the package's own."""
    database = Libmsi.Database.new(str(path), Libmsi.DbFlags.TRANSACT, None)
    query(database, "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMin`, `VersionMax`, `Attributes`, `ActionProperty`) "
          f"VALUES ('{UPGRADE_CODE}', '{version}', '{version}', {SAME_VERSION}, 'WIX_UPGRADE_DETECTED')")
    summary = Libmsi.SummaryInfo.new(database, 20)
    for time in (Libmsi.Property.CREATED_TM, Libmsi.Property.LASTSAVED_TM):
        summary.set_filetime(time, (epoch + FILETIME_1970) * 10**7)
    set_codes(database, summary, NO_CODE, NO_CODE)  # as wixl was given the one, not the other
    digest = hashlib.sha256(path.read_bytes()).hexdigest()
    set_codes(database, summary, *("{%s}" % str(uuid.uuid5(uuid.UUID(UPGRADE_CODE), f"{kind} {digest}")).upper()
                                   for kind in ("product", "package")))


def set_codes(database, summary, product, package):
    query(database, f"UPDATE `Property` SET `Value` = '{product}' WHERE `Property` = 'ProductCode'")
    summary.set_string(Libmsi.Property.UUID, package)
    summary.persist()
    database.commit()


def query(database, sql):
    Libmsi.Query.new(database, sql).execute(None)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--arch", required=True, choices=pack.ARCHITECTURES)
    for name in ("exe", "icon", "out"):
        parser.add_argument(f"--{name}", required=True, type=Path)
    parser.add_argument("--menu", nargs=3, type=Path, metavar=("DLL", "MSIX", "PNG"))
    args = parser.parse_args()
    if args.menu and args.arch != "x64":
        parser.error("--menu is for the x64 installer: Windows 11 has no 32-bit edition")
    build(args.out, args.arch, args.exe, args.icon, int(os.environ["SOURCE_DATE_EPOCH"]), menu=args.menu)


if __name__ == "__main__":
    main()
