// The registry script reader on an in-memory registry: one group per rule of the script format.
#include "memory_registry.h"
#include "registry_script.h"

#include <gtest/gtest.h>

#include <string>

namespace {
constexpr char kModule[] = "C:\\Program Files\\Tandrel\\Tandrel Pro BE.dll";

HRESULT Apply(MemoryRegistry& registry, const std::string& script, bool registering = true,
              const char* module = kModule) {
    ScriptVariables variables;
    HRESULT added = variables.AddQuoted("Module", module);
    if (FAILED(added))
        return added;
    return ApplyRegistryScriptText(script.data(), script.size(), variables, registering, registry);
}

HRESULT Register(MemoryRegistry& registry, const std::string& script) {
    return Apply(registry, script, true);
}
HRESULT Unregister(MemoryRegistry& registry, const std::string& script) {
    return Apply(registry, script, false);
}

// The registry after registering `script` on an empty registry, or the error.
std::string Registered(const std::string& script) {
    MemoryRegistry registry;
    HRESULT result = Register(registry, script);
    EXPECT_EQ(0, registry.OpenHandles()) << script;
    if (FAILED(result)) {
        char text[16];
        wsprintfA(text, "error %08lX", static_cast<unsigned long>(result));
        return text;
    }
    return registry.Dump();
}

std::string Repeat(char c, size_t count) {
    return std::string(count, c);
}
} // namespace

// ---- Tokens and quoting ----

TEST(ScriptTokens, DoubledQuotesStandForOneAndQuotesEnclosePunctuation) {
    EXPECT_EQ("HKCR\\a b\nHKCR\\a b [] = S:it's { = } 'x'\n",
              Registered("HKCR { 'a b' = s 'it''s { = } ''x''' }"));
}

TEST(ScriptTokens, EmptyQuotedDataIsAnEmptyText) {
    EXPECT_EQ("HKCR\\k\nHKCR\\k [] = S:\n", Registered("HKCR { k = s '' }"));
}

TEST(ScriptTokens, BracesAreTokensOnlyBetweenWhiteSpace) {
    // "a{" is a key name, and the "}" that closes the root follows.
    EXPECT_EQ("HKCR\\a{\n", Registered("HKCR\r\n{\r\n\ta{\r\n}\r\n"));
    // The root block's "{b}" opens the block; the text then ends inside it.
    EXPECT_EQ("error 80020009", Registered("HKCR {b}"));
}

TEST(ScriptTokens, TokensOfTheLimitAreWrittenWholeAndLongerOnesRefused) {
    std::string limit = Repeat('q', 4094);
    EXPECT_EQ("HKCR\\k\nHKCR\\k [] = S:" + limit + "\n",
              Registered("HKCR { k = s '" + limit + "' }"));
    EXPECT_EQ("HKCR\\k\nHKCR\\k [] = S:" + limit + "\n",
              Registered("HKCR { k = s " + limit + " }"));
    // Doubled quotes count once.
    std::string quotes = Repeat('\'', 2 * 4094);
    EXPECT_EQ("HKCR\\k\nHKCR\\k [] = S:" + Repeat('\'', 4094) + "\n",
              Registered("HKCR { k = s '" + quotes + "' }"));

    EXPECT_EQ("error 80020009", Registered("HKCR { k = s '" + limit + "q' }"));
    EXPECT_EQ("error 80020009", Registered("HKCR { k = s " + limit + "q }"));
    EXPECT_EQ("error 80020009", Registered("HKCR { k = s '" + quotes + "''' }"));
}

TEST(ScriptTokens, QuotedTokenWithoutClosingQuoteIsRefused) {
    EXPECT_EQ("error 80020009", Registered("HKCR { k = s 'open }"));
    EXPECT_EQ("error 80020009", Registered("HKCR { k = s 'open''"));
    EXPECT_EQ("error 80020009", Registered("HKCR { k = s '"));
}

TEST(ScriptTokens, TextEndsAtItsLengthOrAtAZeroByte) {
    MemoryRegistry registry;
    std::string script = "HKCR { a }";
    script += '\0';
    script += "HKCR { b }";
    EXPECT_EQ(S_OK, Register(registry, script));
    EXPECT_EQ("HKCR\\a\n", registry.Dump());

    // Only the given bytes are read, though the buffer goes on.
    const char text[] = "HKCR { a } HKCR { b }";
    ScriptVariables variables;
    EXPECT_EQ(DISP_E_EXCEPTION, ApplyRegistryScriptText(text, 8, variables, true, registry));
}

