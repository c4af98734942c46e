"""Checks a release's winget and Scoop manifests (manifests.py writes them).

    check_manifests.py DIR

Validates DIR/winget/*.yaml and DIR/scoop/quillbox.json against their schemas
(schemas/: winget's 1.12.0 and Scoop's), then what the schemas cannot say and
the repositories' checks and installs would find: the file names, the same
package and version in every file, each URL naming its file of this version and
each hash its line in DIR/SHA256SUMS, the installers' codes and the names
Settings > Apps shows as the installers themselves hold them (read with
msitools' msiinfo), no Scope, the installers listed before the zips, and
Scoop's autoupdate URLs giving this version's. Prints the files checked and
every problem; exits 1 if there is one.
"""
import json
import subprocess
import sys
from pathlib import Path

import jsonschema
import yaml

import pack
from manifests import MANIFEST_VERSION, SCHEMAS

WINGET = {kind: json.loads((SCHEMAS / "winget" / f"manifest.{kind}.{MANIFEST_VERSION}.json").read_text())
          for kind in ("version", "defaultLocale", "installer", "locale")}
SCOOP = json.loads((SCHEMAS / "scoop" / "schema.json").read_text())
ORDER = [(kind, a) for kind in ("msi", "zip") for a in pack.ARCHITECTURES]
FILE_NAME = {"msi": pack.msi_name, "zip": pack.zip_name}
# The installer's property each of Settings > Apps' names comes from, and the manifest's key it defaults to.
ARP = {"DisplayName": ("ProductName", "PackageName"), "Publisher": ("Manufacturer", "Publisher"),
       "DisplayVersion": ("ProductVersion", "PackageVersion")}


def schema_problems(name, document, schema):
    # Formats are checked too (ReleaseDate's date); those jsonschema does not know are passed over.
    validator = jsonschema.Draft7Validator(schema, format_checker=jsonschema.FormatChecker())
    return [f"{name}: {'/'.join(map(str, e.absolute_path)) or '(top)'}: {e.message}"
            for e in validator.iter_errors(document)]


def msi_properties(path):
    table = subprocess.run(["msiinfo", "export", str(path), "Property"], check=True, capture_output=True,
                           text=True).stdout
    return dict(line.split("\t", 1) for line in table.splitlines()[3:])


def winget_problems(folder, version, sums, installers):
    found = []
    documents = {}
    for path in sorted(folder.iterdir()):
        text = path.read_text(encoding="utf-8")
        # The plain loader: an unquoted date becomes a date, which the schema refuses, as winget's parser may.
        document = yaml.safe_load(text)
        kind = document.get("ManifestType") if isinstance(document, dict) else None
        if kind not in WINGET:
            found.append(f"{path.name}: ManifestType {kind!r} unknown")
            continue
        if text.splitlines()[0] != f"# yaml-language-server: $schema={WINGET[kind]['$id']}":
            found.append(f"{path.name}: the first line is not the schema header of a {kind} manifest")
        # The schema takes any version; the community repository, this one.
        if document.get("ManifestVersion") != MANIFEST_VERSION:
            found.append(f"{path.name}: ManifestVersion {document.get('ManifestVersion')}, not {MANIFEST_VERSION}")
        found += schema_problems(path.name, document, WINGET[kind])
        documents[path.name] = (kind, document)
    by_kind = {kind: document for kind, document in documents.values()}
    if sorted(kind for kind, _ in documents.values()) != sorted(WINGET):
        return found + [f"winget: manifests of the types {sorted(kind for kind, _ in documents.values())}, "
                        f"not one of each of {sorted(WINGET)}"]
    package, default = by_kind["version"]["PackageIdentifier"], by_kind["version"]["DefaultLocale"]
    names = {f"{package}.yaml": "version", f"{package}.installer.yaml": "installer"}
    for name, (kind, document) in documents.items():
        if document["PackageIdentifier"] != package or document["PackageVersion"] != version:
            found.append(f"{name}: {document['PackageIdentifier']} {document['PackageVersion']}, "
                         f"not {package} version {version}")
        if kind in ("defaultLocale", "locale"):
            names[f"{package}.locale.{document['PackageLocale']}.yaml"] = kind
    if by_kind["defaultLocale"]["PackageLocale"] != default:
        found.append(f"winget: the default locale is {default}, its file's {by_kind['defaultLocale']['PackageLocale']}")
    if {name: kind for name, (kind, _) in documents.items()} != names:
        found.append(f"winget: the files are {sorted(documents)}, winget's names for them {sorted(names)}")
    entries = by_kind["installer"]["Installers"]
    if [(e.get("InstallerType"), e["Architecture"]) for e in entries] != ORDER:
        return found + [f"winget: the installers are not {ORDER}, in that order"]
    if len({e["InstallerSha256"].lower() for e in entries}) < len(entries):
        found.append("winget: two installers have one hash")
    for entry, (kind, architecture) in zip(entries, ORDER):
        file = FILE_NAME[kind](architecture)
        found += url_problems(f"winget: {file}", entry["InstallerUrl"], file, entry["InstallerSha256"], sums)
        # winget takes the installed scope from where the uninstall entry lands, which a per-user MSI does not fix.
        if "Scope" in entry or "Scope" in by_kind["installer"]:
            found.append(f"winget: {file}: Scope given")
        if kind == "msi":
            own = installers[architecture]
            [arp] = entry["AppsAndFeaturesEntries"]
            listed = {"PackageName": by_kind["defaultLocale"]["PackageName"],
                      "Publisher": by_kind["defaultLocale"]["Publisher"], "PackageVersion": version}
            given = {"ProductCode": (entry["ProductCode"], arp.get("ProductCode")),
                     "UpgradeCode": (arp.get("UpgradeCode"),),
                     **{prop: (arp.get(name, listed[key]),) for name, (prop, key) in ARP.items()}}
            for prop, values in given.items():
                if any(value != own[prop] for value in values):
                    found.append(f"winget: {file}: {prop} {values}, the installer's is {own[prop]}")
    return found


