#!/usr/bin/env python3
"""Fills the winget and Scoop manifest templates with the real packages' names, hashes and the
installers' product and upgrade codes, read from the files in PACKAGES_DIR.

  write_manifests.py PACKAGES_DIR VERSION DOWNLOAD_URL HOMEPAGE

Writes PACKAGES_DIR/manifests/winget/*.yaml and PACKAGES_DIR/manifests/scoop/tandrel-pro.json.
"""
import hashlib
import pathlib
import string
import subprocess
import sys

TEMPLATES = pathlib.Path(__file__).resolve().parent / "manifests"
WINGET = ["TandrelPro.TandrelPro.yaml", "TandrelPro.TandrelPro.installer.yaml",
          "TandrelPro.TandrelPro.locale.en-US.yaml"]
SCOOP = "tandrel-pro.json"


def Sha256(path):
    return hashlib.sha256(path.read_bytes()).hexdigest().upper()


def MsiProperties(msi):
    table = subprocess.run(["msiinfo", "export", str(msi), "Property"], check=True,
                           capture_output=True, text=True).stdout
    return dict(line.rstrip("\r").split("\t", 1) for line in table.splitlines()[3:] if "\t" in line)


def main(arguments):
    if len(arguments) != 4:
        sys.exit(__doc__)
    packages, version, download_url, homepage = pathlib.Path(arguments[0]), *arguments[1:]
    base = f"TandrelPro-{version}"
    files = {"msi_x64": packages / f"{base}-x64.msi", "msi_x86": packages / f"{base}-x86.msi",
             "zip_x64": packages / f"{base}-x64.zip", "zip_x86": packages / f"{base}-x86.zip"}
    missing = [str(path) for path in files.values() if not path.is_file()]
    if missing:
        sys.exit("write_manifests.py: missing " + ", ".join(missing))
    values = {"version": version, "download_url": download_url.rstrip("/"), "homepage": homepage}
    for kind in ("msi_x64", "msi_x86"):
        properties = MsiProperties(files[kind])
        if properties.get("ProductVersion") != version:
            sys.exit(f"write_manifests.py: {files[kind]} is version {properties.get('ProductVersion')}")
        values[f"{kind}_product_code"] = properties["ProductCode"]
        values[f"{kind}_upgrade_code"] = properties["UpgradeCode"]
    for kind, path in files.items():
        values[f"{kind}_name"] = path.name
        values[f"{kind}_sha256"] = Sha256(path)
    for folder, templates in (("winget", WINGET), ("scoop", [SCOOP])):
        out = packages / "manifests" / folder
        out.mkdir(parents=True, exist_ok=True)
        for name in templates:
            text = string.Template((TEMPLATES / name).read_text(encoding="utf-8")).substitute(values)
            (out / name).write_text(text, encoding="utf-8")
            print(f"wrote {out / name}")


if __name__ == "__main__":
    main(sys.argv[1:])
