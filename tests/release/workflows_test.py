#!/usr/bin/env python3
"""The forge's workflows are valid against the workflow schema (checked offline by the validator
that tools/setup.sh installs), the test workflow runs the README's test command on every push and
pull request, and the release workflow goes from a tag to published files.
  workflows_test.py SOURCE_DIR
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

import yaml

kTestCommand = "bash tools/test.sh"


class WorkflowsTest(unittest.TestCase):
    def setUp(self):
        self.folder = kSourceDir / ".github" / "workflows"
        # PyYAML reads the key "on" as True, as YAML 1.1 says.
        self.workflows = {path.name: yaml.safe_load(path.read_text()) for path in self.folder.glob("*.yml")}

    def Validate(self, path):
        validator = shutil.which("action-validator")
        self.assertIsNotNone(validator, "action-validator is missing: run tools/setup.sh")
        return subprocess.run([validator, str(path)], capture_output=True, text=True)

    def RunLines(self, name):
        jobs = self.workflows[name]["jobs"].values()
        return [step["run"] for job in jobs for step in job["steps"] if "run" in step]

    def test_TheWorkflowsAreValidAndAWorkflowOutsideTheSchemaIsNot(self):
        self.assertEqual(sorted(self.workflows), ["release.yml", "test.yml"])
        release = (self.folder / "release.yml").read_text()
        cases = [(name, (self.folder / name).read_text(), 0) for name in sorted(self.workflows)]
        cases += [("a misspelt key", release.replace("runs-on:", "runs_on:"), 1),
                  ("a step with an action and a command", release.replace(
                      "- uses: actions/checkout@v4", "- uses: actions/checkout@v4\n        run: true"), 1)]
        for name, text, expected in cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as scratch:
                (pathlib.Path(scratch) / "workflow.yml").write_text(text)
                result = self.Validate(pathlib.Path(scratch) / "workflow.yml")
                self.assertEqual(result.returncode, expected, result.stdout + result.stderr)

    def test_TheTestWorkflowRunsTheReadmesTestCommandOnEveryPushAndPullRequest(self):
        self.assertIn(f"\n    {kTestCommand}\n", (kSourceDir / "README.md").read_text())
        self.assertEqual(self.workflows["test.yml"][True],
                         {"push": {"branches": ["**"]}, "pull_request": None})
        self.assertIn(kTestCommand, self.RunLines("test.yml"))

    def test_TheReleaseWorkflowChecksTheTagTestsBuildsAndPublishes(self):
        workflow = self.workflows["release.yml"]
        (job,) = workflow["jobs"].values()
        self.assertEqual((workflow[True], job["container"]["image"]),
                         ({"push": {"tags": ["v*"]}}, "debian:12"))
        # The tag's check first: a wrong tag fails before an hour of work.
        expected = ['python3 tools/release_notes.py "$TAG" build/release/notes.md', kTestCommand,
                    'bash tools/package.sh --download-url "$DOWNLOAD_URL" --homepage "$HOMEPAGE"',
                    "bash tools/check-reproducible.sh"]
        self.assertEqual([line for line in self.RunLines("release.yml") if line in expected], expected)
        self.assertEqual(job["env"]["DOWNLOAD_URL"], "${{ github.server_url }}/${{ github.repository }}"
                                                     "/releases/download/${{ github.ref_name }}")
        (publish,) = [step["with"] for step in job["steps"] if "action-gh-release" in step.get("uses", "")]
        self.assertEqual((publish["body_path"], publish["fail_on_unmatched_files"]),
                         ("build/release/notes.md", True))
        self.assertEqual(publish["files"].split(), [f"build/packages/{name}" for name in (
            "*.msi", "*.msi.sha256", "*.zip", "*.zip.sha256", "manifests/winget/*.yaml",
            "manifests/scoop/tandrel-pro.json")])


if __name__ == "__main__":
    kSourceDir = pathlib.Path(sys.argv.pop(1)).resolve()
    unittest.main(verbosity=2)
