// DllRegisterServer and DllUnregisterServer of the built library on Wine's real registry.
#include "tandrel_pro.h"
#include "common/ole_owners.h"
#include "common/unique_handle.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
constexpr char kLibraryName[] = "Tandrel Pro BE.dll";
constexpr char kProgId[] = "orvan.TandrelPro.AffinityManager.1";
constexpr char kIndependentProgId[] = "orvan.TandrelPro.AffinityManager";
constexpr char kClassName[] = "AffinityManager Class";

std::string GuidText(REFGUID guid) {
    wchar_t wide[40] = {};
    ::StringFromGUID2(guid, wide, 40);
    char text[40] = {};
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}
const std::string kClassGuid = GuidText(CLSID_AffinityManager);
const std::string kLibraryGuid = GuidText(LIBID_TandrelPro);
const std::string kClassKey = "CLSID\\" + kClassGuid;

bool KeyExists(const std::string& path) {
    UniqueRegistryKey key;
    HKEY opened = nullptr;
    bool exists =
        ::RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS;
    key.reset(opened);
    return exists;
}

// The text of a value, "<absent>" when the key or value is missing.
std::string ValueOf(const std::string& path, const char* name = "") {
    char data[1024] = "<sentinel>";
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return "<absent>";
    UniqueRegistryKey key(opened);
    if (::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
        ERROR_SUCCESS)
        return "<absent>";
    return type == REG_SZ ? std::string(data) : "<not text>";
}

void CreateKey(const std::string& path) {
    UniqueRegistryKey created;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0,
                                               KEY_ALL_ACCESS, nullptr, created.put(), nullptr));
}

void RemoveEverything() {
    for (const std::string& path : {std::string(kProgId), std::string(kIndependentProgId),
                                    kClassKey, "TypeLib\\" + kLibraryGuid})
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str());
}

// The rows of the class's registry entries, checked one by one.
void ExpectRegistered(const std::string& modulePath) {
    EXPECT_EQ(kClassName, ValueOf(kProgId));
    EXPECT_EQ(kClassGuid, ValueOf(std::string(kProgId) + "\\CLSID"));
    EXPECT_EQ(kClassName, ValueOf(kIndependentProgId));
    EXPECT_EQ(kClassGuid, ValueOf(std::string(kIndependentProgId) + "\\CLSID"));
    EXPECT_EQ(kProgId, ValueOf(std::string(kIndependentProgId) + "\\CurVer"));
    EXPECT_EQ(kClassName, ValueOf(kClassKey));
    EXPECT_EQ(kProgId, ValueOf(kClassKey + "\\ProgID"));
    EXPECT_EQ(kIndependentProgId, ValueOf(kClassKey + "\\VersionIndependentProgID"));
    EXPECT_TRUE(KeyExists(kClassKey + "\\Programmable"));
    EXPECT_EQ("<absent>", ValueOf(kClassKey + "\\Programmable"));
    EXPECT_EQ(modulePath, ValueOf(kClassKey + "\\InprocServer32"));
    EXPECT_EQ("Apartment", ValueOf(kClassKey + "\\InprocServer32", "ThreadingModel"));
    EXPECT_EQ(kLibraryGuid, ValueOf(kClassKey + "\\TypeLib"));
}

void ExpectNothingRegistered() {
    for (const std::string& path : {std::string(kProgId), std::string(kIndependentProgId),
                                    kClassKey, "TypeLib\\" + kLibraryGuid})
        EXPECT_FALSE(KeyExists(path)) << path;
    EXPECT_TRUE(KeyExists("CLSID"));
}

bool TypeLibraryRegistered() {
    ITypeLib* library = nullptr;
    HRESULT result = ::LoadRegTypeLib(LIBID_TandrelPro, 1, 0, 0, &library);
    if (library != nullptr)
        library->Release();
    return SUCCEEDED(result);
}

std::string RegisteredTypeLibraryPath() {
    UniqueBstr path;
    if (FAILED(::QueryPathOfRegTypeLib(LIBID_TandrelPro, 1, 0, 0, path.put())))
        return "<absent>";
    char text[MAX_PATH * 2] = {};
    ::WideCharToMultiByte(CP_ACP, 0, path.get(), -1, text, sizeof text, nullptr, nullptr);
    return text;
}

std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(),
                                      static_cast<int>(wide.size())) -
                1);
    return wide;
}

// The library file loaded from a path, with its two registration exports.
class Library {
  public:
    // Loaded by its wide name, which may be longer than the ANSI functions take.
    explicit Library(const std::string& path) : module_(::LoadLibraryW(Wide(path).c_str())) {
        if (!module_)
            return;
        char loaded[MAX_PATH] = {};
        ::GetModuleFileNameA(module_.get(), loaded, MAX_PATH);
        path_ = loaded;
        register_ = reinterpret_cast<Export>(
            reinterpret_cast<void*>(::GetProcAddress(module_.get(), "DllRegisterServer")));
        unregister_ = reinterpret_cast<Export>(
            reinterpret_cast<void*>(::GetProcAddress(module_.get(), "DllUnregisterServer")));
    }
    bool loaded() const { return register_ != nullptr && unregister_ != nullptr; }
    const std::string& path() const { return path_; }
    HRESULT Register() const { return register_(); }
    HRESULT Unregister() const { return unregister_(); }

