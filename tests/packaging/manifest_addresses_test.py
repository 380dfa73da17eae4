#!/usr/bin/env python3
"""The manifests name the addresses that the package command is given, and the hashes of the very
files there: written from the real packages of both targets, they point every download at the
given folder, validate against the published schemas and match the files. A bad address is
refused before anything is written, and the manifests already there stay as they were.

  manifest_addresses_test.py SOURCE_DIR VERSION X64_PACKAGES_DIR X86_PACKAGES_DIR
"""
import json
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

import yaml


class ManifestAddressesTest(unittest.TestCase):
    source_dir = version = None
    package_dirs = []

    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.packages = pathlib.Path(self.scratch.name) / "packages"
        self.packages.mkdir()
        for folder in self.package_dirs:
            for path in folder.glob(f"TandrelPro-{self.version}-*"):
                shutil.copy(path, self.packages)
        self.names = {f"{kind}_{arch}": f"TandrelPro-{self.version}-{arch}.{kind}"
                      for kind in ("msi", "zip") for arch in ("x64", "x86")}

    def tearDown(self):
        self.scratch.cleanup()

    def WriteManifests(self, *options):
        return subprocess.run([sys.executable, str(self.source_dir / "packaging" / "write_manifests.py"),
                               str(self.packages), self.version, *options], capture_output=True, text=True)

    def Manifests(self):
        winget = self.packages / "manifests" / "winget"
        installer = yaml.safe_load((winget / "TandrelPro.TandrelPro.installer.yaml").read_text())
        locale = yaml.safe_load((winget / "TandrelPro.TandrelPro.locale.en-US.yaml").read_text())
        scoop = json.loads((self.packages / "manifests" / "scoop" / "tandrel-pro.json").read_text())
        return installer, locale, scoop

    def test_TheManifestsNameTheGivenAddressesAndValidate(self):
        release = "https://github.com/someone/tandrel-pro/releases/download/v" + self.version
        cases = [
            ("placeholders without options", [],
             f"https://downloads.tandrel-pro.example/{self.version}", "https://tandrel-pro.example/"),
            ("a release's addresses", ["--download-url", release, "--homepage", "https://github.com/someone/tandrel-pro"],
             release, "https://github.com/someone/tandrel-pro"),
            ("a folder with a trailing slash", ["--download-url", release + "/"],
             release, "https://tandrel-pro.example/"),
            ("a port and escapes", ["--download-url", "http://files.example:8080/a%20b/x-1_2"],
             "http://files.example:8080/a%20b/x-1_2", "https://tandrel-pro.example/"),
        ]
        for name, options, base, homepage in cases:
            with self.subTest(name):
                result = self.WriteManifests(*options)
                self.assertEqual(result.returncode, 0, result.stderr)
                installer, locale, scoop = self.Manifests()
                urls = {entry["Architecture"]: entry["InstallerUrl"] for entry in installer["Installers"]}
                self.assertEqual(urls, {"x64": f"{base}/{self.names['msi_x64']}",
                                        "x86": f"{base}/{self.names['msi_x86']}"})
                self.assertEqual({arch: entry["url"] for arch, entry in scoop["architecture"].items()},
                                 {"64bit": f"{base}/{self.names['zip_x64']}",
                                  "32bit": f"{base}/{self.names['zip_x86']}"})
                self.assertEqual((locale["PackageUrl"], scoop["homepage"]), (homepage, homepage))
                check = subprocess.run([sys.executable, str(self.source_dir / "tests" / "packaging" / "check_manifests.py"),
                                        str(self.packages), str(self.source_dir / "packaging" / "schemas")],
                                       capture_output=True, text=True)
                self.assertEqual(check.returncode, 0, check.stdout + check.stderr)

    def test_ABadAddressIsRefusedAndTheManifestsStayAsTheyWere(self):
        self.assertEqual(self.WriteManifests().returncode, 0)
        before = self.Manifests()
        cases = [
            ("another scheme", ["--download-url", "ftp://files.example/v1"], "'ftp://files.example/v1'"),
            ("a blank", ["--download-url", "https://files.example/a b"], "'https://files.example/a b'"),
            ("a quote", ["--homepage", 'https://x.example/"'], "https://x.example/"),
            ("a fragment", ["--download-url", "https://files.example/#v1"], "#v1"),
            ("no host", ["--download-url", "https:///v1"], "'https:///v1'"),
            ("empty", ["--download-url", ""], "''"),
            ("no value", ["--download-url"], "expected one argument"),
        ]
        for name, options, message in cases:
            with self.subTest(name):
                result = self.WriteManifests(*options)
                self.assertEqual(result.returncode, 2, result.stdout)
                self.assertIn(message, result.stderr)
                self.assertEqual(self.Manifests(), before)


if __name__ == "__main__":
    source, ManifestAddressesTest.version, *folders = sys.argv[1:5]
    del sys.argv[1:5]
    ManifestAddressesTest.source_dir = pathlib.Path(source).resolve()
    ManifestAddressesTest.package_dirs = [pathlib.Path(folder) for folder in folders]
    unittest.main(verbosity=2)
