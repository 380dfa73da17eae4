#!/usr/bin/env python3
"""Writes an installer's registry rows for the automation class (a WiX include file).

The class's rows come from the library's own registry script, so that the package writes exactly
what DllRegisterServer writes; the type library's and the interface's rows are the ones that
RegisterTypeLib adds for them. Each registry view gets the rows that its own regsvr32 writes
for its own library:

  x64  ClassRows64, the 64-bit view: the x64 library (file BackendFile in INSTALLDIR), and the
       type library's key, which both views share, with both libraries' entries;
       ClassRows32, the 32-bit view: the i686 library (file Backend32File in INSTALLDIR32).
  x86  ClassRows32, the only view: the i686 library (file BackendFile in INSTALLDIR).

  class_rows.py SCRIPT LIBID LIBRARY_VERSION LIBRARY_HELP IID INTERFACE_NAME x64|x86 OUT
"""
import re
import sys
from xml.sax.saxutils import quoteattr

# The system's marshaler for automation interfaces.
AUTOMATION_MARSHALER = "{00020424-0000-0000-C000-000000000046}"
# RegisterTypeLib records the library's flags with "has a disk image" added.
LIBRARY_FLAGS = "8"
# Where a row names the library; filled in for each view.
MODULE_MARK = "\0module\0"

# Tokens stand apart by white space; a block opens with a token that is exactly "{".
TOKEN = re.compile(r"\s*(?:'((?:[^']|'')*)'|(\S+))")


class ScriptError(Exception):
    pass


def Tokens(text):
    position = 0
    while text[position:].strip():
        match = TOKEN.match(text, position)
        if not match:
            raise ScriptError(f"unreadable text at offset {position}")
        position = match.end()
        quoted, word = match.groups()
        if quoted is not None:
            yield ("word", quoted.replace("''", "'"))
        else:
            yield ("mark" if word in ("{", "}", "=") else "word", word)


class Reader:
    """Reads the script's entries into (key path, value name or None, value) rows and the list
    of keys that the package owns (removed with everything below them)."""

    def __init__(self, text):
        self.tokens = list(Tokens(text))
        self.position = 0
        self.values = []  # (key, name, value); name None is the default value
        self.keys = []    # (key, marker): "*" owned, "+" to create, None left alone

    def Next(self):
        if self.position >= len(self.tokens):
            raise ScriptError("the script ends inside a block")
        token = self.tokens[self.position]
        self.position += 1
        return token

    def Peek(self):
        return self.tokens[self.position] if self.position < len(self.tokens) else (None, None)

    def Data(self):
        kind, letter = self.Next()
        if letter.lower() != "s":
            raise ScriptError(f"only text values can be installed, not '{letter}'")
        kind, data = self.Next()
        if kind != "word":
            raise ScriptError("a value's data is missing")
        for variable in re.findall(r"%(\w*)%", data):
            if variable.upper() != "MODULE":
                raise ScriptError(f"unknown variable %{variable}%")
        # Brackets are Windows Installer's property references; the script's text is literal.
        data = re.sub(r"[\[\]]", lambda bracket: f"[\\{bracket.group()}]", data)
        return re.sub(r"%MODULE%", MODULE_MARK, data, flags=re.IGNORECASE)

    def Block(self, parent, parent_foreign):
        if self.Next() != ("mark", "{"):
            raise ScriptError(f"'{{' expected after {parent}")
        while self.Peek() != ("mark", "}"):
            kind, name = self.Next()
            if name.lower() == "val":
                value_name = self.Next()[1]
                if self.Next() != ("mark", "="):
                    raise ScriptError(f"'=' expected after the value {value_name}")
                self.values.append((parent, value_name, self.Data()))
                continue
            keep = False
            while name.lower() in ("forceremove", "noremove"):
                keep = keep or name.lower() == "noremove"
                kind, name = self.Next()
            key = f"{parent}\\{name}" if parent else name
            # A key that the script never deletes is not ours; the first key below it is.
            self.keys.append((key, None if keep else "*" if parent_foreign else "+"))
            if self.Peek() == ("mark", "="):
                self.Next()
                self.values.append((key, None, self.Data()))
            if self.Peek() == ("mark", "{"):
                self.Block(key, keep)
        self.Next()

    def Read(self):
        while self.position < len(self.tokens):
            kind, root = self.Next()
            if root.upper() not in ("HKCR", "HKEY_CLASSES_ROOT"):
                raise ScriptError(f"the package writes HKCR only, not {root}")
            self.Block("", True)
        return self


