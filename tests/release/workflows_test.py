#!/usr/bin/env python3
"""The forge's workflows: each is valid against the workflow schema (checked by the validator
that tools/setup.sh installs, offline), the test workflow runs the README's test command on
every push and pull request, and the release workflow makes a complete release from a tag.

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


def Steps(workflow):
    return [step for job in workflow["jobs"].values() for step in job["steps"]]


def RunLines(workflow):
    return [step["run"] for step in Steps(workflow) if "run" in step]


class WorkflowsTest(unittest.TestCase):
    source_dir = None

    @classmethod
    def setUpClass(cls):
        cls.folder = cls.source_dir / ".github" / "workflows"
        cls.validator = shutil.which("action-validator")
        # PyYAML reads the key "on" as True, as YAML 1.1 says.
        cls.workflows = {path.name: yaml.safe_load(path.read_text(encoding="utf-8"))
                         for path in sorted(cls.folder.glob("*.yml"))}

    def Validate(self, path):
        self.assertIsNotNone(self.validator, "action-validator is missing: run tools/setup.sh")
        return subprocess.run([self.validator, str(path)], capture_output=True, text=True)

    def test_EveryWorkflowIsValidAgainstTheSchema(self):
        self.assertEqual(sorted(self.workflows), ["release.yml", "test.yml"])
        for name in self.workflows:
            with self.subTest(name):
                result = self.Validate(self.folder / name)
                self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_TheValidatorRefusesAWorkflowOutsideTheSchema(self):
        text = (self.folder / "release.yml").read_text(encoding="utf-8")
        cases = [("a misspelt key", "runs-on:", "runs_on:"),
                 ("a step with two actions", "- uses: actions/checkout@v4",
                  "- uses: actions/checkout@v4\n        run: true")]
        for name, old, new in cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as scratch:
                self.assertIn(old, text)
                broken = pathlib.Path(scratch) / "release.yml"
                broken.write_text(text.replace(old, new, 1), encoding="utf-8")
                result = self.Validate(broken)
                self.assertNotEqual(result.returncode, 0, result.stdout)

    def test_TheTestWorkflowRunsTheReadmesTestCommandOnEveryPushAndPullRequest(self):
        readme = (self.source_dir / "README.md").read_text(encoding="utf-8")
        self.assertIn(f"\n    {kTestCommand}\n", readme)
        workflow = self.workflows["test.yml"]
        self.assertEqual(sorted(workflow[True]), ["pull_request", "push"])
        self.assertEqual(workflow[True]["push"], {"branches": ["**"]})
        self.assertIn(kTestCommand, RunLines(workflow))

    def test_TheReleaseWorkflowChecksTestsBuildsAndPublishesFromATag(self):
        workflow = self.workflows["release.yml"]
        self.assertEqual(workflow[True], {"push": {"tags": ["v*"]}})
        (job,) = workflow["jobs"].values()
        self.assertEqual(job["container"]["image"], "debian:12")
        lines = RunLines(workflow)
        # In this order: the tag's check first, so that a wrong tag fails before an hour of work.
        expected = ['python3 tools/release_notes.py "$TAG" build/release/notes.md', kTestCommand,
                    'bash tools/package.sh --download-url "$DOWNLOAD_URL" --homepage "$HOMEPAGE"',
                    "bash tools/check-reproducible.sh"]
        self.assertEqual([line for line in lines if line in expected], expected)
        self.assertEqual(job["env"]["DOWNLOAD_URL"], "${{ github.server_url }}/${{ github.repository }}"
                         "/releases/download/${{ github.ref_name }}")
        (publish,) = [step for step in job["steps"] if "action-gh-release" in step.get("uses", "")]
        self.assertEqual(publish["with"]["body_path"], "build/release/notes.md")
        self.assertTrue(publish["with"]["fail_on_unmatched_files"])
        files = publish["with"]["files"].split()
        for asset in ["*.msi", "*.msi.sha256", "*.zip", "*.zip.sha256"]:
            self.assertIn(f"build/packages/{asset}", files)
        self.assertIn("build/packages/manifests/winget/*.yaml", files)
        self.assertIn("build/packages/manifests/scoop/tandrel-pro.json", files)


if __name__ == "__main__":
    WorkflowsTest.source_dir = pathlib.Path(sys.argv.pop(1)).resolve()
    unittest.main(verbosity=2)
