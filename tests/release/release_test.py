#!/usr/bin/env python3
"""The release's pieces: the forge's workflows are valid against the workflow schema (by the
validator that tools/setup.sh installs, offline) and run what a release needs, and a tag's notes
are its version's changelog section, or the tag is refused with nothing written.
  release_test.py SOURCE_DIR [TEST_CLASS]
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

import yaml

kTestCommand = "bash tools/test.sh"
kChangelog = "## 2.1.0.0\n\n- New: one,\n  more.\n### Fixed\n- Two.\n\n## 2.0.0.0\n- Old.\n"


class WorkflowsTest(unittest.TestCase):
    def test_TheWorkflowsAreValidAndAWorkflowOutsideTheSchemaIsNot(self):
        folder = kSourceDir / ".github" / "workflows"
        self.assertEqual(sorted(path.name for path in folder.glob("*.yml")), ["release.yml", "test.yml"])
        release = (folder / "release.yml").read_text()
        cases = [(name, (folder / name).read_text(), 0) for name in ("release.yml", "test.yml")]
        cases += [("a misspelt key", release.replace("runs-on:", "runs_on:"), 1),
                  ("an action and a command in one step", release.replace(
                      "- uses: actions/checkout@v4", "- uses: actions/checkout@v4\n        run: true"), 1)]
        validator = shutil.which("action-validator")
        self.assertIsNotNone(validator, "action-validator is missing: run tools/setup.sh")
        for name, text, expected in cases:
            with self.subTest(name), tempfile.NamedTemporaryFile("w", suffix=".yml") as workflow:
                workflow.write(text)
                workflow.flush()
                result = subprocess.run([validator, workflow.name], capture_output=True, text=True)
                self.assertEqual(result.returncode, expected, result.stdout + result.stderr)

    def test_TheTestsRunOnEveryPushAndTheReleaseChecksTestsBuildsAndPublishesFromATag(self):
        self.assertIn(f"\n    {kTestCommand}\n", (kSourceDir / "README.md").read_text())
        # PyYAML reads the key "on" as True, as YAML 1.1 says.
        test, release = (yaml.safe_load((kSourceDir / ".github" / "workflows" / name).read_text())
                         for name in ("test.yml", "release.yml"))
        cases = [(test, {"push": {"branches": ["**"]}, "pull_request": None}, [kTestCommand]),
                 # The tag's check first: a wrong tag fails before an hour of work.
                 (release, {"push": {"tags": ["v*"]}}, [
                     'python3 tools/release_notes.py "$TAG" build/release/notes.md', kTestCommand,
                     'bash tools/package.sh --download-url "$DOWNLOAD_URL" --homepage "$HOMEPAGE"',
                     "bash tools/check-reproducible.sh"])]
        for workflow, triggers, commands in cases:
            (job,) = workflow["jobs"].values()
            runs = [step["run"] for step in job["steps"] if step.get("run") in commands]
            self.assertEqual((workflow[True], job["container"]["image"], runs), (triggers, "debian:12", commands))
        (job,) = release["jobs"].values()
        self.assertTrue(job["env"]["DOWNLOAD_URL"].endswith("/releases/download/${{ github.ref_name }}"))
        (publish,) = [step["with"] for step in job["steps"] if "action-gh-release" in step.get("uses", "")]
        self.assertEqual((publish["body_path"], publish["files"].split()), ("build/release/notes.md", [
            f"build/packages/{name}" for name in ("*.msi", "*.msi.sha256", "*.zip", "*.zip.sha256",
                                                   "manifests/winget/*.yaml", "manifests/scoop/tandrel-pro.json")]))


class ReleaseNotesTest(unittest.TestCase):
    def Run(self, tag, changelog, project="project(TandrelPro VERSION 2.1.0.0)\n"):
        with tempfile.TemporaryDirectory() as scratch:
            tree = pathlib.Path(scratch)
            (tree / "CMakeLists.txt").write_text(project)
            if changelog is not None:
                (tree / "CHANGELOG.md").write_text(changelog)
            out = tree / "notes" / "release.md"
            result = subprocess.run([sys.executable, str(kSourceDir / "tools" / "release_notes.py"), tag,
                                     str(out), "--source-dir", str(tree)], capture_output=True, text=True)
            return result.returncode, out.read_text() if out.exists() else result.stderr

    def test_TheNotesAreTheTagsSectionOrTheTagIsRefused(self):
        cases = [("the newest section", "v2.1.0.0", kChangelog, 0, "- New: one,\n  more.\n### Fixed\n- Two.\n"),
                 ("after a longer version", "v2.1.0.0", "## 2.1.0.01\n- No.\n## 2.1.0.0\n- Yes.\n", 0, "- Yes.\n"),
                 ("no v", "2.1.0.0", kChangelog, 1, "is not v<version>"),
                 ("another version", "v2.0.0.0", kChangelog, 1, "not the project's version 2.1.0.0"),
                 ("no section", "v2.1.0.0", "## 2.1.0.01\n- Other.\n", 1, "no section '## 2.1.0.0'"),
                 ("an empty section", "v2.1.0.0", "## 2.1.0.0\n\n## 2.0.0.0\n- Old.\n", 1, "is empty"),
                 ("no changelog", "v2.1.0.0", None, 1, "CHANGELOG.md")]
        for name, tag, changelog, code, text in cases:
            with self.subTest(name):
                result = self.Run(tag, changelog)
                self.assertEqual(result[0], code, result[1])
                (self.assertEqual if code == 0 else self.assertIn)(text, result[1])
        self.assertIn("names no project version", self.Run("v2.1.0.0", kChangelog, "project(X)\n")[1])

    def test_ThisCheckoutsVersionHasNotes(self):
        version = (kSourceDir / "CMakeLists.txt").read_text().split("project(TandrelPro VERSION ")[1].split()[0]
        changelog = (kSourceDir / "CHANGELOG.md").read_text()
        self.assertEqual(self.Run(f"v{version}", changelog, f"project(TandrelPro VERSION {version})")[0], 0)


if __name__ == "__main__":
    kSourceDir = pathlib.Path(sys.argv.pop(1)).resolve()
    unittest.main(verbosity=2)