TEST(ScriptTokens, KeywordsIgnoreCase) {
    MemoryRegistry registry;
    registry.AddKey("HKCR\\gone\\sub");
    EXPECT_EQ(S_OK, Register(registry, "hKcR { FORCEREMOVE gone = S 'v' { VAL n = d 7 } }"));
    EXPECT_EQ("HKCR\\gone\nHKCR\\gone [] = S:v\nHKCR\\gone [n] = D:7\n", registry.Dump());
}

// ---- Substitution ----

TEST(ScriptSubstitution, ModuleNameIgnoresCaseAndPercentPairsStandForOne) {
    EXPECT_EQ(std::string("HKCR\\k\nHKCR\\k [] = S:") + kModule + "|" + kModule + "|%|%d\n",
              Registered("HKCR { k = s '%MODULE%|%module%|%%|%%d' }"));
}

TEST(ScriptSubstitution, SingleQuotesOfTheModulePathAreKept) {
    MemoryRegistry registry;
    EXPECT_EQ(S_OK, Apply(registry, "HKCR { k = s '%MODULE%' }", true, "C:\\it's\\a''b.dll"));
    EXPECT_EQ("HKCR\\k\nHKCR\\k [] = S:C:\\it's\\a''b.dll\n", registry.Dump());
}

TEST(ScriptSubstitution, UnknownAndUnterminatedNamesAreRefused) {
    EXPECT_EQ("error 80020009", Registered("HKCR { k = s '%Other%' }"));
    EXPECT_EQ("error 80020009", Registered("HKCR { k = s '%MODULE' }"));
    EXPECT_EQ("error 80020009", Registered("HKCR { k = s 'x' } %"));
}

TEST(ScriptSubstitution, NamesOf32BytesOrMoreFailWithEFail) {
    EXPECT_EQ("error 80020009", Registered("HKCR { k = s '%" + Repeat('n', 31) + "%' }"));
    EXPECT_EQ("error 80004005", Registered("HKCR { k = s '%" + Repeat('n', 32) + "%' }"));
}

TEST(ScriptSubstitution, TextTooLongForItsBufferGivesEOutOfMemory) {
    // No buffer of twice this length can exist; the text is not read at all.
    MemoryRegistry registry;
    ScriptVariables variables;
    const char text[] = "HKCR { k }";
    EXPECT_EQ(E_OUTOFMEMORY,
              ApplyRegistryScriptText(text, static_cast<size_t>(-1), variables, true, registry));
    EXPECT_EQ("", registry.Dump());
}

TEST(ScriptSubstitution, FailureWritesNothing) {
    MemoryRegistry registry;
    EXPECT_EQ(DISP_E_EXCEPTION, Register(registry, "HKCR { a } HKCR { b = s '%x%' }"));
    EXPECT_EQ("", registry.Dump());
}

// ---- Root names ----

TEST(ScriptRoots, EveryNameOpensItsKey) {
    const char* names[][2] = {
        {"HKCR", "HKCR"}, {"HKEY_CLASSES_ROOT", "HKCR"},
        {"HKCU", "HKCU"}, {"HKEY_CURRENT_USER", "HKCU"},
        {"HKLM", "HKLM"}, {"HKEY_LOCAL_MACHINE", "HKLM"},
        {"HKU", "HKU"},   {"HKEY_USERS", "HKU"},
        {"HKPD", "HKPD"}, {"HKEY_PERFORMANCE_DATA", "HKPD"},
        {"HKDD", "HKDD"}, {"HKEY_DYN_DATA", "HKDD"},
        {"HKCC", "HKCC"}, {"hkey_current_config", "HKCC"},
    };
    for (auto& name : names)
        EXPECT_EQ(std::string(name[1]) + "\\k\n", Registered(std::string(name[0]) + " { k }"));
}

TEST(ScriptRoots, SeveralRootsAndWhiteSpaceBetweenThem) {
    EXPECT_EQ("HKCU\\b\nHKLM\\a\n", Registered(" \r\n\tHKLM { a }\r\n\r\n HKCU { b } \t"));
    EXPECT_EQ("", Registered(""));
    EXPECT_EQ("", Registered(" \r\n\t "));
}

TEST(ScriptRoots, UnknownRootOrMissingBlockIsRefused) {
    EXPECT_EQ("error 80020009", Registered("HKEY_NOWHERE { k }"));
    EXPECT_EQ("error 80020009", Registered("HKCR k { }"));
    EXPECT_EQ("error 80020009", Registered("HKCR"));
    EXPECT_EQ("error 80020009", Registered("HKCR { k } }"));
}

