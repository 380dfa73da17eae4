#include "registration/registry_access.h"

namespace {
class SystemRegistryAccess final : public RegistryAccess {
  public:
    LONG OpenKey(HKEY parent, const char* name, REGSAM access, HKEY* key) override {
        return ::RegOpenKeyExA(parent, name, 0, access, key);
    }
    LONG CreateKey(HKEY parent, const char* name, REGSAM access, HKEY* key) override {
        return ::RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                 key, nullptr);
    }
    LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) override {
        return ::RegSetValueExA(key, name, 0, type, data, size);
    }
    LONG DeleteValue(HKEY key, const char* name) override { return ::RegDeleteValueA(key, name); }
    LONG DeleteKey(HKEY parent, const char* name) override { return ::RegDeleteKeyA(parent, name); }
    LONG EnumKey(HKEY key, DWORD index, char* name, DWORD* nameSize) override {
        return ::RegEnumKeyExA(key, index, name, nameSize, nullptr, nullptr, nullptr, nullptr);
    }
    LONG QueryInfo(HKEY key, DWORD* subkeys, DWORD* values) override {
        return ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, subkeys, nullptr, nullptr, values,
                                  nullptr, nullptr, nullptr, nullptr);
    }
    LONG CloseKey(HKEY key) override { return ::RegCloseKey(key); }
};
} // namespace

RegistryAccess& SystemRegistry() {
    static SystemRegistryAccess registry;
    return registry;
}
