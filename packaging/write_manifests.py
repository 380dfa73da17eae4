#!/usr/bin/env python3
"""Fills the winget and Scoop manifest templates with the real packages' names, hashes and the
installers' product and upgrade codes, read from the files in PACKAGES_DIR.

  write_manifests.py PACKAGES_DIR VERSION [--download-url URL] [--homepage URL]
  write_manifests.py --check-addresses [--download-url URL] [--homepage URL]

Writes PACKAGES_DIR/manifests/winget/*.yaml and PACKAGES_DIR/manifests/scoop/tandrel-pro.json,
which name each file as URL/<file> (the folder where the release's files are published) and the
homepage; without them, placeholder addresses that no release may carry. --check-addresses
only checks the addresses, so that a package command can refuse them before it builds.
"""
import argparse
import hashlib
import pathlib
import re
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


# An address that goes into the manifests as it is: no blank, quote, backslash or fragment, which
# the YAML and JSON templates would have to escape and no download address needs.
kAddress = re.compile(r"https?://[A-Za-z0-9.-]+(:[0-9]+)?(/[A-Za-z0-9._~!$&()*+,;=:@%/-]*)?")


def PlaceholderDownloadUrl(version):
    return f"https://downloads.tandrel-pro.example/{version}"


kPlaceholderHomepage = "https://tandrel-pro.example/"


def Address(text):
    if not kAddress.fullmatch(text):
        raise argparse.ArgumentTypeError(f"{text!r} is not an http or https address "
                                         "(without blanks, quotes or #)")
    return text


def main(arguments):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("packages", type=pathlib.Path, nargs="?")
    parser.add_argument("version", nargs="?")
    parser.add_argument("--download-url", type=Address)
    parser.add_argument("--homepage", type=Address, default=kPlaceholderHomepage)
    parser.add_argument("--check-addresses", action="store_true")
    options = parser.parse_args(arguments)
    if options.check_addresses:
        return
    if options.version is None:
        parser.error("PACKAGES_DIR and VERSION are needed")
    packages, version, homepage = options.packages, options.version, options.homepage
    download_url = options.download_url or PlaceholderDownloadUrl(version)
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
