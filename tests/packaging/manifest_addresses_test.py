#!/usr/bin/env python3
"""Written from both targets' real packages, the manifests point every download at the folder the
package command is given and pass check_manifests.py (the schemas, the files' hashes); a bad
address is refused and the manifests already there stay as they were.
  manifest_addresses_test.py SOURCE_DIR VERSION X64_PACKAGES_DIR X86_PACKAGES_DIR
"""
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import unittest


class ManifestAddressesTest(unittest.TestCase):
    def Run(self, script, *arguments):
        return subprocess.run([sys.executable, str(kSourceDir / script), *arguments], capture_output=True, text=True)

    def Manifests(self, packages):
        return sorted((path.name, path.read_text()) for path in (packages / "manifests").rglob("*.*"))

    def test_TheManifestsNameTheGivenAddressesOrRefuseABadOne(self):
        home = "https://github.com/someone/tandrel-pro"
        release = f"{home}/releases/download/v{kVersion}"
        cases = [("placeholders", [], f"https://downloads.tandrel-pro.example/{kVersion}", "https://tandrel-pro.example/"),
                 ("a release's", ["--download-url", release, "--homepage", home], release, home),
                 ("a trailing slash, a port", ["--download-url", "http://h.example:81/a%20b/"], "http://h.example:81/a%20b",
                  "https://tandrel-pro.example/"),
                 ("another scheme", ["--download-url", "ftp://h.example/v1"], None, None),
                 ("a blank", ["--download-url", "https://h/a b"], None, None),
                 ("a quote", ["--homepage", 'https://h/"'], None, None),
                 ("a fragment", ["--download-url", "https://h/#v1"], None, None),
                 ("no host", ["--homepage", "https:///v1"], None, None)]
        with tempfile.TemporaryDirectory() as scratch:
            packages = pathlib.Path(scratch)
            for folder in kPackageDirs:
                for path in pathlib.Path(folder).glob(f"TandrelPro-{kVersion}-*"):
                    shutil.copy(path, packages)
            for name, options, base, homepage in cases:
                with self.subTest(name):
                    before = self.Manifests(packages)
                    result = self.Run("packaging/write_manifests.py", str(packages), kVersion, *options)
                    if base is None:
                        self.assertEqual(result.returncode, 2, result.stdout)
                        self.assertIn(f"{options[1]!r} is not an http or https address", result.stderr)
                        self.assertEqual(self.Manifests(packages), before)
                        continue
                    self.assertEqual(result.returncode, 0, result.stderr)
                    text = "".join(content for _, content in self.Manifests(packages))
                    # Every address but the schemas' in the winget files' first lines.
                    addresses = set(re.findall(r"https?://[^\s\"']+", text)) - set(re.findall(r"schema=(\S+)", text))
                    self.assertEqual(addresses, {homepage} | {f"{base}/TandrelPro-{kVersion}-{end}"
                                                             for end in ("x64.msi", "x86.msi", "x64.zip", "x86.zip")})
                    check = self.Run("tests/packaging/check_manifests.py", str(packages), str(kSourceDir / "packaging/schemas"))
                    self.assertEqual(check.returncode, 0, check.stdout + check.stderr)


if __name__ == "__main__":
    kSourceDir, kVersion, *kPackageDirs = sys.argv[1:5]
    kSourceDir = pathlib.Path(kSourceDir).resolve()
    del sys.argv[1:5]
    unittest.main(verbosity=2)
