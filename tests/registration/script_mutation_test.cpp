// Damaged and random scripts: whatever the text, the reader ends with one of its result codes and
// leaves no key open.
#include "registration/memory_registry.h"
#include "registration/resources.h"
#include "registration/script.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {
constexpr unsigned kSeed = 20261208;
constexpr int kRuns = 1500;

// The library's own script, which this program carries as its resource too.
std::string LibraryScript() {
    HRSRC resource =
        ::FindResourceA(nullptr, MAKEINTRESOURCEA(TANDREL_IDR_AFFINITY_MANAGER), "REGISTRY");
    if (resource == nullptr)
        return {};
    auto* bytes = static_cast<const char*>(::LockResource(::LoadResource(nullptr, resource)));
    return std::string(bytes, ::SizeofResource(nullptr, resource));
}

bool IsReaderResult(HRESULT result) {
    return result == S_OK || result == DISP_E_EXCEPTION || result == E_FAIL;
}

void ExpectEndsCleanly(const std::string& script) {
    ScriptVariables variables;
    ASSERT_EQ(S_OK, variables.AddQuoted("Module", "C:\\x'y\\Tandrel Pro BE.dll"));
    for (bool registering : {true, false}) {
        MemoryRegistry registry;
        registry.AddKey("HKCR\\CLSID\\{other}");
        HRESULT result =
            ApplyRegistryScriptText(script.data(), script.size(), variables, registering, registry);
        EXPECT_TRUE(IsReaderResult(result)) << std::hex << result << " for: " << script;
        EXPECT_EQ(0, registry.OpenHandles()) << script;
    }
}

char InterestingByte(std::mt19937& random) {
    static const char bytes[] = {'{', '}', '\'', '%', '=', ' ', '\t',   '\r',   '\n', '\\',
                                 's', 'D', 'b',  '0', 'f', 'x', '\x81', '\xff', '\0'};
    std::uniform_int_distribution<int> pick(0, sizeof bytes);
    int index = pick(random);
    return index < static_cast<int>(sizeof bytes) ? bytes[index]
                                                  : static_cast<char>(random() & 0xff);
}

std::string Mutate(std::string text, std::mt19937& random) {
    int mutations = 1 + random() % 4;
    for (int i = 0; i < mutations && !text.empty(); ++i) {
        size_t at = random() % text.size();
        switch (random() % 5) {
        case 0:
            text[at] = InterestingByte(random);
            break;
        case 1:
            text.insert(text.begin() + at, InterestingByte(random));
            break;
        case 2:
            text.erase(at, 1 + random() % 16);
            break;
        case 3:
            text.resize(at);
            break;
        default:
            text.insert(at, text.substr(random() % text.size(), random() % 64));
            break;
        }
    }
    return text;
}

std::string TokenSoup(std::mt19937& random) {
    static const char* tokens[] = {
        "HKCR", "HKCU",        "{",        "}",      "val",   "=",    "s",          "d",
        "b",    "ForceRemove", "NoRemove", "Delete", "'a b'", "k",    "'%MODULE%'", "%%",
        "12",   "0a",          "'",        "CLSID",  "''",    "x\\y", "%Module%"};
    static const char* spaces[] = {" ", "\t", "\r\n", "  "};
    std::string text;
    int count = random() % 40;
    for (int i = 0; i < count; ++i) {
        text += tokens[random() % (sizeof tokens / sizeof *tokens)];
        text += spaces[random() % 4];
    }
    return text;
}
} // namespace

TEST(ScriptMutation, TheLibraryScriptItselfRegistersAndUnregisters) {
    std::string script = LibraryScript();
    ASSERT_FALSE(script.empty());
    ExpectEndsCleanly(script);
}

TEST(ScriptMutation, DamagedLibraryScriptsEndWithAResultCode) {
    std::string script = LibraryScript();
    ASSERT_FALSE(script.empty());
    std::mt19937 random(kSeed);
    for (int i = 0; i < kRuns && !HasFailure(); ++i)
        ExpectEndsCleanly(Mutate(script, random));
}

TEST(ScriptMutation, RandomTokensEndWithAResultCode) {
    std::mt19937 random(kSeed + 1);
    for (int i = 0; i < kRuns && !HasFailure(); ++i)
        ExpectEndsCleanly("HKCR { " + TokenSoup(random));
}

TEST(ScriptMutation, RandomBytesEndWithAResultCode) {
    std::mt19937 random(kSeed + 2);
    for (int i = 0; i < kRuns && !HasFailure(); ++i) {
        std::string text(random() % 200, '\0');
        for (char& c : text)
            c = InterestingByte(random);
        ExpectEndsCleanly(text);
    }
}