// ---- ForceRemove, NoRemove, Delete ----

TEST(ScriptForceRemove, KeyWithSubkeysIsRemovedAndWrittenAnew) {
    MemoryRegistry registry;
    registry.AddString("HKCR\\k\\deep\\deeper", "x", "old");
    registry.AddString("HKCR\\k", "v", "old");
    registry.AddKey("HKCR\\k\\other");
    registry.AddKey("HKCR\\kept");
    EXPECT_EQ(S_OK, Register(registry, "HKCR { ForceRemove k = s 'new' { sub } }"));
    EXPECT_EQ("HKCR\\k\nHKCR\\k [] = S:new\nHKCR\\k\\sub\nHKCR\\kept\n", registry.Dump());
    EXPECT_EQ(0, registry.OpenHandles());
}

TEST(ScriptForceRemove, NeverDeleteNamesStay) {
    MemoryRegistry registry;
    registry.AddKey("HKCR\\CLSID\\{other}");
    registry.AddKey("HKCR\\TypeLib\\{other}");
    EXPECT_EQ(S_OK, Register(registry, "HKCR { ForceRemove clsid { x } Delete TYPELIB }"));
    EXPECT_EQ("HKCR\\CLSID\nHKCR\\CLSID\\{other}\nHKCR\\CLSID\\x\nHKCR\\TypeLib\n"
              "HKCR\\TypeLib\\{other}\n",
              registry.Dump());
}

TEST(ScriptForceRemove, MayBeFollowedByNoRemove) {
    MemoryRegistry registry;
    registry.AddKey("HKCR\\k\\old");
    EXPECT_EQ(S_OK, Register(registry, "HKCR { ForceRemove NoRemove k = s 'v' }"));
    EXPECT_EQ("HKCR\\k\nHKCR\\k [] = S:v\n", registry.Dump());
    EXPECT_EQ(S_OK, Unregister(registry, "HKCR { ForceRemove NoRemove k = s 'v' }"));
    EXPECT_EQ("HKCR\\k\nHKCR\\k [] = S:v\n", registry.Dump());
}

TEST(ScriptForceRemove, AbsentOrUndeletableKeyIsPassedOver) {
    MemoryRegistry registry;
    registry.AddKey("HKCR\\k\\locked");
    registry.readOnlyKeys.insert("HKCR\\k\\locked");
    EXPECT_EQ(S_OK, Register(registry, "HKCR { ForceRemove absent ForceRemove k = s 'v' }"));
    EXPECT_EQ("HKCR\\absent\nHKCR\\k\nHKCR\\k [] = S:v\nHKCR\\k\\locked\n", registry.Dump());
}

TEST(ScriptNoRemove, KeyStaysButWhatItsBlockNamesGoes) {
    const char script[] = "HKCR { NoRemove k = s 'v' { sub = s 'x' { val n = s 'y' } } }";
    MemoryRegistry registry;
    ASSERT_EQ(S_OK, Register(registry, script));
    registry.AddString("HKCR\\k", "foreign", "f");
    EXPECT_EQ(S_OK, Unregister(registry, script));
    // The default value is not an entry of the unregister pass: the key keeps it.
    EXPECT_EQ("HKCR\\k\nHKCR\\k [] = S:v\nHKCR\\k [foreign] = S:f\n", registry.Dump());
    EXPECT_EQ(0, registry.OpenHandles());
}

TEST(ScriptDelete, RemovesTheTreeAndCreatesNothing) {
    MemoryRegistry registry;
    registry.AddString("HKCR\\gone\\sub", "x", "y");
    EXPECT_EQ(S_OK, Register(registry, "HKCR { Delete gone = s 'ignored' Delete absent k }"));
    EXPECT_EQ("HKCR\\k\n", registry.Dump());
}

TEST(ScriptDelete, IsAKeyEntryInTheUnregisterPass) {
    MemoryRegistry registry;
    registry.AddString("HKCR\\k", "x", "y");
    EXPECT_EQ(S_OK, Unregister(registry, "HKCR { Delete k = s 'v' }"));
    EXPECT_EQ("", registry.Dump());
}

TEST(ScriptDelete, WithABlockIsRefused) {
    EXPECT_EQ("error 80020009", Registered("HKCR { Delete k { sub } }"));
}

// ---- Types ----

TEST(ScriptTypes, TextIsWrittenWithItsZero) {
    MemoryRegistry registry;
    EXPECT_EQ(S_OK, Register(registry, "HKCR { k { val n = s 'abc' } }"));
    EXPECT_EQ("HKCR\\k\nHKCR\\k [n] = S:abc\n", registry.Dump());
}

