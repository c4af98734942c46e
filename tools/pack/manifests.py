"""The release's winget and Scoop manifests; tools/release runs it once SHA256SUMS is written.

    manifests.py --out DIR

Writes into DIR/winget/ the four winget manifests of the version (version,
the en-US default locale, installer, and a ja-JP locale) and DIR/scoop/quillbox.json,
from DIR/SHA256SUMS and the installers' own codes. Where the release is
published comes from the environment (SETTINGS; the defaults are placeholders
at example.org, a reserved domain), the release's date from CHANGELOG.md's
heading of the version (none while it says "Unreleased").
"""
import argparse
import json
import os
import re
import shutil
import sys
from pathlib import Path

import yaml

import msi
import pack
from msi import Libmsi

SCHEMAS = Path(__file__).with_name("schemas")
MANIFEST_VERSION = "1.12.0"
SETTINGS = {
    "QB_PACKAGE_ID": "Example.Quillbox",
    "QB_PUBLISHER": "Example Publisher",
    "QB_HOMEPAGE": "https://example.org/quillbox",
    # {version} and {file} stand for the release's version and a file's name.
    "QB_DOWNLOAD_URL": "https://example.org/quillbox/releases/{version}/{file}",
    "QB_LICENSE_URL": "https://example.org/quillbox/blob/{version}/LICENSE",
}
# Scoop's names of the architectures, and winget's, which are the file names'.
SCOOP_ARCHITECTURE = {"x64": "64bit", "x86": "32bit"}
# Settings > Apps takes both from the installer; winget needs them only where they differ.
ARP_FIELDS = {"ProductName": "DisplayName", "Manufacturer": "Publisher", "ProductVersion": "DisplayVersion"}
TEXTS = {
    "en-US": ("Puts the whole text of a file on the clipboard.",
              "Quillbox puts the whole text of a file on the Windows clipboard: drop the file on Quillbox.exe, "
              "or choose Copy text in the file's right-click menu (with the installer), then paste the text "
              "anywhere. It tells UTF-8 and UTF-16 from the file's bytes and reads other text in Windows' "
              "ANSI code page (Shift-JIS on Japanese Windows). A file it cannot copy whole is refused with a "
              "message, and the clipboard keeps what it held."),
    "ja-JP": ("ファイルのテキスト全体をクリップボードにコピーします。",
              "Quillbox は、ファイルのテキスト全体を Windows のクリップボードにコピーするツールです。"
              "ファイルを Quillbox.exe にドロップするか、右クリック メニューの「テキストをコピー」を選ぶ"
              "（インストーラーを使った場合）と、テキストがクリップボードに入ります。UTF-8 と UTF-16 は"
              "ファイルのバイトから見分け、それ以外のテキストは Windows の ANSI コード ページ（日本語の "
              "Windows では Shift-JIS）で読みます。"),
}
# The installer's right-click entry, under a key of its own, so that neither removes the other's;
# PowerShell, run by Scoop once $dir is the app's "current" folder, which stays put across updates.
SCOOP_CONTEXT = r'''
$exe = "$dir\Quillbox.exe".Replace('\', '\\')
$key = "$(if ($global) { 'HKEY_LOCAL_MACHINE' } else { 'HKEY_CURRENT_USER' })\Software\Classes\*\shell\Quillbox.Scoop"
$head = 'Windows Registry Editor Version 5.00', ''
($head + ("[$key]", '@="Copy text"', "`"MUIVerb`"=`"@$exe,-LABEL`"", "`"Icon`"=`"$exe,0`"", '"MultiSelectModel"="Single"', '', "[$key\command]", "@=`"\`"$exe\`" \`"%1\`"`"")) | Set-Content "$dir\install-context.reg" -Encoding Unicode
($head + "[-$key]") | Set-Content "$dir\uninstall-context.reg" -Encoding Unicode
'''.strip().replace("LABEL", msi.label_id()).splitlines()