  private:
    using Export = HRESULT(STDAPICALLTYPE*)();
    UniqueModule module_;
    std::string path_;
    Export register_ = nullptr;
    Export unregister_ = nullptr;
};

std::string TempDirectory(const char* name) {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::string directory = std::string(temp) + name + "\\";
    ::CreateDirectoryA(directory.c_str(), nullptr);
    return directory;
}

// A copy of the built library at `directory`, so that tests can change or move it.
std::string CopyLibraryTo(const std::string& directory) {
    Library original(kLibraryName);
    std::string copy = directory + kLibraryName;
    EXPECT_TRUE(::CopyFileA(original.path().c_str(), copy.c_str(), FALSE)) << ::GetLastError();
    return copy;
}

// A library built differently for one test, in its own directory beside the test programs.
std::string VariantPath(const char* variant) {
    char program[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string directory(program, std::strrchr(program, '\\') + 1);
    return directory + variant + "\\" + kLibraryName;
}

// The type library of the library file at `libraryPath`, written as a file of its own.
bool WriteTypeLibraryFile(const std::string& libraryPath, const std::string& path) {
    UniqueModule data(::LoadLibraryExA(libraryPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    HRSRC resource = ::FindResourceA(data.get(), MAKEINTRESOURCEA(1), "TYPELIB");
    if (resource == nullptr)
        return false;
    const void* bytes = ::LockResource(::LoadResource(data.get(), resource));
    DWORD size = ::SizeofResource(data.get(), resource);
    UniqueHandle file(
        ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes, size, &written, nullptr) && written == size;
}

class SelfRegistration : public ::testing::Test {
  protected:
    void SetUp() override {
        ::CoInitialize(nullptr);
        RemoveEverything();
        ASSERT_TRUE(library_.loaded());
    }
    void TearDown() override {
        library_.Unregister();
        RemoveEverything();
        ::CoUninitialize();
    }

    Library library_{kLibraryName};
};
} // namespace

TEST_F(SelfRegistration, WritesEveryEntryAndTheTypeLibrary) {
    ASSERT_EQ(S_OK, library_.Register());
    ExpectRegistered(library_.path());
    EXPECT_TRUE(TypeLibraryRegistered());
    EXPECT_EQ(library_.path(), RegisteredTypeLibraryPath());
}

TEST_F(SelfRegistration, TwiceLeavesTheSameEntriesAndDropsForeignClassSubkeys) {
    ASSERT_EQ(S_OK, library_.Register());
    CreateKey(kClassKey + "\\Foreign");
    CreateKey(std::string(kProgId) + "\\Foreign");
    ASSERT_EQ(S_OK, library_.Register());
    ExpectRegistered(library_.path());
    EXPECT_FALSE(KeyExists(kClassKey + "\\Foreign"));
    // The ProgID keys are reused, not written anew.
    EXPECT_TRUE(KeyExists(std::string(kProgId) + "\\Foreign"));
}

TEST_F(SelfRegistration, UnregisterRemovesEverythingButTheClassesKey) {
    ASSERT_EQ(S_OK, library_.Register());
    EXPECT_EQ(S_OK, library_.Unregister());
    ExpectNothingRegistered();
    EXPECT_FALSE(TypeLibraryRegistered());
}

TEST_F(SelfRegistration, UnregisterWithNothingRegisteredSucceeds) {
    EXPECT_EQ(S_OK, library_.Unregister());
    ExpectNothingRegistered();
    EXPECT_EQ(S_OK, library_.Unregister());
}

TEST_F(SelfRegistration, UnregisterKeepsTheClassKeyThatHoldsAForeignSubkey) {
    ASSERT_EQ(S_OK, library_.Register());
    CreateKey(kClassKey + "\\Foreign");
    EXPECT_EQ(S_OK, library_.Unregister());
    EXPECT_TRUE(KeyExists(kClassKey + "\\Foreign"));
    for (const char* subkey :
         {"ProgID", "VersionIndependentProgID", "Programmable", "InprocServer32", "TypeLib"})
        EXPECT_FALSE(KeyExists(kClassKey + "\\" + subkey)) << subkey;
    EXPECT_FALSE(KeyExists(kProgId));
    EXPECT_FALSE(KeyExists(kIndependentProgId));
}

TEST_F(SelfRegistration, UnregisterGoesOnPastAProgIdThatLostItsClsid) {
    ASSERT_EQ(S_OK, library_.Register());
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string(kProgId) + "\\CLSID").c_str()));
    EXPECT_EQ(S_OK, library_.Unregister());
    ExpectNothingRegistered();
}

