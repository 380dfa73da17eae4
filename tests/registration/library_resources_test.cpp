// The registration resources of the built library, read as an installer or tool reads them.
#include "common/unique_handle.h"
#include "tandrel_version.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
constexpr WORD kUsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

std::string LibraryPath() {
    UniqueModule library(::LoadLibraryA("Tandrel Pro BE.dll"));
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(library.get(), path, MAX_PATH);
    return path;
}

std::string ResourceText(HMODULE module, const char* type, UINT id) {
    HRSRC resource = ::FindResourceExA(module, type, MAKEINTRESOURCEA(id), kUsEnglish);
    if (resource == nullptr)
        return "<absent>";
    return std::string(static_cast<const char*>(::LockResource(::LoadResource(module, resource))),
                       ::SizeofResource(module, resource));
}

std::string VersionString(const std::vector<BYTE>& block, const char* name) {
    std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
    char* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        return "<absent>";
    return std::string(value, length > 0 ? length - 1 : 0);
}
} // namespace

TEST(LibraryResources, RegistryScriptHoldsExactlyTheClassEntries) {
    UniqueModule data(::LoadLibraryExA(LibraryPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_EQ("HKCR\r\n"
              "{\r\n"
              "\torvan.TandrelPro.AffinityManager.1 = s 'AffinityManager Class'\r\n"
              "\t{\r\n"
              "\t\tCLSID = s '{D6D3C37D-F163-4C3D-9745-4D4F3BC309A4}'\r\n"
              "\t}\r\n"
              "\torvan.TandrelPro.AffinityManager = s 'AffinityManager Class'\r\n"
              "\t{\r\n"
              "\t\tCLSID = s '{D6D3C37D-F163-4C3D-9745-4D4F3BC309A4}'\r\n"
              "\t\tCurVer = s 'orvan.TandrelPro.AffinityManager.1'\r\n"
              "\t}\r\n"
              "\tNoRemove CLSID\r\n"
              "\t{\r\n"
              "\t\tForceRemove {D6D3C37D-F163-4C3D-9745-4D4F3BC309A4} = s 'AffinityManager "
              "Class'\r\n"
              "\t\t{\r\n"
              "\t\t\tProgID = s 'orvan.TandrelPro.AffinityManager.1'\r\n"
              "\t\t\tVersionIndependentProgID = s 'orvan.TandrelPro.AffinityManager'\r\n"
              "\t\t\tForceRemove 'Programmable'\r\n"
              "\t\t\tInprocServer32 = s '%MODULE%'\r\n"
              "\t\t\t{\r\n"
              "\t\t\t\tval ThreadingModel = s 'Apartment'\r\n"
              "\t\t\t}\r\n"
              "\t\t\t'TypeLib' = s '{612CE63C-6A8C-4FE1-8C87-B9E7EE41164B}'\r\n"
              "\t\t}\r\n"
              "\t}\r\n"
              "}\r\n",
              ResourceText(data.get(), "REGISTRY", 101));
    EXPECT_EQ("MSFT", ResourceText(data.get(), "TYPELIB", 1).substr(0, 4));
}

TEST(LibraryResources, NameStringIsTheLibrarysName) {
    UniqueModule library(::LoadLibraryA("Tandrel Pro BE.dll"));
    char text[64] = "<sentinel>";
    EXPECT_EQ(14, ::LoadStringA(library.get(), 100, text, sizeof text));
    EXPECT_STREQ("Tandrel Pro BE", text);
    UniqueModule data(::LoadLibraryExA(LibraryPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    // Strings live in blocks of 16: string 100 is in block 7.
    EXPECT_NE(nullptr,
              ::FindResourceExA(data.get(), MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(7), kUsEnglish));
}

TEST(LibraryResources, VersionBlockTellsThatTheFileRegistersItself) {
    std::string path = LibraryPath();
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_NE(0u, size);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    // The product's one version, as the build wrote it for the resource scripts.
    constexpr WORD kVersion[] = {TANDREL_VERSION_NUMBERS};
    const DWORD kVersionMs = MAKELONG(kVersion[1], kVersion[0]);
    const DWORD kVersionLs = MAKELONG(kVersion[3], kVersion[2]);
    EXPECT_EQ(kVersionMs, fixed->dwFileVersionMS);
    EXPECT_EQ(kVersionLs, fixed->dwFileVersionLS);
    EXPECT_EQ(kVersionMs, fixed->dwProductVersionMS);
    EXPECT_EQ(kVersionLs, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed->dwFileOS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileFlags);

    EXPECT_EQ("", VersionString(block, "CompanyName"));
    EXPECT_EQ("Tandrel Pro BE Module", VersionString(block, "FileDescription"));
    EXPECT_EQ(TANDREL_VERSION_TEXT, VersionString(block, "FileVersion"));
    EXPECT_EQ("Tandrel Pro BE", VersionString(block, "InternalName"));
    EXPECT_EQ("Tandrel Pro BE.DLL", VersionString(block, "OriginalFilename"));
    EXPECT_EQ("Tandrel Pro BE Module", VersionString(block, "ProductName"));
    EXPECT_EQ(TANDREL_VERSION_TEXT, VersionString(block, "ProductVersion"));
    EXPECT_EQ("", VersionString(block, "OLESelfRegister"));
    EXPECT_NE("<absent>", VersionString(block, "LegalCopyright"));

    DWORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x04B00409u, *translation);
}
