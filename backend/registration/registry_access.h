// The registry operations that the registry script reader needs, behind an interface so that the
// reader's rules can be exercised on an in-memory registry as well as on the real one.
#pragma once

#include <windows.h>

class RegistryAccess {
  public:
    virtual ~RegistryAccess() = default;

    virtual LONG OpenKey(HKEY parent, const char* name, REGSAM access, HKEY* key) = 0;
    // Creates a non-volatile key, or opens it when it exists.
    virtual LONG CreateKey(HKEY parent, const char* name, REGSAM access, HKEY* key) = 0;
    virtual LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) = 0;
    virtual LONG DeleteValue(HKEY key, const char* name) = 0;
    // Removes a key that has no subkeys, with its values.
    virtual LONG DeleteKey(HKEY parent, const char* name) = 0;
    // nameSize: in, the buffer's size in bytes; out, the name's length without its zero.
    virtual LONG EnumKey(HKEY key, DWORD index, char* name, DWORD* nameSize) = 0;
    virtual LONG QueryInfo(HKEY key, DWORD* subkeys, DWORD* values) = 0;
    virtual LONG CloseKey(HKEY key) = 0;
};

// The process's real registry.
RegistryAccess& SystemRegistry();

// A key opened through a RegistryAccess, closed when the owner goes out of scope unless Close()
// has already reported how the close went.
class ScriptKey {
  public:
    explicit ScriptKey(RegistryAccess& registry) : registry_(registry) {}
    ~ScriptKey() { Close(); }
    ScriptKey(const ScriptKey&) = delete;
    ScriptKey& operator=(const ScriptKey&) = delete;

    HKEY* Receive() {
        Close();
        return &key_;
    }
    HKEY get() const { return key_; }
    LONG Close() {
        HKEY key = key_;
        key_ = nullptr;
        return key != nullptr ? registry_.CloseKey(key) : ERROR_SUCCESS;
    }

  private:
    RegistryAccess& registry_;
    HKEY key_ = nullptr;
};
