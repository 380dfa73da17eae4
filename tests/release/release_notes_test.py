#!/usr/bin/env python3
"""The release's notes come from the changelog section of the tag's version, and a tag that is
not the project's version, or whose version has no notes, is refused with nothing written.

  release_notes_test.py SOURCE_DIR
"""
import pathlib
import subprocess
import sys
import tempfile
import unittest

kCmakeLists = "cmake_minimum_required(VERSION 3.25)\nproject(TandrelPro VERSION 2.1.0.0 LANGUAGES C)\n"
kTwoSections = "# Changelog\n\n## 2.1.0.0\n\n- New: one.\n- New: two,\n  continued.\n\n## 2.0.0.0\n\n- Old.\n"


class ReleaseNotesTest(unittest.TestCase):
    source_dir = None

    def Run(self, tag, changelog, cmakelists=kCmakeLists):
        with tempfile.TemporaryDirectory() as scratch:
            tree = pathlib.Path(scratch)
            (tree / "CMakeLists.txt").write_text(cmakelists, encoding="utf-8")
            if changelog is not None:
                (tree / "CHANGELOG.md").write_text(changelog, encoding="utf-8")
            out = tree / "notes" / "release.md"
            result = self.RunScript(tag, out, tree)
            return result, (out.read_text(encoding="utf-8") if out.exists() else None)

    def RunScript(self, tag, out, tree):
        return subprocess.run([sys.executable, str(self.source_dir / "tools" / "release_notes.py"),
                               tag, str(out), "--source-dir", str(tree)],
                              capture_output=True, text=True)

    def test_TheTagsSectionBecomesTheNotesUpToTheNextSection(self):
        cases = [
            ("the newest section", kTwoSections, "- New: one.\n- New: two,\n  continued.\n"),
            ("the last section, up to the end", "## 2.1.0.0\n- Only.\n\n\n", "- Only.\n"),
            ("a longer version first", "## 2.1.0.01\n- Not this.\n## 2.1.0.0\n- This.\n", "- This.\n"),
            ("sub-headings stay in", "## 2.1.0.0\n### Fixed\n- A.\n## 2.0\n", "### Fixed\n- A.\n"),
        ]
        for name, changelog, expected in cases:
            with self.subTest(name):
                result, notes = self.Run("v2.1.0.0", changelog)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(notes, expected)

    def test_ATagWithoutItsVersionsNotesIsRefusedAndNothingIsWritten(self):
        cases = [
            ("no v", "2.1.0.0", kTwoSections, "is not v<version>"),
            ("a suffix", "v2.1.0.0-rc1", kTwoSections, "is not v<version>"),
            ("an older version", "v2.0.0.0", kTwoSections, "not the project's version 2.1.0.0"),
            ("a longer version", "v2.1.0.0.1", kTwoSections, "is not v<version>"),
            ("no section", "v2.1.0.0", "# Changelog\n\n## 2.0.0.0\n- Old.\n", "no section '## 2.1.0.0'"),
            ("only a longer version's", "v2.1.0.0", "## 2.1.0.01\n- Other.\n", "no section"),
            ("an empty section", "v2.1.0.0", "## 2.1.0.0\n\n## 2.0.0.0\n- Old.\n", "is empty"),
            ("two sections", "v2.1.0.0", "## 2.1.0.0\n- A.\n## 2.1.0.0\n- B.\n", "2 sections"),
            ("no changelog", "v2.1.0.0", None, "CHANGELOG.md"),
        ]
        for name, tag, changelog, message in cases:
            with self.subTest(name):
                result, notes = self.Run(tag, changelog)
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(message, result.stderr)
                self.assertIsNone(notes)

    def test_ProjectWithoutVersionIsRefused(self):
        result, notes = self.Run("v2.1.0.0", kTwoSections, "project(TandrelPro LANGUAGES C)\n")
        self.assertEqual(result.returncode, 1, result.stdout)
        self.assertIn("names no project version", result.stderr)
        self.assertIsNone(notes)

    def test_ThisCheckoutsVersionHasNotes(self):
        cmakelists = (self.source_dir / "CMakeLists.txt").read_text(encoding="utf-8")
        version = cmakelists.split("project(TandrelPro VERSION ", 1)[1].split()[0]
        with tempfile.TemporaryDirectory() as scratch:
            out = pathlib.Path(scratch) / "release.md"
            result = self.RunScript(f"v{version}", out, self.source_dir)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertTrue(out.read_text(encoding="utf-8").startswith("- "), out.read_text())


if __name__ == "__main__":
    ReleaseNotesTest.source_dir = pathlib.Path(sys.argv.pop(1)).resolve()
    unittest.main(verbosity=2)
