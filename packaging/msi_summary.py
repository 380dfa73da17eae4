#!/usr/bin/python3
"""Makes an installer's summary the same in every build of the same package: wixl writes the
time of the build and a random package code there.

  msi_summary.py MSI SECONDS NAMESPACE NAME

Sets the summary's times (created, last saved) to the Unix time SECONDS and its package code to
the name-based UUID, in the namespace NAMESPACE, of NAME (the version and the architecture) and
the SHA-256 of the package with those times and without a package code. Windows Installer needs a
new package code for every different package; identical packages may share one.

Run by Debian's python3, which has the bindings of the library that wixl itself writes with.
"""
import hashlib
import sys
import uuid

import gi

gi.require_version("Libmsi", "1.0")
from gi.repository import Libmsi  # noqa: E402

# A summary time is a FILETIME: 100 ns steps since 1601-01-01 UTC.
kFiletimeOfUnixEpoch = 116444736000000000
kSummaryUpdates = 3
kNoPackageCode = "{00000000-0000-0000-0000-000000000000}"


def WriteSummary(path, filetime, package_code):
    database = Libmsi.Database.new(path, Libmsi.DbFlags.TRANSACT, None)
    summary = Libmsi.SummaryInfo.new(database, kSummaryUpdates)
    for field in (Libmsi.Property.CREATED_TM, Libmsi.Property.LASTSAVED_TM):
        summary.set_filetime(field, filetime)
    summary.set_string(Libmsi.Property.UUID, package_code)
    summary.persist()
    database.commit()


def main(arguments):
    if len(arguments) != 4 or not arguments[1].isdigit():
        sys.exit(__doc__)
    path, seconds, namespace, name = arguments[0], int(arguments[1]), uuid.UUID(arguments[2]), arguments[3]
    filetime = kFiletimeOfUnixEpoch + seconds * 10_000_000
    WriteSummary(path, filetime, kNoPackageCode)
    with open(path, "rb") as package:
        content = hashlib.sha256(package.read()).hexdigest()
    WriteSummary(path, filetime, "{%s}" % str(uuid.uuid5(namespace, f"package {name} {content}")).upper())


if __name__ == "__main__":
    main(sys.argv[1:])
