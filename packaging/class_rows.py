#!/usr/bin/env python3
"""Writes the installer's registry rows for the automation class (a WiX include file).

The class's rows come from the library's own registry script, so that the package writes exactly
what DllRegisterServer writes; the type library's and the interface's rows are the ones that
RegisterTypeLib adds for them (in both registry views, as it does for an automation interface).

  class_rows.py SCRIPT LIBID LIBRARY_VERSION LIBRARY_HELP IID INTERFACE_NAME OUT
"""
import re
import sys
from xml.sax.saxutils import quoteattr

# The system's marshaler for automation interfaces.
AUTOMATION_MARSHALER = "{00020424-0000-0000-C000-000000000046}"
# RegisterTypeLib records the library's flags with "has a disk image" added.
LIBRARY_FLAGS = "8"
MODULE_PATH = "[#BackendFile]"
INSTALL_DIR = "[INSTALLDIR]"

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
        return re.sub(r"%MODULE%", MODULE_PATH, data, flags=re.IGNORECASE)

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


def TypeLibraryRows(libid, version, help_text):
    base = f"TypeLib\\{libid}"
    values = [(f"{base}\\{version}", None, help_text),
              (f"{base}\\{version}\\FLAGS", None, LIBRARY_FLAGS),
              (f"{base}\\{version}\\0\\win64", None, MODULE_PATH),
              (f"{base}\\{version}\\HELPDIR", None, INSTALL_DIR)]
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


def main(arguments):
    if len(arguments) != 7:
        sys.exit(__doc__)
    script, libid, version, help_text, iid, interface_name, out = arguments
    with open(script, encoding="utf-8-sig") as f:
        reader = Reader(f.read()).Read()
    library_keys, library_values = TypeLibraryRows(libid, version, help_text)
    interface_keys, interface_values = InterfaceRows(iid, interface_name, libid, version)
    lines = ['<?xml version="1.0" encoding="utf-8"?>',
             f"<!-- Written by class_rows.py from {script.rsplit('/', 1)[-1]}; do not edit. -->",
             "<Include>"]
    lines += Component("ClassRows64", True, reader.keys + library_keys + interface_keys,
                       reader.values + library_values + interface_values)
    # The 32-bit view, where RegisterTypeLib also records the library and its interface.
    lines += Component("ClassRows32", False, library_keys + interface_keys,
                       library_values + interface_values)
    lines.append("</Include>")
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    try:
        main(sys.argv[1:])
    except ScriptError as error:
        sys.exit(f"class_rows.py: {sys.argv[1]}: {error}")
