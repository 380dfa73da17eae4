#!/usr/bin/env python3
"""Checks that a release tag names the project's version and writes that version's notes, its
section of CHANGELOG.md, to OUT_FILE. Refuses (exit 1, nothing written) a tag of another form or
version, and a version whose section is missing or empty.

  release_notes.py TAG OUT_FILE [--source-dir DIR]

TAG is v<version>, for example v1.0.1.0; DIR (the checkout by default) holds CMakeLists.txt,
whose project() names the version, and CHANGELOG.md, whose sections start "## <version>".
"""
import argparse
import pathlib
import re
import sys

kSourceDir = pathlib.Path(__file__).resolve().parent.parent
kVersion = r"[0-9]+(?:\.[0-9]+){1,3}"


def ProjectVersion(cmakelists):
    match = re.search(r"\bproject\(\s*TandrelPro\s+VERSION\s+(" + kVersion + r")\b", cmakelists)
    if not match:
        raise ValueError("CMakeLists.txt names no project version")
    return match.group(1)


def ReleaseNotes(changelog, version):
    """The text under "## VERSION" up to the next section, without surrounding blank lines."""
    lines = changelog.splitlines()
    heading = f"## {version}"
    starts = [index for index, line in enumerate(lines) if line.rstrip() == heading]
    if not starts:
        raise ValueError(f"CHANGELOG.md has no section {heading!r}")
    body = []
    for line in lines[starts[0] + 1:]:
        if line.startswith("## "):
            break
        body.append(line)
    notes = "\n".join(body).strip("\n")
    if not notes.strip():
        raise ValueError(f"CHANGELOG.md's section {heading!r} is empty")
    return notes + "\n"


def main(arguments):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("tag")
    parser.add_argument("out_file", type=pathlib.Path)
    parser.add_argument("--source-dir", type=pathlib.Path, default=kSourceDir)
    options = parser.parse_args(arguments)
    try:
        match = re.fullmatch("v(" + kVersion + ")", options.tag)
        if not match:
            raise ValueError(f"tag {options.tag!r} is not v<version>, for example v1.0.1.0")
        version = ProjectVersion((options.source_dir / "CMakeLists.txt").read_text(encoding="utf-8"))
        if match.group(1) != version:
            raise ValueError(f"tag {options.tag!r} is not the project's version {version}")
        notes = ReleaseNotes((options.source_dir / "CHANGELOG.md").read_text(encoding="utf-8"), version)
    except (OSError, ValueError) as error:
        sys.exit(f"release_notes.py: {error}")
    options.out_file.parent.mkdir(parents=True, exist_ok=True)
    options.out_file.write_text(notes, encoding="utf-8")
    print(f"release notes of {version}: {options.out_file} ({len(notes.splitlines())} lines)")


if __name__ == "__main__":
    main(sys.argv[1:])