TEST(ScriptTypes, NumbersAreConvertedAndOtherTextRefused) {
    EXPECT_EQ("HKCR\\k\nHKCR\\k [] = D:4294967295\nHKCR\\k [n] = D:12\n",
              Registered("HKCR { k = d 4294967295 { val n = D '12' } }"));
    EXPECT_EQ("error 80020009", Registered("HKCR { k = d 'twelve' }"));
    EXPECT_EQ("error 80020009", Registered("HKCR { k = d '' }"));
    EXPECT_EQ("error 80020009", Registered("HKCR { k = d 4294967296 }"));
}

TEST(ScriptTypes, BytesArePairsOfDigitsHighFirst) {
    EXPECT_EQ("HKCR\\k\nHKCR\\k [] = B:00ff1a00\nHKCR\\k [e] = B:\n",
              Registered("HKCR { k = b 00Ff1azz { val e = B '' } }"));
    EXPECT_EQ("error 80004005", Registered("HKCR { k = b 0ff }"));
    EXPECT_EQ("error 80004005", Registered("HKCR { k { val n = b 1 } }"));
}

TEST(ScriptTypes, OtherLettersAreRefused) {
    EXPECT_EQ("error 80020009", Registered("HKCR { k = x 'v' }"));
    EXPECT_EQ("error 80020009", Registered("HKCR { k = ss 'v' }"));
    EXPECT_EQ("error 80020009", Registered("HKCR { k = '' 'v' }"));
    EXPECT_EQ("error 80020009", Registered("HKCR { k { val n = m 'v' } }"));
}

// ---- Names ----

TEST(ScriptNames, ValueNameNeedsItsEqualsSign) {
    EXPECT_EQ("error 80020009", Registered("HKCR { k { val n s 'v' } }"));
    EXPECT_EQ("error 80020009", Registered("HKCR { k { val n } }"));
}

TEST(ScriptNames, KeyNamesHoldNoBackslashAndAreNotEmpty) {
    EXPECT_EQ("error 80020009", Registered("HKCR { a\\b }"));
    EXPECT_EQ("error 80020009", Registered("HKCR { 'a\\b' = s 'v' }"));
    EXPECT_EQ("error 80020009", Registered("HKCR { '' = s 'v' }"));
}

TEST(ScriptNames, ValueNamesAndUnregisteredKeyNamesHoldAt259Bytes) {
    std::string name = Repeat('n', 259);
    EXPECT_EQ("HKCR\\k\nHKCR\\k [" + name + "] = S:v\n",
              Registered("HKCR { k { val " + name + " = s 'v' } }"));
    EXPECT_EQ("error 80020009", Registered("HKCR { k { val " + name + "n = s 'v' } }"));

    MemoryRegistry registry;
    EXPECT_EQ(S_OK, Unregister(registry, "HKCR { " + name + " }"));
    EXPECT_EQ(DISP_E_EXCEPTION, Unregister(registry, "HKCR { " + name + "n }"));
}

TEST(ScriptNames, ValueEntryTakesNoBlock) {
    EXPECT_EQ("error 80020009", Registered("HKCR { k { val n = s 'v' { x } } }"));
}

TEST(ScriptNames, NestingDeeperThanTheRegistryIsRefused) {
    std::string deep = "HKCR {";
    for (int i = 0; i < 600; ++i)
        deep += " k {";
    MemoryRegistry registry;
    EXPECT_EQ(DISP_E_EXCEPTION, Unregister(registry, deep));
    EXPECT_EQ(DISP_E_EXCEPTION, Register(registry, deep));
    EXPECT_EQ("", registry.Dump());
    EXPECT_EQ(0, registry.OpenHandles());
}

// ---- Unregister pass ----

TEST(ScriptUnregister, RemovesWhatTheScriptNamesAndKeepsForeignKeys) {
    const char script[] = "HKCR { a = s 'x' { val n = s 'y' b } c }";
    MemoryRegistry registry;
    ASSERT_EQ(S_OK, Register(registry, script));
    registry.AddKey("HKCR\\a\\foreign");
    registry.AddString("HKCR\\a", "m", "kept");
    EXPECT_EQ(S_OK, Unregister(registry, script));
    EXPECT_EQ("HKCR\\a\nHKCR\\a [] = S:x\nHKCR\\a [m] = S:kept\nHKCR\\a\\foreign\n",
              registry.Dump());
    EXPECT_EQ(0, registry.OpenHandles());
}