def settings(environ):
    """The settings, and the names of those left at their placeholders."""
    chosen = {name: environ.get(name) or default for name, default in SETTINGS.items()}
    for name in ("QB_DOWNLOAD_URL", "QB_LICENSE_URL"):
        # A URL for every version: a release's files never replace another's.
        if "{version}" not in chosen[name]:
            sys.exit(f"manifests.py: {name} must hold {{version}}: {chosen[name]}")
    if not chosen["QB_DOWNLOAD_URL"].endswith("/{file}"):
        sys.exit("manifests.py: QB_DOWNLOAD_URL must end in /{file}, the folder holding SHA256SUMS too")
    return chosen, [name for name in SETTINGS if chosen[name] == SETTINGS[name]]


def fill(pattern, version, file=""):
    # Not str.format: a packager's URL may hold other braces.
    return pattern.replace("{version}", version).replace("{file}", file)


def release_date(changelog, version):
    m = re.search(rf"^## \[{re.escape(version)}\] - (\d{{4}}-\d\d-\d\d)$", changelog, re.M)
    return m and m.group(1)


def installer_codes(path):
    """What the installer writes to Settings > Apps, from its Property table."""
    database = Libmsi.Database.new(str(path), Libmsi.DbFlags.READONLY, None)
    names = ["ProductCode", "UpgradeCode", *ARP_FIELDS]
    query = Libmsi.Query.new(database, "SELECT `Property`, `Value` FROM `Property` WHERE " +
                             " OR ".join(f"`Property` = '{name}'" for name in names))
    query.execute(None)
    found = {}
    while record := query.fetch():
        found[record.get_string(1)] = record.get_string(2)
    return found


def schema_header(kind):
    schema = json.loads((SCHEMAS / "winget" / f"manifest.{kind}.{MANIFEST_VERSION}.json").read_text())
    return f"# yaml-language-server: $schema={schema['$id']}\n\n"


def winget(chosen, version, sums, codes, date):
    """The winget manifests: file name, text."""
    package = chosen["QB_PACKAGE_ID"]
    url = lambda name: fill(chosen["QB_DOWNLOAD_URL"], version, name)
    common = {"PackageIdentifier": package, "PackageVersion": version}
    tail = lambda kind: {"ManifestType": kind, "ManifestVersion": MANIFEST_VERSION}
    listed = {"DisplayName": "Quillbox", "Publisher": chosen["QB_PUBLISHER"], "DisplayVersion": version}
    installers = []
    for architecture in pack.ARCHITECTURES:
        code = codes[architecture]
        arp = {key: code[field] for field, key in ARP_FIELDS.items() if code[field] != listed[key]}
        installers.append({
            "Architecture": architecture, "InstallerType": "msi",
            "InstallerUrl": url(pack.msi_name(architecture)),
            "InstallerSha256": sums[pack.msi_name(architecture)].upper(),
            # The installer puts Quillbox in its own folder, whatever winget's --location says.
            "UnsupportedArguments": ["location"],
            "ProductCode": code["ProductCode"],
            "AppsAndFeaturesEntries": [{**arp, "ProductCode": code["ProductCode"], "UpgradeCode": code["UpgradeCode"]}],
        })
    for architecture in pack.ARCHITECTURES:
        installers.append({
            "Architecture": architecture, "InstallerType": "zip", "NestedInstallerType": "portable",
            "NestedInstallerFiles": [{"RelativeFilePath": "Quillbox.exe", "PortableCommandAlias": "quillbox"}],
            "InstallerUrl": url(pack.zip_name(architecture)),
            "InstallerSha256": sums[pack.zip_name(architecture)].upper(),
        })
    copyright_line = re.search(r"^Copyright .*$", (pack.ROOT / "LICENSE").read_text(encoding="utf-8"), re.M).group(0)
    short, long = TEXTS["en-US"]
    manifests = {
        f"{package}.yaml": ("version", {**common, "DefaultLocale": "en-US", **tail("version")}),
        f"{package}.installer.yaml": ("installer", {
            **common, "MinimumOSVersion": "10.0.14393.0", **({"ReleaseDate": date} if date else {}),
            "Installers": installers, **tail("installer")}),
        f"{package}.locale.en-US.yaml": ("defaultLocale", {
            **common, "PackageLocale": "en-US", "Publisher": chosen["QB_PUBLISHER"], "PackageName": "Quillbox",
            "PackageUrl": chosen["QB_HOMEPAGE"], "License": "MIT",
            "LicenseUrl": fill(chosen["QB_LICENSE_URL"], version), "Copyright": copyright_line,
            "ShortDescription": short, "Description": long, "Moniker": "quillbox",
            "Tags": ["clipboard", "text", "copy", "utf-8", "shift-jis", "context-menu"], **tail("defaultLocale")}),
        f"{package}.locale.ja-JP.yaml": ("locale", {
            **common, "PackageLocale": "ja-JP", "ShortDescription": TEXTS["ja-JP"][0],
            "Description": TEXTS["ja-JP"][1], **tail("locale")}),
    }
    return {name: schema_header(kind) + yaml.safe_dump(body, sort_keys=False, allow_unicode=True, width=1000)
            for name, (kind, body) in manifests.items()}