TEST_F(SelfRegistration, PathWithASingleQuoteIsWrittenUnchanged) {
    std::string directory = TempDirectory("it's a ''quoted'' place");
    std::string copy = CopyLibraryTo(directory);
    {
        Library quoted(copy);
        ASSERT_TRUE(quoted.loaded());
        ASSERT_EQ(S_OK, quoted.Register());
        ExpectRegistered(quoted.path());
        EXPECT_NE(std::string::npos, quoted.path().find("it's a ''quoted'' place"));
        EXPECT_EQ(quoted.path(), RegisteredTypeLibraryPath());
        EXPECT_EQ(S_OK, quoted.Unregister());
        ExpectNothingRegistered();
    }
    ::DeleteFileA(copy.c_str());
    ::RemoveDirectoryA(directory.c_str());
}

// A path longer than the system's limit, cut short, would name another file: here a copy that
// stands exactly where the cut path points.
TEST_F(SelfRegistration, PathLongerThanTheLimitIsRefusedNotCutShort) {
    // A directory of 245 characters: the library's path is 263 long, and both cuts end in a
    // name that the file system keeps as it is (no trailing space).
    std::vector<std::string> directories{TempDirectory("too long")};
    const size_t wanted = MAX_PATH - 15;
    while (directories.back().size() < wanted) {
        // Levels of a name and a separator; none may be left with room for only the separator.
        size_t room = wanted - directories.back().size();
        size_t name = room - 1 > 80 ? 80 : room - 1;
        if (room - (name + 1) == 1)
            --name;
        directories.push_back(directories.back() + std::string(name, 'd') + "\\");
        ASSERT_TRUE(::CreateDirectoryA(directories.back().c_str(), nullptr) ||
                    ::GetLastError() == ERROR_ALREADY_EXISTS)
            << ::GetLastError();
    }
    std::string full = CopyLibraryTo(directories.back());
    ASSERT_LT(static_cast<size_t>(MAX_PATH), full.size());
    // The system cuts a path that does not fit to the buffer's size, with or without the zero.
    std::vector<std::string> cut{full.substr(0, MAX_PATH - 1), full.substr(0, MAX_PATH - 2)};
    for (const std::string& path : cut)
        ASSERT_TRUE(::CopyFileA(library_.path().c_str(), path.c_str(), FALSE)) << path;
    {
        Library tooLong(full);
        ASSERT_TRUE(tooLong.loaded());
        HRESULT result = tooLong.Register();
        EXPECT_TRUE(FAILED(result)) << std::hex << result;
        EXPECT_EQ("<absent>", ValueOf(kClassKey + "\\InprocServer32"));
        EXPECT_FALSE(TypeLibraryRegistered());
        tooLong.Unregister();
    }
    for (const std::string& path : cut)
        ::DeleteFileA(path.c_str());
    ::DeleteFileW(Wide(full).c_str());
    for (auto level = directories.rbegin(); level != directories.rend(); ++level)
        ::RemoveDirectoryA(level->c_str());
}

TEST_F(SelfRegistration, TypeLibraryBesideTheFileIsRegisteredWithItsDirectory) {
    std::string directory = TempDirectory("beside");
    std::string copy = directory + kLibraryName;
    std::string typeLibraryPath = directory + "Tandrel Pro BE.tlb";
    ASSERT_TRUE(::CopyFileA(VariantPath("without_type_library").c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(WriteTypeLibraryFile(library_.path(), typeLibraryPath));
    {
        Library variant(copy);
        ASSERT_TRUE(variant.loaded());
        ASSERT_EQ(S_OK, variant.Register());
        ExpectRegistered(variant.path());
        EXPECT_EQ(typeLibraryPath, RegisteredTypeLibraryPath());
        EXPECT_EQ(directory, ValueOf("TypeLib\\" + kLibraryGuid + "\\1.0\\HELPDIR"));
        EXPECT_EQ(S_OK, variant.Unregister());
        ExpectNothingRegistered();
    }
    ::DeleteFileA(typeLibraryPath.c_str());
    ::DeleteFileA(copy.c_str());
    ::RemoveDirectoryA(directory.c_str());
}

TEST_F(SelfRegistration, WithoutTypeLibraryTheScriptStaysAndTheErrorIsReturned) {
    Library variant(VariantPath("without_type_library"));
    ASSERT_TRUE(variant.loaded());
    HRESULT result = variant.Register();
    EXPECT_EQ(TYPE_E_CANTLOADLIBRARY, result) << std::hex << result;
    ExpectRegistered(variant.path());
    EXPECT_FALSE(TypeLibraryRegistered());
    EXPECT_EQ(S_OK, variant.Unregister());
    ExpectNothingRegistered();
}

TEST_F(SelfRegistration, FailingScriptTakesBackItsEntriesAndRegistersNoTypeLibrary) {
    Library variant(VariantPath("failing_script"));
    ASSERT_TRUE(variant.loaded());
    EXPECT_EQ(DISP_E_EXCEPTION, variant.Register());
    EXPECT_FALSE(KeyExists("TandrelTests.Rollback"));
    EXPECT_FALSE(TypeLibraryRegistered());
    EXPECT_EQ(S_OK, variant.Unregister());
}