TEST(ScriptUnregister, NothingRegisteredDeletesNothing) {
    MemoryRegistry registry;
    registry.AddString("HKCR", "n", "parent's own");
    EXPECT_EQ(S_OK, Unregister(registry, "HKCR { absent { val n = s 'y' deeper { x } } }"));
    EXPECT_EQ("HKCR [n] = S:parent's own\n", registry.Dump());
}

TEST(ScriptUnregister, ReadOnlyKeyIsReadAndWhatCanGoGoes) {
    MemoryRegistry registry;
    registry.AddString("HKCR\\ro", "n", "stays");
    registry.AddString("HKCR\\ro\\sub", "m", "goes");
    registry.readOnlyKeys.insert("HKCR\\ro");
    EXPECT_EQ(S_OK, Unregister(registry, "HKCR { ro { val n = s 'y' sub { val m = s 'z' } } }"));
    EXPECT_EQ("HKCR\\ro\nHKCR\\ro [n] = S:stays\n", registry.Dump());
}

TEST(ScriptUnregister, KeyThatFailsToCloseFailsThePass) {
    MemoryRegistry registry;
    registry.AddKey("HKCR\\k");
    registry.failCloseOf.insert("HKCR\\k");
    EXPECT_EQ(DISP_E_EXCEPTION, Unregister(registry, "HKCR { k }"));
    EXPECT_EQ("HKCR\\k\n", registry.Dump());
    EXPECT_EQ(0, registry.OpenHandles());
}

// ---- Register pass failures and rollback ----

TEST(ScriptRollback, FailingBlockTakesBackWhatItWrote) {
    MemoryRegistry registry;
    EXPECT_EQ(E_FAIL, Register(registry, "HKCR { a = s 'x' { val n = s 'y' b } c = b 123 }"));
    EXPECT_EQ("", registry.Dump());
    EXPECT_EQ(0, registry.OpenHandles());
}

TEST(ScriptRollback, EarlierRootBlocksKeepTheirEntries) {
    MemoryRegistry registry;
    EXPECT_EQ(DISP_E_EXCEPTION, Register(registry, "HKCU { kept } HKCR { gone { x = q 'v' } }"));
    EXPECT_EQ("HKCU\\kept\n", registry.Dump());
}

TEST(ScriptRollback, ValuesWrittenIntoExistingKeysAreDeleted) {
    // The values of an existing key can only go when the pass opens it for writing.
    MemoryRegistry registry;
    registry.AddString("HKCR\\existing", "old", "kept");
    registry.AddKey("HKCR\\existing\\sub");
    EXPECT_EQ(DISP_E_EXCEPTION,
              Register(registry, "HKCR { existing { val new = s 'v' } broken\\name }"));
    EXPECT_EQ("HKCR\\existing\nHKCR\\existing [old] = S:kept\nHKCR\\existing\\sub\n",
              registry.Dump());
}

TEST(ScriptRollback, KeyThatCannotBeCreatedFailsAtTheFirstKey) {
    MemoryRegistry registry;
    registry.noCreateUnder.insert("HKCR");
    EXPECT_EQ(DISP_E_EXCEPTION, Register(registry, "HKCR { a = s 'v' { b } }"));
    EXPECT_EQ("", registry.Dump());

    registry.noCreateUnder = {"HKCR\\a"};
    EXPECT_EQ(DISP_E_EXCEPTION, Register(registry, "HKCR { a = s 'v' { b } }"));
    EXPECT_EQ("", registry.Dump());
    EXPECT_EQ(0, registry.OpenHandles());
}

TEST(ScriptRollback, ReadOnlyKeyIsOpenedAndKeepsItsValue) {
    MemoryRegistry registry;
    registry.AddString("HKCR\\ro", "", "old");
    registry.readOnlyKeys.insert("HKCR\\ro");
    EXPECT_EQ(S_OK, Register(registry, "HKCR { ro = s 'new' }"));
    EXPECT_EQ("HKCR\\ro\nHKCR\\ro [] = S:old\n", registry.Dump());
}

TEST(ScriptErrors, TextEndingInsideABlockIsRefused) {
    for (const char* script : {"HKCR {", "HKCR { k {", "HKCR { k = ", "HKCR { k = s", "HKCR { val",
                               "HKCR { val n =", "HKCR { ForceRemove", "HKCR { NoRemove",
                               "HKCR { Delete", "HKCR { k { }"})
        EXPECT_EQ("error 80020009", Registered(script)) << script;
}
