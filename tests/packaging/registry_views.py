#!/usr/bin/env python3
"""The package tests' registry rows, from the files that `reg export` writes (UTF-16).

  registry_views.py rows EXPORT...
      every row of the files as "KEY | DATA" (a key alone as "KEY |"), sorted, with the view's
      part of the path (Wow6432Node) taken out so that both views read alike.
  registry_views.py both ROWS64 ROWS32 LIBRARY64 LIBRARY32 OUT64 OUT32
      both views as regsvr32 leaves them when the i686 library at LIBRARY32 is registered by the
      32-bit regsvr32 and then the x64 library at LIBRARY64 by the 64-bit one, whose rows of each
      view are ROWS64 and ROWS32 (measured). The i686 registration writes the 64-bit view's rows
      naming LIBRARY32, its folder and "win32" instead; in the 32-bit view, and in the 64-bit one
      under the keys that the x64 registration shows in both views (shared keys, like TypeLib),
      where the x64 registration writes the same name afterwards its value stays.
"""
import ntpath
import sys


def Rows(paths):
    rows = set()
    for path in paths:
        with open(path, encoding="utf-16") as f:
            key = None
            for line in f.read().splitlines():
                if line.startswith("["):
                    key = line.strip("[]").replace("\\Wow6432Node", "")
                    rows.add(f"{key} |")
                elif key and "=" in line:
                    rows.add(f"{key} | {line}")
    return rows


def Escaped(text):
    return text.replace("\\", "\\\\")


def Name(row):
    """The key and the value's name of a row."""
    key, _, data = row.partition(" | ")
    return key, data.split("=", 1)[0]


def Root(row):
    """The registered key a row belongs to: a ProgID, or CLSID, TypeLib or Interface and a GUID."""
    parts = Name(row)[0].split("\\")
    return "\\".join(parts[:5] if parts[3] in ("CLSID", "TypeLib", "Interface") else parts[:4])


def BothViews(rows64, rows32, library64, library32):
    replacements = [(Escaped(library64), Escaped(library32)),
                    (Escaped(ntpath.dirname(library64) + "\\"), Escaped(ntpath.dirname(library32) + "\\"))]
    i686 = set()
    for row in rows64:
        row = row.replace("\\0\\win64 |", "\\0\\win32 |")
        for old, new in replacements:
            row = row.replace(old, new)
        i686.add(row)
    shared = {Root(row) for row in rows64} & {Root(row) for row in rows32}

    def After(rows, earlier):
        names = {Name(row) for row in rows}
        return rows | {row for row in earlier if Name(row) not in names}
    return After(rows64, {row for row in i686 if Root(row) in shared}), After(rows32, i686)


def main(arguments):
    if arguments[:1] == ["rows"]:
        print("\n".join(sorted(Rows(arguments[1:]))))
    elif arguments[:1] == ["both"] and len(arguments) == 7:
        def Read(path):
            with open(path, encoding="utf-8") as f:
                return set(f.read().splitlines())
        views = BothViews(Read(arguments[1]), Read(arguments[2]), *arguments[3:5])
        for rows, path in zip(views, arguments[5:]):
            with open(path, "w", encoding="utf-8") as f:
                f.write("".join(row + "\n" for row in sorted(rows)))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
