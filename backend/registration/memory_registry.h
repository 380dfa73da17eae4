// An in-memory registry behind the reader's seam, with the refusals that the real registry of a
// test prefix cannot be made to produce.
#pragma once

#include "registration/registry_access.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class MemoryRegistry final : public RegistryAccess {
  public:
    MemoryRegistry();

    LONG OpenKey(HKEY parent, const char* name, REGSAM access, HKEY* key) override;
    LONG CreateKey(HKEY parent, const char* name, REGSAM access, HKEY* key) override;
    LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) override;
    LONG DeleteValue(HKEY key, const char* name) override;
    LONG DeleteKey(HKEY parent, const char* name) override;
    LONG EnumKey(HKEY key, DWORD index, char* name, DWORD* nameSize) override;
    LONG QueryInfo(HKEY key, DWORD* subkeys, DWORD* values) override;
    LONG CloseKey(HKEY key) override;

    // Paths are root names and key names joined by "\", e.g. "HKCR\a\b".
    void AddKey(const std::string& path);
    void AddString(const std::string& path, const std::string& name, const std::string& value);

    // One key, or one value of a key (the default value's name is empty).
    struct Entry {
        std::string path;
        bool isValue;
        std::string name;
        DWORD type;
        std::vector<BYTE> data;
    };
    // Every key and value, each key followed by its values and then its subkeys, names in the
    // registry's order (without regard to case).
    std::vector<Entry> Entries() const;
    // The same, one line each: "HKCR\a" and "HKCR\a\b [name] = S:text".
    std::string Dump() const;
    // Handles that the reader opened and has not closed.
    int OpenHandles() const;
    // Every key created and value set, in the order of the calls, as Dump names them: "HKCR\a"
    // and "HKCR\a [name]".
    const std::vector<std::string>& Writes() const { return writes_; }

    // Keys that may only be opened with KEY_READ: no writes, deletions or subkeys through them.
    std::set<std::string> readOnlyKeys;
    // Parents under which no key can be created.
    std::set<std::string> noCreateUnder;
    // Keys whose handles fail to close (the handle is released all the same).
    std::set<std::string> failCloseOf;

  private:
    struct Value {
        DWORD type;
        std::vector<BYTE> data;
    };
    struct NoCase {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    struct Key {
        std::map<std::string, std::unique_ptr<Key>, NoCase> subkeys;
        std::map<std::string, Value, NoCase> values;
    };
    struct Handle {
        std::string path;
        REGSAM access;
    };

    Key* Find(const std::string& path) const;
    const Handle* HandleOf(HKEY key) const;
    std::string PathOf(HKEY parent, const char* name, LONG& status) const;
    Key* KeyOf(HKEY key, LONG& status) const;
    Key* KeyForValueChange(HKEY key, LONG& status) const;
    bool IsReadOnly(const std::string& path) const;
    HKEY NewHandle(const std::string& path, REGSAM access);
    static void AddEntries(const Key& key, const std::string& path, std::vector<Entry>& entries);

    std::map<std::string, std::unique_ptr<Key>, NoCase> roots_;
    std::map<HKEY, Handle> handles_;
    std::vector<std::string> writes_;
    ULONG_PTR nextHandle_ = 0x1000;
};