def TypeLibraryRows(libid, version, help_text, platforms, help_dir):
    """platforms: (system kind key, library file) for each library recorded in this view."""
    base = f"TypeLib\\{libid}"
    values = [(f"{base}\\{version}", None, help_text),
              (f"{base}\\{version}\\FLAGS", None, LIBRARY_FLAGS)]
    values += [(f"{base}\\{version}\\0\\{kind}", None, module) for kind, module in platforms]
    values.append((f"{base}\\{version}\\HELPDIR", None, help_dir))
    return [(base, "*")], values


def InterfaceRows(iid, name, libid, version):
    base = f"Interface\\{iid}"
    values = [(base, None, name),
              (f"{base}\\ProxyStubClsid", None, AUTOMATION_MARSHALER),
              (f"{base}\\ProxyStubClsid32", None, AUTOMATION_MARSHALER),
              (f"{base}\\TypeLib", None, libid),
              (f"{base}\\TypeLib", "Version", version)]
    return [(base, "*")], values


def Component(component_id, win64, keys, values):
    """One component: its first value is its key path; owned keys are created and removed whole
    ("*"), other keys without values of their own are created ("+")."""
    lines = [f'<Component Id="{component_id}" Guid="*" Win64="{"yes" if win64 else "no"}">']
    with_values = {key for key, _, _ in values}
    for index, (key, name, value) in enumerate(values):
        name_attribute = f" Name={quoteattr(name)}" if name is not None else ""
        key_path = ' KeyPath="yes"' if index == 0 else ""
        lines.append(f'  <RegistryValue Root="HKCR" Key={quoteattr(key)}{name_attribute} '
                     f'Type="string" Value={quoteattr(value)}{key_path} />')
    for key, marker in keys:
        if marker == "*" or marker == "+" and key not in with_values:
            lines.append(f'  <RegistryValue Root="HKCR" Key={quoteattr(key)} Name="{marker}" '
                         f'Type="string" Value="" />')
    lines.append("</Component>")
    return lines


# Per layout: (component, 64-bit view, library file, its folder, the type library's entries by
# system kind, or None where another component writes the shared type library key). Each
# component lives in its library's folder, so that a 32-bit component never sits in a 64-bit one.
# 64-bit Windows keeps one TypeLib key for both views (it is not redirected), so one component
# alone writes it: two would fight over its help directory.
LAYOUTS = {
    "x64": [("ClassRows64", True, "BackendFile", "INSTALLDIR",
             [("win32", "[#Backend32File]"), ("win64", "[#BackendFile]")]),
            ("ClassRows32", False, "Backend32File", "INSTALLDIR32", None)],
    "x86": [("ClassRows32", False, "BackendFile", "INSTALLDIR", [("win32", "[#BackendFile]")])],
}


def ViewRows(reader, libid, version, help_text, iid, interface_name, module, folder, platforms):
    keys = list(reader.keys)
    values = [(key, name, value.replace(MODULE_MARK, module)) for key, name, value in reader.values]
    if platforms is not None:
        library_keys, library_values = TypeLibraryRows(libid, version, help_text, platforms, folder)
        keys += library_keys
        values += library_values
    interface_keys, interface_values = InterfaceRows(iid, interface_name, libid, version)
    return keys + interface_keys, values + interface_values


def main(arguments):
    if len(arguments) != 8 or arguments[6] not in LAYOUTS:
        sys.exit(__doc__)
    script, libid, version, help_text, iid, interface_name, layout, out = arguments
    with open(script, encoding="utf-8-sig") as f:
        reader = Reader(f.read()).Read()
    lines = ['<?xml version="1.0" encoding="utf-8"?>',
             f"<!-- Written by class_rows.py from {script.rsplit('/', 1)[-1]}; do not edit. -->",
             "<Include>"]
    for component, win64, file_id, folder, platforms in LAYOUTS[layout]:
        keys, values = ViewRows(reader, libid, version, help_text, iid, interface_name,
                                f"[#{file_id}]", f"[{folder}]", platforms)
        lines.append(f'<DirectoryRef Id="{folder}">')
        lines += Component(component, win64, keys, values)
        lines.append("</DirectoryRef>")
    lines.append("</Include>")
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    try:
        main(sys.argv[1:])
    except ScriptError as error:
        sys.exit(f"class_rows.py: {sys.argv[1]}: {error}")
