"""The release's packing part; tools/release builds (and signs) the executables
and the installers (msi.py) and runs it.

    pack.py --out DIR --x64 EXE --x86 EXE --x64-msi MSI --x86-msi MSI

Writes DIR/Quillbox-<version>-win-x64.zip and -win-x86.zip, each holding
Quillbox.exe, README.txt (docs/guide.md), README.ja.txt (docs/guide.ja.md) and
LICENSE.txt; the installers as DIR/Quillbox-<version>-win-x64.msi and -win-x86.msi;
and DIR/SHA256SUMS. The version is the program's own, from
common/Program.h; every entry's time is SOURCE_DATE_EPOCH. The same inputs give
the same bytes.

The texts are for Notepad: CR LF, and UTF-8 with a byte-order mark, without
which Notepad before Windows 10 1903 may take UTF-8 for the ANSI code page and
garble the Japanese.
"""
import argparse
import hashlib
import os
import re
import time
import unicodedata
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
ARCHITECTURES = ("x64", "x86")
# Zip times are local DOS times from 1980 on; the commit's time in UTC stands for them.
DOS_EPOCH = 315532800
IMAGE_LINE = re.compile(r"!\[([^\]]*)\]\([^)]*\)")
LINK = re.compile(r"\[([^\]]+)\]\(([^)]+)\)")
# Bold (keys, buttons) and code lose their marks; italics (the names of menus and
# settings) are quoted, so that a long name still reads as one.
MARKS = re.compile(r"\*\*([^*]+)\*\*|`([^`]+)`|\*([^*\s][^*]*)\*")


def version():
    """The version as the program shows it: 1.02.2485."""
    header = (ROOT / "common" / "Program.h").read_text(encoding="utf-8")
    part = {name: int(re.search(rf"^#define QB_VERSION_{name} (\d+)$", header, re.M).group(1))
            for name in ("MAJOR", "MINOR", "REVISION")}
    return f"{part['MAJOR']}.{part['MINOR']:02d}.{part['REVISION']:04d}"


def product_version():
    """The version as Windows Installer compares it: 1.2.2485."""
    return ".".join(str(int(part)) for part in version().split("."))


def zip_name(architecture):
    return f"Quillbox-{version()}-win-{architecture}.zip"


def msi_name(architecture):
    return f"Quillbox-{version()}-win-{architecture}.msi"


def width(text):
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)


def inline(line):
    def link(m):
        text, target = m.groups()
        # A link into the repository means nothing beside the exe; a web address does.
        return f"{text} ({target})" if re.match(r"https?:", target) else text
    def unmark(m):
        bold, code, italic = m.groups()
        return f'"{italic}"' if italic is not None else bold or code
    return MARKS.sub(unmark, LINK.sub(link, line))


def plain_text(markdown):
    """The guide as plain text: headings underlined, pictures as their descriptions, no marks."""
    out = []
    for line in markdown.splitlines():
        if line.startswith("    "):  # code, as it stands
            out.append(line)
        elif m := IMAGE_LINE.fullmatch(line.strip()):
            out.append(f"    [{m.group(1)}]")
        elif m := re.match(r"(#+) (.*)", line):
            title = inline(m.group(2))
            level = len(m.group(1))
            rule = ("=" if level <= 2 else "-") * width(title)
            out += ([rule] if level == 1 else []) + [title, rule]
        else:
            out.append(inline(line))
    text = re.sub(r"\n{3,}", "\n\n", "\n".join(out).strip("\n") + "\n")
    return notepad(text)


def notepad(text):
    return ("\ufeff" + text.replace("\r\n", "\n").replace("\n", "\r\n")).encode("utf-8")


def texts():
    read = lambda path: (ROOT / path).read_text(encoding="utf-8")
    return [("README.txt", plain_text(read("docs/guide.md"))),
            ("README.ja.txt", plain_text(read("docs/guide.ja.md"))),
            ("LICENSE.txt", notepad(read("LICENSE")))]


def write_zip(path, entries, epoch):
    stamp = time.gmtime(max(epoch, DOS_EPOCH))[:6]
    with zipfile.ZipFile(path, "w") as archive:
        for name, data in entries:
            info = zipfile.ZipInfo(name, stamp)
            info.create_system = 3  # Unix, so that the permissions below are what is read
            info.external_attr = 0o100644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True, type=Path)
    for architecture in ARCHITECTURES:
        parser.add_argument(f"--{architecture}", required=True, type=Path, help="its Quillbox.exe")
        parser.add_argument(f"--{architecture}-msi", required=True, type=Path, help="its installer")
    args = parser.parse_args()
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    args.out.mkdir(parents=True, exist_ok=True)
    for architecture in ARCHITECTURES:
        exe = getattr(args, architecture).read_bytes()
        write_zip(args.out / zip_name(architecture), [("Quillbox.exe", exe)] + texts(), epoch)
        (args.out / msi_name(architecture)).write_bytes(getattr(args, f"{architecture}_msi").read_bytes())
    sums = [f"{hashlib.sha256((args.out / name).read_bytes()).hexdigest()}  {name}\n"
            for name in [*map(zip_name, ARCHITECTURES), *map(msi_name, ARCHITECTURES)]]
    (args.out / "SHA256SUMS").write_text("".join(sums), encoding="ascii", newline="\n")


if __name__ == "__main__":
    main()
