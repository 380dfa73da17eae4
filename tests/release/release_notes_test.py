#!/usr/bin/env python3
"""A release's notes are the changelog section of the tag's version; a tag of another version,
or whose version has no notes, is refused with nothing written.  release_notes_test.py SOURCE_DIR
"""
import pathlib
import subprocess
import sys
import tempfile
import unittest

kProject = "project(TandrelPro VERSION 2.1.0.0 LANGUAGES C)\n"
kChangelog = ("# Changelog\n\n## 2.1.0.0\n\n- New: one,\n  continued.\n### Fixed\n- Two.\n\n"
              "## 2.0.0.0\n- Old.\n")


class ReleaseNotesTest(unittest.TestCase):
    def Run(self, tag, changelog, project=kProject, tree=None):
        with tempfile.TemporaryDirectory() as scratch:
            scratch = pathlib.Path(scratch)
            if tree is None:
                tree = scratch
                (tree / "CMakeLists.txt").write_text(project)
                if changelog is not None:
                    (tree / "CHANGELOG.md").write_text(changelog)
            out = scratch / "notes" / "release.md"
            script = kSourceDir / "tools" / "release_notes.py"
            result = subprocess.run([sys.executable, str(script), tag, str(out), "--source-dir", str(tree)],
                                    capture_output=True, text=True)
            return result, out.read_text() if out.exists() else None

    def test_TheNotesAreTheTagsSectionUpToTheNextOne(self):
        cases = [("the newest section", kChangelog, "- New: one,\n  continued.\n### Fixed\n- Two.\n"),
                 ("the last section", "## 2.1.0.0\n- Only.\n\n", "- Only.\n"),
                 ("after a longer version", "## 2.1.0.01\n- No.\n## 2.1.0.0\n- Yes.\n", "- Yes.\n")]
        for name, changelog, expected in cases:
            with self.subTest(name):
                result, notes = self.Run("v2.1.0.0", changelog)
                self.assertEqual((result.returncode, notes), (0, expected), result.stderr)

    def test_ATagWithoutItsVersionsNotesIsRefusedAndNothingIsWritten(self):
        cases = [("no v", "2.1.0.0", kChangelog, kProject, "is not v<version>"),
                 ("another version", "v2.0.0.0", kChangelog, kProject, "not the project's version 2.1.0.0"),
                 ("no project version", "v2.1.0.0", kChangelog, "project(X)\n", "no project version"),
                 ("no section", "v2.1.0.0", "## 2.1.0.01\n- Other.\n", kProject, "no section '## 2.1.0.0'"),
                 ("an empty section", "v2.1.0.0", "## 2.1.0.0\n\n## 2.0.0.0\n- Old.\n", kProject, "is empty"),
                 ("no changelog", "v2.1.0.0", None, kProject, "CHANGELOG.md")]
        for name, tag, changelog, project, message in cases:
            with self.subTest(name):
                result, notes = self.Run(tag, changelog, project)
                self.assertEqual((result.returncode, notes), (1, None), result.stdout)
                self.assertIn(message, result.stderr)

    def test_ThisCheckoutsVersionHasNotes(self):
        project = (kSourceDir / "CMakeLists.txt").read_text()
        version = project.split("project(TandrelPro VERSION ")[1].split()[0]
        result, notes = self.Run(f"v{version}", None, tree=kSourceDir)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(notes.startswith("- "), notes)


if __name__ == "__main__":
    kSourceDir = pathlib.Path(sys.argv.pop(1)).resolve()
    unittest.main(verbosity=2)
