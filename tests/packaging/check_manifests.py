#!/usr/bin/env python3
"""Checks the written manifests: each is valid against its published schema, and every hash,
name, version and product code in them is that of the package files beside them.

  check_manifests.py PACKAGES_DIR SCHEMA_DIR
"""
import hashlib
import json
import pathlib
import subprocess
import sys

import jsonschema
import yaml

WINGET_SCHEMAS = {"version": "manifest.version.1.10.0.json",
                  "installer": "manifest.installer.1.10.0.json",
                  "defaultLocale": "manifest.defaultLocale.1.10.0.json"}

# A winget architecture and the platform that an installer built for it names.
MSI_PLATFORMS = {"x64": "x64", "x86": "Intel"}

failures = []


def Check(description, condition):
    print(("ok   " if condition else "FAIL ") + description)
    if not condition:
        failures.append(description)


def Validate(name, document, schema_file):
    schema = json.loads(schema_file.read_text(encoding="utf-8"))
    errors = sorted(jsonschema.Draft7Validator(schema).iter_errors(document), key=str)
    Check(f"{name} is valid against {schema_file.name}" +
          "".join(f"\n     {list(e.absolute_path)}: {e.message}" for e in errors), not errors)


def Sha256(path):
    return hashlib.sha256(path.read_bytes()).hexdigest()


def CheckFile(packages, what, url, sha256):
    path = packages / url.rsplit("/", 1)[-1]
    Check(f"{what} names a file that exists: {path.name}", path.is_file())
    if path.is_file():
        Check(f"{what} hash is the file's", sha256.lower() == Sha256(path))
        recorded = (packages / (path.name + ".sha256")).read_text().split()[0]
        Check(f"{what} hash is the .sha256 file's", sha256.lower() == recorded)
    return path


def main(arguments):
    if len(arguments) != 2:
        sys.exit(__doc__)
    packages, schemas = map(pathlib.Path, arguments)
    winget = {}
    for path in sorted((packages / "manifests" / "winget").glob("*.yaml")):
        document = yaml.safe_load(path.read_text(encoding="utf-8"))
        kind = document.get("ManifestType")
        Check(f"{path.name} is a known kind of manifest ({kind})", kind in WINGET_SCHEMAS)
        if kind in WINGET_SCHEMAS:
            Validate(path.name, document, schemas / WINGET_SCHEMAS[kind])
            winget[kind] = document
    Check("the three winget manifests are there", sorted(winget) == sorted(WINGET_SCHEMAS))
    versions = {document["PackageVersion"] for document in winget.values()}
    Check(f"the winget manifests agree on one version {versions}", len(versions) == 1)

    installer = winget.get("installer", {"Installers": []})
    architectures = [entry["Architecture"] for entry in installer["Installers"]]
    Check(f"winget offers an installer for each architecture {architectures}",
          sorted(architectures) == sorted(MSI_PLATFORMS))
    for entry in installer["Installers"]:
        what = f"winget {entry['Architecture']} installer"
        msi = CheckFile(packages, what, entry["InstallerUrl"], entry["InstallerSha256"])
        if msi.is_file():
            table = subprocess.run(["msiinfo", "export", str(msi), "Property"], check=True,
                                   capture_output=True, text=True).stdout
            properties = dict(l.rstrip("\r").split("\t", 1) for l in table.splitlines() if "\t" in l)
            summary = subprocess.run(["msiinfo", "suminfo", str(msi)], check=True,
                                     capture_output=True, text=True).stdout
            platform = next((l.split(": ", 1)[1].split(";")[0] for l in summary.splitlines()
                             if l.startswith("Template: ")), None)
            Check(f"{what} is built for {platform}", platform == MSI_PLATFORMS.get(entry["Architecture"]))
            codes = [entry.get("ProductCode")] + [e.get("ProductCode") for e in entry.get("AppsAndFeaturesEntries", [])]
            Check(f"{what}: the product codes are the installer's", set(codes) == {properties["ProductCode"]})
            upgrade_codes = {e.get("UpgradeCode") for e in entry.get("AppsAndFeaturesEntries", [])}
            Check(f"{what}: the upgrade code is the installer's", upgrade_codes == {properties["UpgradeCode"]})
            Check(f"{what}: the version is the installer's", properties["ProductVersion"] in versions)

    scoop_path = packages / "manifests" / "scoop" / "tandrel-pro.json"
    scoop = json.loads(scoop_path.read_text(encoding="utf-8"))
    Validate(scoop_path.name, scoop, schemas / "scoop-schema.json")
    Check("the Scoop manifest's version is winget's", scoop["version"] in versions)
    for architecture, entry in scoop["architecture"].items():
        CheckFile(packages, f"Scoop {architecture}", entry["url"], entry["hash"])

    print(f"{len(failures)} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main(sys.argv[1:])
