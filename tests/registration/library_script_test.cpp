// The library's own registry script, read from this program's resources as the library reads it
// from its file, on an in-memory registry.
#include "registration/memory_registry.h"
#include "registration/resources.h"
#include "registration/script.h"

#include <gtest/gtest.h>

#include <string>

namespace {
std::string ThisProgramPath() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string RegisteredEntries(const std::string& modulePath) {
    return "HKCR\\CLSID\n"
           "HKCR\\CLSID\\{D6D3C37D-F163-4C3D-9745-4D4F3BC309A4}\n"
           "HKCR\\CLSID\\{D6D3C37D-F163-4C3D-9745-4D4F3BC309A4} [] = S:AffinityManager Class\n"
           "HKCR\\CLSID\\{D6D3C37D-F163-4C3D-9745-4D4F3BC309A4}\\InprocServer32\n"
           "HKCR\\CLSID\\{D6D3C37D-F163-4C3D-9745-4D4F3BC309A4}\\InprocServer32 [] = S:" +
           modulePath +
           "\n"
           "HKCR\\CLSID\\{D6D3C37D-F163-4C3D-9745-4D4F3BC309A4}\\InprocServer32 "
           "[ThreadingModel] = S:Apartment\n"
           "HKCR\\CLSID\\{D6D3C37D-F163-4C3D-9745-4D4F3BC309A4}\\ProgID\n"
           "HKCR\\CLSID\\{D6D3C37D-F163-4C3D-9745-4D4F3BC309A4}\\ProgID [] = "
           "S:orvan.TandrelPro.AffinityManager.1\n"
           "HKCR\\CLSID\\{D6D3C37D-F163-4C3D-9745-4D4F3BC309A4}\\Programmable\n"
           "HKCR\\CLSID\\{D6D3C37D-F163-4C3D-9745-4D4F3BC309A4}\\TypeLib\n"
           "HKCR\\CLSID\\{D6D3C37D-F163-4C3D-9745-4D4F3BC309A4}\\TypeLib [] = "
           "S:{612CE63C-6A8C-4FE1-8C87-B9E7EE41164B}\n"
           "HKCR\\CLSID\\{D6D3C37D-F163-4C3D-9745-4D4F3BC309A4}\\VersionIndependentProgID\n"
           "HKCR\\CLSID\\{D6D3C37D-F163-4C3D-9745-4D4F3BC309A4}\\VersionIndependentProgID [] = "
           "S:orvan.TandrelPro.AffinityManager\n"
           "HKCR\\orvan.TandrelPro.AffinityManager\n"
           "HKCR\\orvan.TandrelPro.AffinityManager [] = S:AffinityManager Class\n"
           "HKCR\\orvan.TandrelPro.AffinityManager\\CLSID\n"
           "HKCR\\orvan.TandrelPro.AffinityManager\\CLSID [] = "
           "S:{D6D3C37D-F163-4C3D-9745-4D4F3BC309A4}\n"
           "HKCR\\orvan.TandrelPro.AffinityManager\\CurVer\n"
           "HKCR\\orvan.TandrelPro.AffinityManager\\CurVer [] = "
           "S:orvan.TandrelPro.AffinityManager.1\n"
           "HKCR\\orvan.TandrelPro.AffinityManager.1\n"
           "HKCR\\orvan.TandrelPro.AffinityManager.1 [] = S:AffinityManager Class\n"
           "HKCR\\orvan.TandrelPro.AffinityManager.1\\CLSID\n"
           "HKCR\\orvan.TandrelPro.AffinityManager.1\\CLSID [] = "
           "S:{D6D3C37D-F163-4C3D-9745-4D4F3BC309A4}\n";
}
} // namespace

TEST(LibraryScript, WritesTheClassEntriesWithTheModulePath) {
    MemoryRegistry registry;
    ASSERT_EQ(S_OK, ApplyRegistryScript(TANDREL_IDR_AFFINITY_MANAGER, true, registry));
    EXPECT_EQ(RegisteredEntries(ThisProgramPath()), registry.Dump());
    EXPECT_EQ(0, registry.OpenHandles());

    ASSERT_EQ(S_OK, ApplyRegistryScript(TANDREL_IDR_AFFINITY_MANAGER, false, registry));
    EXPECT_EQ("HKCR\\CLSID\n", registry.Dump());
    EXPECT_EQ(0, registry.OpenHandles());
}

// Wine creates subkeys through any parent handle, even one opened with KEY_READ only (the classes
// root redirected to such a handle with RegOverridePredefKey still takes new keys), so this
// refusal is played by the in-memory registry.
TEST(LibraryScript, WithoutTheRightToCreateKeysFailsAtTheFirstKeyAndWritesNothing) {
    MemoryRegistry registry;
    registry.noCreateUnder.insert("HKCR");
    registry.readOnlyKeys.insert("HKCR");
    EXPECT_EQ(DISP_E_EXCEPTION, ApplyRegistryScript(TANDREL_IDR_AFFINITY_MANAGER, true, registry));
    EXPECT_EQ("", registry.Dump());
    EXPECT_EQ(0, registry.OpenHandles());
}

TEST(LibraryScript, MissingResourceGivesTheSystemError) {
    MemoryRegistry registry;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND),
              ApplyRegistryScript(999, true, registry));
    EXPECT_EQ("", registry.Dump());
}
