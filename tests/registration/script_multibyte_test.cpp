// Double-byte text: the reader steps over whole characters (a lead byte and its trail byte). These
// run where the ANSI code page is 932; ctest runs this program once more under a Japanese locale.
#include "registration/memory_registry.h"
#include "registration/script.h"

#include <gtest/gtest.h>

#include <string>

namespace {
// A character whose trail byte has the value of a backslash.
const std::string kTable = "\x95\x5c";

class ScriptMultiByte : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::GetACP() != 932)
            GTEST_SKIP() << "ANSI code page " << ::GetACP() << ", not 932";
    }

    HRESULT Apply(const std::string& script, bool registering = true,
                  const char* module = "C:\\x.dll") {
        ScriptVariables variables;
        HRESULT added = variables.AddQuoted("Module", module);
        if (FAILED(added))
            return added;
        return ApplyRegistryScriptText(script.data(), script.size(), variables, registering,
                                       registry_);
    }

    MemoryRegistry registry_;
};
} // namespace

TEST_F(ScriptMultiByte, TrailByteThatLooksLikeABackslashBelongsToTheName) {
    std::string script = "HKCR { " + kTable + " = s '" + kTable + "' { '" + kTable + "x' } }";
    ASSERT_EQ(S_OK, Apply(script));
    EXPECT_EQ("HKCR\\" + kTable + "\nHKCR\\" + kTable + " [] = S:" + kTable + "\nHKCR\\" + kTable +
                  "\\" + kTable + "x\n",
              registry_.Dump());
    EXPECT_EQ(S_OK, Apply(script, false));
    EXPECT_EQ("", registry_.Dump());
    // A real backslash after a double-byte character is still refused.
    EXPECT_EQ(DISP_E_EXCEPTION, Apply("HKCR { " + kTable + "\\x }"));
}

TEST_F(ScriptMultiByte, CharactersCountWholeAgainstTheTokenLimit) {
    std::string fits = std::string(4092, 'q') + kTable;
    ASSERT_EQ(S_OK, Apply("HKCR { k = s '" + fits + "' }"));
    EXPECT_EQ("HKCR\\k\nHKCR\\k [] = S:" + fits + "\n", registry_.Dump());
    EXPECT_EQ(DISP_E_EXCEPTION, Apply("HKCR { k = s 'q" + fits + "' }"));
    EXPECT_EQ(DISP_E_EXCEPTION, Apply("HKCR { k = s q" + fits + " }"));
}

TEST_F(ScriptMultiByte, LeadByteTakesTheNextByteWhateverItIs) {
    // The closing quote becomes a trail byte, so the token has no end.
    EXPECT_EQ(DISP_E_EXCEPTION, Apply("HKCR { k = s 'a\x81' }"));
    // In substitution the percent sign after a lead byte is a trail byte, and the next one
    // opens a name that never ends.
    EXPECT_EQ(DISP_E_EXCEPTION, Apply("HKCR { k = s '\x81%%' }"));
    EXPECT_EQ("", registry_.Dump());
}

TEST_F(ScriptMultiByte, LeadByteAtTheEndOfTheTextIsReadAlone) {
    for (const char* script : {"HKCR { k = s '\x81", "HKCR { k\x81", "HKCR { k } \x81", "\x81"})
        EXPECT_EQ(DISP_E_EXCEPTION, Apply(script)) << script;
    std::string zeroAfterLead = "HKCR { k = s 'a\x81";
    zeroAfterLead += '\0';
    zeroAfterLead += "' }";
    EXPECT_EQ(DISP_E_EXCEPTION, Apply(zeroAfterLead));
    // Only the complete root block before the lone lead byte stays.
    EXPECT_EQ("HKCR\\k\n", registry_.Dump());
}

TEST_F(ScriptMultiByte, ModulePathKeepsItsDoubleByteCharacters) {
    std::string path = "C:\\" + kTable + "'s\\Tandrel Pro BE.dll";
    ASSERT_EQ(S_OK, Apply("HKCR { k = s '%MODULE%' }", true, path.c_str()));
    EXPECT_EQ("HKCR\\k\nHKCR\\k [] = S:" + path + "\n", registry_.Dump());
}