def scoop(chosen, version, sums):
    pattern = chosen["QB_DOWNLOAD_URL"]
    architecture = {
        SCOOP_ARCHITECTURE[a]: {"url": fill(pattern, version, pack.zip_name(a)),
                                "hash": sums[pack.zip_name(a)]} for a in pack.ARCHITECTURES}
    # Scoop puts its own $version in place of the version, and finds each zip's line in SHA256SUMS beside it.
    autoupdate = {SCOOP_ARCHITECTURE[a]: {"url": fill(pattern, "$version", pack.zip_name(a).replace(version, "$version"))}
                  for a in pack.ARCHITECTURES}
    manifest = {
        "version": version,
        "description": TEXTS["en-US"][0],
        "homepage": chosen["QB_HOMEPAGE"],
        "license": "MIT",
        "notes": ["To add Copy text to the right-click menu of files:",
                  "    reg import \"$dir\\install-context.reg\"",
                  "and to remove it again (uninstalling Quillbox does that too):",
                  "    reg import \"$dir\\uninstall-context.reg\""],
        "architecture": architecture,
        "bin": "Quillbox.exe",
        "shortcuts": [["Quillbox.exe", "Quillbox"]],
        "post_install": SCOOP_CONTEXT,
        "pre_uninstall": "if ($cmd -eq 'uninstall') { reg import \"$dir\\uninstall-context.reg\" }",
        "checkver": {"url": chosen["QB_HOMEPAGE"], "regex": r"Quillbox-([\d.]+)-win-x64\.zip"},
        "autoupdate": {"architecture": autoupdate, "hash": {"url": "$baseurl/SHA256SUMS"}},
    }
    # Scoop's buckets keep their manifests with CR LF and four blanks of indent.
    return json.dumps(manifest, indent=4, ensure_ascii=False).replace("\n", "\r\n") + "\r\n"


def write(out, chosen, date):
    version = pack.version()
    sums = {name: digest for digest, name in
            (line.split("  ") for line in (out / "SHA256SUMS").read_text(encoding="ascii").splitlines())}
    codes = {a: installer_codes(out / pack.msi_name(a)) for a in pack.ARCHITECTURES}
    for folder, files in (("winget", winget(chosen, version, sums, codes, date)),
                          ("scoop", {"quillbox.json": scoop(chosen, version, sums)})):
        # Another package identifier's files must not stay beside these: winget reads the folder whole.
        shutil.rmtree(out / folder, ignore_errors=True)
        (out / folder).mkdir()
        for name, text in files.items():
            (out / folder / name).write_text(text, encoding="utf-8", newline="")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True, type=Path)
    args = parser.parse_args()
    chosen, placeholders = settings(os.environ)
    date = release_date((pack.ROOT / "CHANGELOG.md").read_text(encoding="utf-8"), pack.version())
    if placeholders:
        print(f"release: warning: the winget and Scoop manifests hold placeholders: set {', '.join(placeholders)} "
              "(docs/packaging.md)", file=sys.stderr)
    if not date:
        print(f"release: warning: CHANGELOG.md gives {pack.version()} no date: the winget manifest has no ReleaseDate",
              file=sys.stderr)
    write(args.out, chosen, date)


if __name__ == "__main__":
    main()