def url_problems(what, url, file, digest, sums):
    found = []
    if url.rsplit("/", 1)[-1] != file or pack.version() not in url.rsplit("/", 1)[0]:
        found.append(f"{what}: URL {url} is not of this version's {file}")
    if digest.lower() != sums.get(file):
        found.append(f"{what}: hash {digest}, SHA256SUMS says {sums.get(file)}")
    return found


def scoop_problems(folder, version, sums):
    if sorted(p.name for p in folder.iterdir()) != ["quillbox.json"]:
        return ["scoop: the folder should hold quillbox.json alone (the file's name is the app's)"]
    manifest = json.loads((folder / "quillbox.json").read_text(encoding="utf-8"))
    found = schema_problems("quillbox.json", manifest, SCOOP)
    if manifest.get("version") != version:
        found.append(f"quillbox.json: version {manifest.get('version')}, not {version}")
    for architecture, scoop_name in (("x64", "64bit"), ("x86", "32bit")):
        file, entry = pack.zip_name(architecture), manifest["architecture"][scoop_name]
        found += url_problems(f"quillbox.json: {scoop_name}", entry["url"], file, entry["hash"], sums)
        url = manifest["autoupdate"]["architecture"][scoop_name]["url"]
        # Every mention of the version is Scoop's $version, or a later version would fetch this one's files.
        if version in url or url.replace("$version", version) != entry["url"]:
            found.append(f"quillbox.json: {scoop_name}: autoupdate's {url} does not give {entry['url']}")
    return found


def problems(out):
    version = pack.version()
    sums = {name: digest for digest, name in
            (line.split("  ") for line in (out / "SHA256SUMS").read_text(encoding="ascii").splitlines())}
    installers = {a: msi_properties(out / pack.msi_name(a)) for a in pack.ARCHITECTURES}
    return winget_problems(out / "winget", version, sums, installers) + scoop_problems(out / "scoop", version, sums)


def main():
    out = Path(sys.argv[1])
    print(f"{out}: against winget's {MANIFEST_VERSION} schemas, Scoop's schema, SHA256SUMS and the installers:")
    for path in sorted([*(out / "winget").iterdir(), *(out / "scoop").iterdir()]):
        print(f"  {path.relative_to(out)}")
    found = problems(out)
    print("\n".join(f"problem: {p}" for p in found) or "no problems")
    sys.exit(1 if found else 0)


if __name__ == "__main__":
    main()
