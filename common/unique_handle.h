// Move-only owners of Win32 handles, closed when the owner goes out of scope; UniqueResource is
// the template of the other owners of common/ too.
#pragma once

#include <windows.h>

#include <utility>

template <typename Handle, typename Traits> class UniqueResource {
  public:
    UniqueResource() = default;
    explicit UniqueResource(Handle handle) : handle_(handle) {}
    ~UniqueResource() { reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return Traits::IsValid(handle_); }
    // For out parameters: closes the current handle and lends the slot.
    Handle* put() {
        reset();
        return &handle_;
    }
    Handle release() { return std::exchange(handle_, Traits::Invalid()); }
    void reset(Handle handle = Traits::Invalid()) {
        if (Traits::IsValid(handle_))
            Traits::Close(handle_);
        handle_ = handle;
    }

  private:
    Handle handle_ = Traits::Invalid();
};

struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits>;

struct RegistryKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static bool IsValid(HKEY h) { return h != nullptr; }
    static void Close(HKEY h) { ::RegCloseKey(h); }
};
using UniqueRegistryKey = UniqueResource<HKEY, RegistryKeyTraits>;

struct ModuleTraits {
    static HMODULE Invalid() { return nullptr; }
    static bool IsValid(HMODULE h) { return h != nullptr; }
    static void Close(HMODULE h) { ::FreeLibrary(h); }
};
using UniqueModule = UniqueResource<HMODULE, ModuleTraits>;

struct MenuTraits {
    static HMENU Invalid() { return nullptr; }
    static bool IsValid(HMENU h) { return h != nullptr; }
    static void Close(HMENU h) { ::DestroyMenu(h); }
};
using UniqueMenu = UniqueResource<HMENU, MenuTraits>;
