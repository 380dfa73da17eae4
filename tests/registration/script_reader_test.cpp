// The registry script reader on an in-memory registry: one group per rule of the script format.
#include "registration/memory_registry.h"
#include "registration/script.h"

#include <gtest/gtest.h>

#include <initializer_list>
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

// Runs one pass over `registry` and checks its result and what the registry holds after it.
void ExpectPass(MemoryRegistry& registry, bool registering, const std::string& script,
                HRESULT expected, const std::string& expectedDump) {
    SCOPED_TRACE(script);
    EXPECT_EQ(expected, Apply(registry, script, registering));
    EXPECT_EQ(expectedDump, registry.Dump());
}
void ExpectRegister(MemoryRegistry& registry, const std::string& script, HRESULT expected,
                    const std::string& expectedDump) {
    ExpectPass(registry, true, script, expected, expectedDump);
}
void ExpectUnregister(MemoryRegistry& registry, const std::string& script, HRESULT expected,
                      const std::string& expectedDump) {
    ExpectPass(registry, false, script, expected, expectedDump);
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

// Each script fails whole with DISP_E_EXCEPTION, the reader's answer to text it cannot read.
void ExpectRefused(std::initializer_list<std::string> scripts) {
    for (const std::string& script : scripts)
        EXPECT_EQ("error 80020009", Registered(script)) << script;
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

    ExpectRefused({"HKCR { k = s '" + limit + "q' }", "HKCR { k = s " + limit + "q }",
                   "HKCR { k = s '" + quotes + "''' }"});
}

TEST(ScriptTokens, QuotedTokenWithoutClosingQuoteIsRefused) {
    ExpectRefused({"HKCR { k = s 'open }", "HKCR { k = s 'open''", "HKCR { k = s '"});
}

TEST(ScriptTokens, TextEndsAtItsLengthOrAtAZeroByte) {
    MemoryRegistry registry;
    std::string script = "HKCR { a }";
    script += '\0';
    script += "HKCR { b }";
    ExpectRegister(registry, script, S_OK, "HKCR\\a\n");

    // Only the given bytes are read, though the buffer goes on.
    const char text[] = "HKCR { a } HKCR { b }";
    ScriptVariables variables;
    EXPECT_EQ(DISP_E_EXCEPTION, ApplyRegistryScriptText(text, 8, variables, true, registry));
}

TEST(ScriptTokens, KeywordsIgnoreCase) {
    MemoryRegistry registry;
    registry.AddKey("HKCR\\gone\\sub");
    ExpectRegister(registry, "hKcR { FORCEREMOVE gone = S 'v' { VAL n = d 7 } }", S_OK,
                   "HKCR\\gone\nHKCR\\gone [] = S:v\nHKCR\\gone [n] = D:7\n");
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
    ExpectRefused({"HKCR { k = s '%Other%' }", "HKCR { k = s '%MODULE' }", "HKCR { k = s 'x' } %"});
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
    ExpectRegister(registry, "HKCR { a } HKCR { b = s '%x%' }", DISP_E_EXCEPTION, "");
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
    ExpectRefused({"HKEY_NOWHERE { k }", "HKCR k { }", "HKCR", "HKCR { k } }"});
}

// ---- ForceRemove, NoRemove, Delete ----

TEST(ScriptForceRemove, KeyWithSubkeysIsRemovedAndWrittenAnew) {
    MemoryRegistry registry;
    registry.AddString("HKCR\\k\\deep\\deeper", "x", "old");
    registry.AddString("HKCR\\k", "v", "old");
    registry.AddKey("HKCR\\k\\other");
    registry.AddKey("HKCR\\kept");
    ExpectRegister(registry, "HKCR { ForceRemove k = s 'new' { sub } }", S_OK,
                   "HKCR\\k\nHKCR\\k [] = S:new\nHKCR\\k\\sub\nHKCR\\kept\n");
    EXPECT_EQ(0, registry.OpenHandles());
}

TEST(ScriptForceRemove, NeverDeleteNamesStay) {
    MemoryRegistry registry;
    registry.AddKey("HKCR\\CLSID\\{other}");
    registry.AddKey("HKCR\\TypeLib\\{other}");
    ExpectRegister(registry, "HKCR { ForceRemove clsid { x } Delete TYPELIB }", S_OK,
                   "HKCR\\CLSID\nHKCR\\CLSID\\{other}\nHKCR\\CLSID\\x\nHKCR\\TypeLib\n"
                   "HKCR\\TypeLib\\{other}\n");
}

TEST(ScriptForceRemove, MayBeFollowedByNoRemove) {
    MemoryRegistry registry;
    registry.AddKey("HKCR\\k\\old");
    ExpectRegister(registry, "HKCR { ForceRemove NoRemove k = s 'v' }", S_OK,
                   "HKCR\\k\nHKCR\\k [] = S:v\n");
    ExpectUnregister(registry, "HKCR { ForceRemove NoRemove k = s 'v' }", S_OK,
                     "HKCR\\k\nHKCR\\k [] = S:v\n");
}

TEST(ScriptForceRemove, AbsentOrUndeletableKeyIsPassedOver) {
    MemoryRegistry registry;
    registry.AddKey("HKCR\\k\\locked");
    registry.readOnlyKeys.insert("HKCR\\k\\locked");
    ExpectRegister(registry, "HKCR { ForceRemove absent ForceRemove k = s 'v' }", S_OK,
                   "HKCR\\absent\nHKCR\\k\nHKCR\\k [] = S:v\nHKCR\\k\\locked\n");
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
    ExpectRegister(registry, "HKCR { Delete gone = s 'ignored' Delete absent k }", S_OK,
                   "HKCR\\k\n");
}

TEST(ScriptDelete, IsAKeyEntryInTheUnregisterPass) {
    MemoryRegistry registry;
    registry.AddString("HKCR\\k", "x", "y");
    ExpectUnregister(registry, "HKCR { Delete k = s 'v' }", S_OK, "");
}

TEST(ScriptDelete, WithABlockIsRefused) {
    EXPECT_EQ("error 80020009", Registered("HKCR { Delete k { sub } }"));
}

// ---- Types ----

TEST(ScriptTypes, TextIsWrittenWithItsZero) {
    MemoryRegistry registry;
    ExpectRegister(registry, "HKCR { k { val n = s 'abc' } }", S_OK,
                   "HKCR\\k\nHKCR\\k [n] = S:abc\n");
}

TEST(ScriptTypes, NumbersAreConvertedAndOtherTextRefused) {
    EXPECT_EQ("HKCR\\k\nHKCR\\k [] = D:4294967295\nHKCR\\k [n] = D:12\n",
              Registered("HKCR { k = d 4294967295 { val n = D '12' } }"));
    ExpectRefused({"HKCR { k = d 'twelve' }", "HKCR { k = d '' }", "HKCR { k = d 4294967296 }"});
}

TEST(ScriptTypes, BytesArePairsOfDigitsHighFirst) {
    EXPECT_EQ("HKCR\\k\nHKCR\\k [] = B:00ff1a00\nHKCR\\k [e] = B:\n",
              Registered("HKCR { k = b 00Ff1azz { val e = B '' } }"));
    EXPECT_EQ("error 80004005", Registered("HKCR { k = b 0ff }"));
    EXPECT_EQ("error 80004005", Registered("HKCR { k { val n = b 1 } }"));
}

TEST(ScriptTypes, OtherLettersAreRefused) {
    ExpectRefused({"HKCR { k = x 'v' }", "HKCR { k = ss 'v' }", "HKCR { k = '' 'v' }",
                   "HKCR { k { val n = m 'v' } }"});
}

// ---- Names ----

TEST(ScriptNames, ValueNameNeedsItsEqualsSign) {
    ExpectRefused({"HKCR { k { val n s 'v' } }", "HKCR { k { val n } }"});
}

TEST(ScriptNames, KeyNamesHoldNoBackslashAndAreNotEmpty) {
    ExpectRefused({"HKCR { a\\b }", "HKCR { 'a\\b' = s 'v' }", "HKCR { '' = s 'v' }"});
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
    ExpectRegister(registry, deep, DISP_E_EXCEPTION, "");
    EXPECT_EQ(0, registry.OpenHandles());
}

// ---- Unregister pass ----

TEST(ScriptUnregister, RemovesWhatTheScriptNamesAndKeepsForeignKeys) {
    const char script[] = "HKCR { a = s 'x' { val n = s 'y' b } c }";
    MemoryRegistry registry;
    ASSERT_EQ(S_OK, Register(registry, script));
    registry.AddKey("HKCR\\a\\foreign");
    registry.AddString("HKCR\\a", "m", "kept");
    ExpectUnregister(registry, script, S_OK,
                     "HKCR\\a\nHKCR\\a [] = S:x\nHKCR\\a [m] = S:kept\nHKCR\\a\\foreign\n");
    EXPECT_EQ(0, registry.OpenHandles());
}

TEST(ScriptUnregister, NothingRegisteredDeletesNothing) {
    MemoryRegistry registry;
    registry.AddString("HKCR", "n", "parent's own");
    ExpectUnregister(registry, "HKCR { absent { val n = s 'y' deeper { x } } }", S_OK,
                     "HKCR [n] = S:parent's own\n");
}

TEST(ScriptUnregister, ReadOnlyKeyIsReadAndWhatCanGoGoes) {
    MemoryRegistry registry;
    registry.AddString("HKCR\\ro", "n", "stays");
    registry.AddString("HKCR\\ro\\sub", "m", "goes");
    registry.readOnlyKeys.insert("HKCR\\ro");
    ExpectUnregister(registry, "HKCR { ro { val n = s 'y' sub { val m = s 'z' } } }", S_OK,
                     "HKCR\\ro\nHKCR\\ro [n] = S:stays\n");
}

TEST(ScriptUnregister, KeyThatFailsToCloseFailsThePass) {
    MemoryRegistry registry;
    registry.AddKey("HKCR\\k");
    registry.failCloseOf.insert("HKCR\\k");
    ExpectUnregister(registry, "HKCR { k }", DISP_E_EXCEPTION, "HKCR\\k\n");
    EXPECT_EQ(0, registry.OpenHandles());
}

// ---- Register pass failures and rollback ----

TEST(ScriptRollback, FailingBlockTakesBackWhatItWrote) {
    MemoryRegistry registry;
    ExpectRegister(registry, "HKCR { a = s 'x' { val n = s 'y' b } c = b 123 }", E_FAIL, "");
    EXPECT_EQ(0, registry.OpenHandles());
}

TEST(ScriptRollback, EarlierRootBlocksKeepTheirEntries) {
    MemoryRegistry registry;
    ExpectRegister(registry, "HKCU { kept } HKCR { gone { x = q 'v' } }", DISP_E_EXCEPTION,
                   "HKCU\\kept\n");
}

TEST(ScriptRollback, ValuesWrittenIntoExistingKeysAreDeleted) {
    // The values of an existing key can only go when the pass opens it for writing.
    MemoryRegistry registry;
    registry.AddString("HKCR\\existing", "old", "kept");
    registry.AddKey("HKCR\\existing\\sub");
    ExpectRegister(registry, "HKCR { existing { val new = s 'v' } broken\\name }", DISP_E_EXCEPTION,
                   "HKCR\\existing\nHKCR\\existing [old] = S:kept\nHKCR\\existing\\sub\n");
}

TEST(ScriptRollback, KeyThatCannotBeCreatedFailsAtTheFirstKey) {
    MemoryRegistry registry;
    registry.noCreateUnder.insert("HKCR");
    ExpectRegister(registry, "HKCR { a = s 'v' { b } }", DISP_E_EXCEPTION, "");

    registry.noCreateUnder = {"HKCR\\a"};
    ExpectRegister(registry, "HKCR { a = s 'v' { b } }", DISP_E_EXCEPTION, "");
    EXPECT_EQ(0, registry.OpenHandles());
}

TEST(ScriptRollback, ReadOnlyKeyIsOpenedAndKeepsItsValue) {
    MemoryRegistry registry;
    registry.AddString("HKCR\\ro", "", "old");
    registry.readOnlyKeys.insert("HKCR\\ro");
    ExpectRegister(registry, "HKCR { ro = s 'new' }", S_OK, "HKCR\\ro\nHKCR\\ro [] = S:old\n");
}

TEST(ScriptErrors, TextEndingInsideABlockIsRefused) {
    ExpectRefused({"HKCR {", "HKCR { k {", "HKCR { k = ", "HKCR { k = s", "HKCR { val",
                   "HKCR { val n =", "HKCR { ForceRemove", "HKCR { NoRemove", "HKCR { Delete",
                   "HKCR { k { }"});
}
