// The file name the snapshot lists for an executable path.
#include "frontend/process_file_name.h"

#include <gtest/gtest.h>

TEST(FileNameOfPath, TakesWhatFollowsTheLastSeparatorOrDrive) {
    const struct {
        const char* path;
        const char* name;
    } cases[] = {
        {"C:\\windows\\system32\\services.exe", "services.exe"},
        {"C:\\tools.d\\v1.2\\waiter.exe", "waiter.exe"},
        {"C:\\tools\\archive.tar.exe", "archive.tar.exe"},
        {"/usr/lib/wine/x.exe", "x.exe"},
        {"C:\\mixed/forward\\last.exe", "last.exe"},
        {"C:\\mixed\\back/last.exe", "last.exe"},
        {"\\\\server\\share\\remote.exe", "remote.exe"},
        {"C:drive-relative.exe", "drive-relative.exe"},
        {"bare.exe", "bare.exe"},
        {"noextension", "noextension"},
        {"C:\\directory\\", ""},
        {"", ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.path);
        EXPECT_EQ(test.name, FileNameOfPath(test.path, 1252));
    }
}

// In code page 932 the character 0x95 0x5C ends in the byte of a backslash.
TEST(FileNameOfPath, NeverSplitsADoubleByteCharacter) {
    ASSERT_TRUE(::IsValidCodePage(932));
    EXPECT_EQ("\x95\x5C.exe", FileNameOfPath("C:\\dir\\\x95\x5C.exe", 932));
    EXPECT_EQ("a\x95\x5C"
              "b.exe",
              FileNameOfPath("a\x95\x5C"
                             "b.exe",
                             932));
    EXPECT_EQ("x.exe", FileNameOfPath("C:\\\x95\x5C\\x.exe", 932));
    // The same bytes in a single-byte code page hold a real backslash.
    EXPECT_EQ(".exe", FileNameOfPath("C:\\dir\\\x95\x5C.exe", 1252));
}
