#include "registration/script_reader.h"

#include <oleauto.h>

#include <string>

namespace {
constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;

struct RootName {
    const char* name;
    HKEY key;
};
const RootName kRootNames[] = {
    {"HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKCU", HKEY_CURRENT_USER},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKU", HKEY_USERS},
    {"HKEY_USERS", HKEY_USERS},
    {"HKPD", HKEY_PERFORMANCE_DATA},
    {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {"HKDD", HKEY_DYN_DATA},
    {"HKEY_DYN_DATA", HKEY_DYN_DATA},
    {"HKCC", HKEY_CURRENT_CONFIG},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

HKEY LookUpRoot(const std::string& name) {
    for (const RootName& root : kRootNames) {
        if (SameText(name, root.name))
            return root.key;
    }
    return nullptr;
}

// Keys that "ForceRemove" and "Delete" never take away: other classes and libraries live there.
bool IsNeverDeleted(const std::string& name) {
    return SameText(name, "CLSID") || SameText(name, "TYPELIB");
}

// A trail byte may have the backslash's value without being one.
bool HoldsBackslash(const std::string& name) {
    for (size_t pos = 0; pos < name.size(); pos += CharBytes(name.data(), name.size(), pos)) {
        if (name[pos] == '\\')
            return true;
    }
    return false;
}

struct Assignment {
    bool present = false;
    char type = 0; // 'S', 'D' or 'B'
    std::string data;
};

struct Entry {
    bool isValue = false;
    bool forceRemove = false;
    bool deleteKey = false;
    bool noRemove = false;
    std::string name;
    Assignment assignment;
    bool hasBlock = false; // the block's "{" has been read
};

enum class Pass { Register, Unregister };

class DepthGuard {
  public:
    explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

  private:
    int& depth_;
};

class ScriptReader {
  public:
    ScriptReader(ScriptTokenizer& tokens, RegistryAccess& registry)
        : tokens_(tokens), registry_(registry) {}

    HRESULT ApplyRoots(bool registering);

  private:
    HRESULT ReadToken(ScriptToken& token);
    HRESULT ReadAssignment(Assignment& assignment);
    HRESULT ReadValueEntry(Entry& entry);
    HRESULT ReadKeyEntry(Entry& entry, ScriptToken& token, Pass pass);
    HRESULT ReadEntry(Entry& entry, bool& blockEnded, Pass pass);

    HRESULT WriteValue(HKEY key, const std::string& name, const Assignment& assignment);
    LONG DeleteKeyTree(HKEY parent, const char* name);
    HRESULT RegisterBlock(HKEY parent);
    HRESULT RegisterKey(HKEY parent, const Entry& entry);
    HRESULT UnregisterBlock(HKEY parent, bool skip);
    HRESULT UnregisterKey(HKEY parent, const Entry& entry, bool skip);

    HRESULT StopRollbackOr(HRESULT error);

    ScriptTokenizer& tokens_;
    RegistryAccess& registry_;
    int depth_ = 0;
    bool rollingBack_ = false;
    bool rollbackStopped_ = false;
};

// A token inside a block: the text must not end there.
HRESULT ScriptReader::ReadToken(ScriptToken& token) {
    HRESULT result = tokens_.Next(token);
    if (FAILED(result))
        return result;
    return token.atEnd ? DISP_E_EXCEPTION : S_OK;
}

HRESULT ScriptReader::ReadAssignment(Assignment& assignment) {
    ScriptToken type;
    HRESULT result = ReadToken(type);
    if (FAILED(result))
        return result;
    char letter = 0;
    for (char candidate : {'S', 'D', 'B'}) {
        const char name[] = {candidate, '\0'};
        if (SameText(type.text, name))
            letter = candidate;
    }
    if (letter == 0)
        return DISP_E_EXCEPTION;
    ScriptToken data;
    result = ReadToken(data);
    if (FAILED(result))
        return result;
    assignment.present = true;
    assignment.type = letter;
    assignment.data = std::move(data.text);
    return S_OK;
}

HRESULT ScriptReader::ReadValueEntry(Entry& entry) {
    entry.isValue = true;
    ScriptToken name;
    HRESULT result = ReadToken(name);
    if (FAILED(result))
        return result;
    if (name.text.size() > kMaxNameBytes || !tokens_.Accept("="))
        return DISP_E_EXCEPTION;
    entry.name = std::move(name.text);
    result = ReadAssignment(entry.assignment);
    if (FAILED(result))
        return result;
    // A value holds no subkeys; a block here would be read as entries of the wrong key.
    return tokens_.Accept("{") ? DISP_E_EXCEPTION : S_OK;
}

HRESULT ScriptReader::ReadKeyEntry(Entry& entry, ScriptToken& token, Pass pass) {
    HRESULT result = S_OK;
    if (SameText(token.text, "ForceRemove") || SameText(token.text, "Delete")) {
        entry.forceRemove = SameText(token.text, "ForceRemove");
        entry.deleteKey = !entry.forceRemove;
        result = ReadToken(token);
    }
    if (SUCCEEDED(result) && SameText(token.text, "NoRemove")) {
        entry.noRemove = true;
        result = ReadToken(token);
    }
    if (FAILED(result))
        return result;
    // An empty name would stand for the parent itself, which no entry may remove.
    if (token.text.empty() || HoldsBackslash(token.text))
        return DISP_E_EXCEPTION;
    if (pass == Pass::Unregister && token.text.size() > kMaxNameBytes)
        return DISP_E_EXCEPTION;
    entry.name = std::move(token.text);
    if (tokens_.Accept("=")) {
        result = ReadAssignment(entry.assignment);
        if (FAILED(result))
            return result;
    }
    entry.hasBlock = tokens_.Accept("{");
    return entry.deleteKey && entry.hasBlock ? DISP_E_EXCEPTION : S_OK;
}

HRESULT ScriptReader::ReadEntry(Entry& entry, bool& blockEnded, Pass pass) {
    ScriptToken token;
    HRESULT result = ReadToken(token);
    if (FAILED(result))
        return result;
    blockEnded = token.text == "}";
    if (blockEnded)
        return S_OK;
    if (SameText(token.text, "val"))
        return ReadValueEntry(entry);
    return ReadKeyEntry(entry, token, pass);
}

HRESULT ScriptReader::WriteValue(HKEY key, const std::string& name, const Assignment& assignment) {
    // The result of writing is not examined: a key that could only be opened for reading keeps
    // its old value, and the script goes on.
    switch (assignment.type) {
    case 'S':
        registry_.SetValue(key, name.c_str(), REG_SZ,
                           reinterpret_cast<const BYTE*>(assignment.data.c_str()),
                           static_cast<DWORD>(assignment.data.size() + 1));
        return S_OK;
    case 'D': {
        std::wstring wide(assignment.data.size() + 1, L'\0');
        ::MultiByteToWideChar(CP_ACP, 0, assignment.data.c_str(), -1, wide.data(),
                              static_cast<int>(wide.size()));
        ULONG number = 0;
        if (FAILED(::VarUI4FromStr(wide.data(), 0, 0, &number)))
            return DISP_E_EXCEPTION;
        DWORD value = number;
        registry_.SetValue(key, name.c_str(), REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                           sizeof value);
        return S_OK;
    }
    default: {
        const std::string& digits = assignment.data;
        if (digits.size() % 2 != 0)
            return E_FAIL;
        auto nibble = [](char c) -> BYTE {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'a' && c <= 'f')
                return c - 'a' + 10;
            if (c >= 'A' && c <= 'F')
                return c - 'A' + 10;
            return 0;
        };
        std::basic_string<BYTE> bytes;
        for (size_t i = 0; i < digits.size(); i += 2)
            bytes.push_back(static_cast<BYTE>(nibble(digits[i]) << 4 | nibble(digits[i + 1])));
        registry_.SetValue(key, name.c_str(), REG_BINARY, bytes.data(),
                           static_cast<DWORD>(bytes.size()));
        return S_OK;
    }
    }
}

LONG ScriptReader::DeleteKeyTree(HKEY parent, const char* name) {
    ScriptKey key(registry_);
    LONG status = registry_.OpenKey(parent, name, kReadWrite, key.Receive());
    if (status != ERROR_SUCCESS)
        return status;
    for (;;) {
        char subkey[256];
        DWORD size = sizeof subkey;
        if (registry_.EnumKey(key.get(), 0, subkey, &size) != ERROR_SUCCESS)
            break;
        status = DeleteKeyTree(key.get(), subkey);
        if (status != ERROR_SUCCESS)
            return status;
    }
    key.Close();
    return registry_.DeleteKey(parent, name);
}

HRESULT ScriptReader::RegisterBlock(HKEY parent) {
    DepthGuard depth(depth_);
    if (depth_ > kMaxBlockDepth)
        return DISP_E_EXCEPTION;
    for (;;) {
        Entry entry;
        bool blockEnded = false;
        HRESULT result = ReadEntry(entry, blockEnded, Pass::Register);
        if (SUCCEEDED(result) && blockEnded)
            return S_OK;
        if (SUCCEEDED(result))
            result = entry.isValue ? WriteValue(parent, entry.name, entry.assignment)
                                   : RegisterKey(parent, entry);
        if (FAILED(result))
            return result;
    }
}

HRESULT ScriptReader::RegisterKey(HKEY parent, const Entry& entry) {
    if ((entry.forceRemove || entry.deleteKey) && !IsNeverDeleted(entry.name))
        DeleteKeyTree(parent, entry.name.c_str());
    if (entry.deleteKey)
        return S_OK;

    ScriptKey key(registry_);
    const char* name = entry.name.c_str();
    if (registry_.OpenKey(parent, name, KEY_ALL_ACCESS, key.Receive()) != ERROR_SUCCESS &&
        registry_.OpenKey(parent, name, KEY_READ, key.Receive()) != ERROR_SUCCESS &&
        registry_.CreateKey(parent, name, KEY_ALL_ACCESS, key.Receive()) != ERROR_SUCCESS)
        return DISP_E_EXCEPTION;
    if (entry.assignment.present) {
        HRESULT result = WriteValue(key.get(), "", entry.assignment);
        if (FAILED(result))
            return result;
    }
    return entry.hasBlock ? RegisterBlock(key.get()) : S_OK;
}

HRESULT ScriptReader::UnregisterBlock(HKEY parent, bool skip) {
    DepthGuard depth(depth_);
    if (depth_ > kMaxBlockDepth)
        return StopRollbackOr(DISP_E_EXCEPTION);
    for (;;) {
        Entry entry;
        bool blockEnded = false;
        HRESULT result = ReadEntry(entry, blockEnded, Pass::Unregister);
        if (FAILED(result))
            return StopRollbackOr(result);
        if (blockEnded)
            return S_OK;
        if (entry.isValue) {
            if (!skip)
                registry_.DeleteValue(parent, entry.name.c_str());
            continue;
        }
        result = UnregisterKey(parent, entry, skip);
        if (FAILED(result) || rollbackStopped_)
            return result;
    }
}

// Nothing after the place where the register pass failed was written: when taking a block back
// cannot read past that place, the enclosing keys are still taken back.
HRESULT ScriptReader::StopRollbackOr(HRESULT error) {
    if (!rollingBack_)
        return error;
    rollbackStopped_ = true;
    return S_OK;
}

HRESULT ScriptReader::UnregisterKey(HKEY parent, const Entry& entry, bool skip) {
    ScriptKey key(registry_);
    const char* name = entry.name.c_str();
    // Deleting the values that the block names needs write access; where only reading is
    // granted, the block is still read and whatever can go goes.
    bool opened =
        !skip && (registry_.OpenKey(parent, name, kReadWrite, key.Receive()) == ERROR_SUCCESS ||
                  registry_.OpenKey(parent, name, KEY_READ, key.Receive()) == ERROR_SUCCESS);
    if (!opened)
        return entry.hasBlock ? UnregisterBlock(nullptr, true) : S_OK;
    if (entry.hasBlock) {
        HRESULT result = UnregisterBlock(key.get(), false);
        if (FAILED(result))
            return result;
    }
    DWORD subkeys = 1;
    if (registry_.QueryInfo(key.get(), &subkeys, nullptr) != ERROR_SUCCESS || subkeys != 0)
        return S_OK; // keys that the script does not name keep this one alive
    if (key.Close() != ERROR_SUCCESS)
        return DISP_E_EXCEPTION;
    if (!entry.noRemove)
        registry_.DeleteKey(parent, name);
    return S_OK;
}

HRESULT ScriptReader::ApplyRoots(bool registering) {
    for (;;) {
        tokens_.SkipWhiteSpace();
        if (tokens_.AtEnd())
            return S_OK;
        ScriptToken token;
        HRESULT result = tokens_.Next(token);
        if (FAILED(result))
            return result;
        HKEY root = LookUpRoot(token.text);
        if (root == nullptr)
            return DISP_E_EXCEPTION;
        result = tokens_.Next(token);
        if (FAILED(result))
            return result;
        if (token.atEnd || token.text.empty() || token.text[0] != '{')
            return DISP_E_EXCEPTION;

        size_t blockStart = tokens_.position();
        if (!registering) {
            result = UnregisterBlock(root, false);
            if (FAILED(result))
                return result;
            continue;
        }
        result = RegisterBlock(root);
        if (FAILED(result)) {
            // Take back what this block wrote before it failed.
            tokens_.Rewind(blockStart);
            rollingBack_ = true;
            rollbackStopped_ = false;
            UnregisterBlock(root, false);
            return result;
        }
    }
}
} // namespace

HRESULT ApplyRootEntries(ScriptTokenizer& tokens, bool registering, RegistryAccess& registry) {
    return ScriptReader(tokens, registry).ApplyRoots(registering);
}
