#!/usr/bin/env python3
"""Written from both targets' real packages, the manifests point every download at the folder the
package command is given and validate against the schemas and the files (check_manifests.py); a
bad address is refused and the manifests already there stay as they were.
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
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.packages = pathlib.Path(self.scratch.name)
        for folder in kPackageDirs:
            for path in pathlib.Path(folder).glob(f"TandrelPro-{kVersion}-*"):
                shutil.copy(path, self.packages)

    def tearDown(self):
        self.scratch.cleanup()

    def Run(self, script, *arguments):
        return subprocess.run([sys.executable, str(kSourceDir / script), *arguments],
                              capture_output=True, text=True)

    def Addresses(self):
        manifests = self.packages / "manifests"
        winget = manifests / "winget"
        installer = yaml.safe_load((winget / "TandrelPro.TandrelPro.installer.yaml").read_text())
        locale = yaml.safe_load((winget / "TandrelPro.TandrelPro.locale.en-US.yaml").read_text())
        scoop = json.loads((manifests / "scoop" / "tandrel-pro.json").read_text())
        urls = [entry["InstallerUrl"] for entry in installer["Installers"]]
        urls += [entry["url"] for entry in scoop["architecture"].values()]
        return sorted(urls), locale["PackageUrl"], scoop["homepage"]

    def test_TheManifestsNameTheGivenAddressesAndValidate(self):
        home = "https://github.com/someone/tandrel-pro"
        release, placeholder = f"{home}/releases/download/v{kVersion}", "https://tandrel-pro.example/"
        cases = [("placeholders", [], f"https://downloads.tandrel-pro.example/{kVersion}", placeholder),
                 ("a release's", ["--download-url", release, "--homepage", home], release, home),
                 ("a trailing slash", ["--download-url", release + "/"], release, placeholder),
                 ("a port and escapes", ["--download-url", "http://h.example:8080/a%20b"],
                  "http://h.example:8080/a%20b", placeholder)]
        for name, options, base, homepage in cases:
            with self.subTest(name):
                result = self.Run("packaging/write_manifests.py", str(self.packages), kVersion, *options)
                self.assertEqual(result.returncode, 0, result.stderr)
                files = sorted(f"{base}/TandrelPro-{kVersion}-{end}"
                               for end in ("x64.msi", "x86.msi", "x64.zip", "x86.zip"))
                self.assertEqual(self.Addresses(), (files, homepage, homepage))
                check = self.Run("tests/packaging/check_manifests.py", str(self.packages),
                                 str(kSourceDir / "packaging" / "schemas"))
                self.assertEqual(check.returncode, 0, check.stdout + check.stderr)

    def test_ABadAddressIsRefusedAndTheManifestsStayAsTheyWere(self):
        self.assertEqual(self.Run("packaging/write_manifests.py", str(self.packages), kVersion).returncode, 0)
        before = self.Addresses()
        cases = [("another scheme", "--download-url", "ftp://h.example/v1"),
                 ("a blank", "--download-url", "https://h/a b"), ("a quote", "--homepage", 'https://h/"'),
                 ("a fragment", "--download-url", "https://h/#v1"),
                 ("no host", "--download-url", "https:///v1"), ("empty", "--homepage", "")]
        for name, option, address in cases:
            with self.subTest(name):
                result = self.Run("packaging/write_manifests.py", str(self.packages), kVersion, option, address)
                self.assertEqual(result.returncode, 2, result.stdout)
                self.assertIn(f"{address!r} is not an http or https address", result.stderr)
                self.assertEqual(self.Addresses(), before)


if __name__ == "__main__":
    kSourceDir, kVersion, *kPackageDirs = sys.argv[1:5]
    kSourceDir = pathlib.Path(kSourceDir).resolve()
    del sys.argv[1:5]
    unittest.main(verbosity=2)
