// The library's entry point at the two ways a process lets go of it. FreeLibrary gives back what
// the library holds; at process exit the other threads are already gone, perhaps holding locks,
// and other libraries may be detached, so the library must release nothing and call nobody.
#include "common/com_ptr.h"
#include "common/unique_handle.h"
#include "tandrel_pro.h"
#include "type_library_registration.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring BuiltLibraryPath() {
    wchar_t path[MAX_PATH] = L"";
    DWORD length = ::SearchPathW(nullptr, L"Tandrel Pro BE.dll", nullptr, MAX_PATH, path, nullptr);
    return length > 0 && length < MAX_PATH ? path : L"";
}

// The type library comes from the built file, so that loading it never holds a copy under test.
class RegisteredTypeLibrary : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_FALSE(BuiltLibraryPath().empty()) << "Tandrel Pro BE.dll is not on the path";
        ASSERT_EQ(S_OK, RegisterBackendTypeLibrary(BuiltLibraryPath()));
    }
    void TearDown() override { UnregisterBackendTypeLibrary(); }
};

const auto* const registration = ::testing::AddGlobalTestEnvironment(new RegisteredTypeLibrary);

ULONG ReferencesOf(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

DWORD ProcessHeapCount() {
    return ::GetProcessHeaps(0, nullptr);
}

// A copy of the library under a name of its own, loaded afresh by each test.
class LibraryCopy {
  public:
    LibraryCopy() {
        wchar_t folder[MAX_PATH] = L"";
        ::GetTempPathW(MAX_PATH, folder);
        path_ = std::wstring(folder) + L"module_lifetime_" +
                std::to_wstring(::GetCurrentProcessId()) + L".dll";
        if (::CopyFileW(BuiltLibraryPath().c_str(), path_.c_str(), FALSE))
            module_.reset(::LoadLibraryW(path_.c_str()));
    }
    ~LibraryCopy() {
        module_.reset();
        ::DeleteFileW(path_.c_str());
    }
    LibraryCopy(const LibraryCopy&) = delete;
    LibraryCopy& operator=(const LibraryCopy&) = delete;

    HMODULE module() const { return module_.get(); }

    // Type information that the library has cached, with a reference of the caller's own.
    ComPtr<ITypeInfo> CachedTypeInfo() const {
        using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        auto getClassObject = reinterpret_cast<GetClassObjectFunction>(
            reinterpret_cast<void*>(::GetProcAddress(module(), "DllGetClassObject")));
        ComPtr<ITypeInfo> info;
        ComPtr<IClassFactory> factory;
        ComPtr<IDispatch> dispatch;
        if (getClassObject == nullptr ||
            FAILED(getClassObject(CLSID_AffinityManager, IID_IClassFactory, factory.put_void())) ||
            FAILED(factory->CreateInstance(nullptr, IID_IDispatch, dispatch.put_void())))
            return info;
        dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put());
        return info;
    }

    // What the loader does when the process ends with the library loaded: the entry point with
    // DLL_PROCESS_DETACH and a non-null reserved argument.
    void DetachAtProcessExit() const {
        auto* base = reinterpret_cast<BYTE*>(module());
        auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(
            base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        auto entry = reinterpret_cast<BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID)>(
            base + headers->OptionalHeader.AddressOfEntryPoint);
        entry(module(), DLL_PROCESS_DETACH, reinterpret_cast<LPVOID>(1));
    }
    void Unload() { module_.reset(); }

  private:
    std::wstring path_;
    UniqueModule module_;
};

// What a copy keeps after the detach at process exit, its heap and type information, is the test
// program's end to reclaim, as it is the system's for a real process.
TEST(ModuleLifetime, DetachGivesBackTheHeapAndTypeInformationOnlyOnFreeLibrary) {
    struct Case {
        const char* name;
        bool processExit;
        DWORD heapsGivenBack;
        ULONG typeInfoReferencesGivenBack;
    };
    const Case cases[] = {
        {"FreeLibrary", false, 1, 1},
        {"process exit", true, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LibraryCopy library;
        ASSERT_NE(nullptr, library.module()) << "cannot load a copy, error " << ::GetLastError();
        ComPtr<ITypeInfo> info = library.CachedTypeInfo();
        ASSERT_TRUE(info) << "the library gave no type information";

        const DWORD heapsBefore = ProcessHeapCount();
        const ULONG referencesBefore = ReferencesOf(info.get());
        if (c.processExit)
            library.DetachAtProcessExit();
        else
            library.Unload();
        EXPECT_EQ(heapsBefore - c.heapsGivenBack, ProcessHeapCount())
            << "heaps before " << heapsBefore;
        EXPECT_EQ(referencesBefore - c.typeInfoReferencesGivenBack, ReferencesOf(info.get()))
            << "type information references before " << referencesBefore;
    }
}

} // namespace
