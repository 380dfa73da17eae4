#include "registration/memory_registry.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {
struct PredefinedRoot {
    HKEY key;
    const char* name;
};
const PredefinedRoot kRoots[] = {
    {HKEY_CLASSES_ROOT, "HKCR"},   {HKEY_CURRENT_USER, "HKCU"},     {HKEY_LOCAL_MACHINE, "HKLM"},
    {HKEY_USERS, "HKU"},           {HKEY_PERFORMANCE_DATA, "HKPD"}, {HKEY_DYN_DATA, "HKDD"},
    {HKEY_CURRENT_CONFIG, "HKCC"},
};

// Splits at backslashes, stepping over double-byte characters whose trail byte looks like one.
std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts(1);
    for (size_t pos = 0; pos < path.size(); ++pos) {
        if (path[pos] == '\\') {
            parts.emplace_back();
            continue;
        }
        parts.back() += path[pos];
        if (::IsDBCSLeadByte(static_cast<BYTE>(path[pos])) && pos + 1 < path.size())
            parts.back() += path[++pos];
    }
    return parts;
}
} // namespace

int MemoryRegistry::OpenHandles() const {
    return static_cast<int>(handles_.size() - std::size(kRoots));
}

bool MemoryRegistry::NoCase::operator()(const std::string& a, const std::string& b) const {
    return ::lstrcmpiA(a.c_str(), b.c_str()) < 0;
}

MemoryRegistry::MemoryRegistry() {
    for (const PredefinedRoot& root : kRoots) {
        roots_[root.name] = std::make_unique<Key>();
        handles_[root.key] = Handle{root.name, KEY_ALL_ACCESS};
    }
}

MemoryRegistry::Key* MemoryRegistry::Find(const std::string& path) const {
    std::vector<std::string> parts = SplitPath(path);
    auto root = roots_.find(parts[0]);
    if (root == roots_.end())
        return nullptr;
    Key* key = root->second.get();
    for (size_t i = 1; i < parts.size(); ++i) {
        auto sub = key->subkeys.find(parts[i]);
        if (sub == key->subkeys.end())
            return nullptr;
        key = sub->second.get();
    }
    return key;
}

const MemoryRegistry::Handle* MemoryRegistry::HandleOf(HKEY key) const {
    auto handle = handles_.find(key);
    return handle != handles_.end() ? &handle->second : nullptr;
}

std::string MemoryRegistry::PathOf(HKEY parent, const char* name, LONG& status) const {
    const Handle* handle = HandleOf(parent);
    status = ERROR_INVALID_HANDLE;
    if (handle == nullptr)
        return {};
    status = Find(handle->path) != nullptr ? ERROR_SUCCESS : ERROR_KEY_DELETED;
    if (name == nullptr || *name == '\0')
        return handle->path;
    return handle->path + "\\" + name;
}

// The key behind an open handle; null, with the registry's error for the handle, when there is
// none.
MemoryRegistry::Key* MemoryRegistry::KeyOf(HKEY key, LONG& status) const {
    const std::string path = PathOf(key, nullptr, status);
    return status == ERROR_SUCCESS ? Find(path) : nullptr;
}

// As KeyOf, for a handle that must have been opened for setting values.
MemoryRegistry::Key* MemoryRegistry::KeyForValueChange(HKEY key, LONG& status) const {
    Key* found = KeyOf(key, status);
    if (found != nullptr && (HandleOf(key)->access & KEY_SET_VALUE) == 0) {
        status = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    return found;
}

bool MemoryRegistry::IsReadOnly(const std::string& path) const {
    return readOnlyKeys.count(path) != 0;
}

HKEY MemoryRegistry::NewHandle(const std::string& path, REGSAM access) {
    HKEY key = reinterpret_cast<HKEY>(nextHandle_);
    nextHandle_ += 4;
    handles_[key] = Handle{path, access};
    return key;
}

LONG MemoryRegistry::OpenKey(HKEY parent, const char* name, REGSAM access, HKEY* key) {
    LONG status;
    std::string path = PathOf(parent, name, status);
    if (status != ERROR_SUCCESS)
        return status;
    if (Find(path) == nullptr)
        return ERROR_FILE_NOT_FOUND;
    if (IsReadOnly(path) && (access & ~KEY_READ) != 0)
        return ERROR_ACCESS_DENIED;
    *key = NewHandle(path, access);
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::CreateKey(HKEY parent, const char* name, REGSAM access, HKEY* key) {
    LONG status;
    std::string parentPath = PathOf(parent, nullptr, status);
    if (status != ERROR_SUCCESS)
        return status;
    if (SplitPath(name).size() != 1)
        return ERROR_INVALID_PARAMETER; // the reader names one level at a time
    std::string path = PathOf(parent, name, status);
    if (Find(path) != nullptr)
        return OpenKey(parent, name, access, key);
    if (noCreateUnder.count(parentPath) != 0 || IsReadOnly(parentPath) ||
        (HandleOf(parent)->access & KEY_CREATE_SUB_KEY) == 0)
        return ERROR_ACCESS_DENIED;
    Find(parentPath)->subkeys[name] = std::make_unique<Key>();
    writes_.push_back(path);
    *key = NewHandle(path, access);
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::SetValue(HKEY key, const char* name, DWORD type, const BYTE* data,
                              DWORD size) {
    LONG status;
    Key* found = KeyForValueChange(key, status);
    if (found == nullptr)
        return status;
    found->values[name != nullptr ? name : ""] = Value{type, {data, data + size}};
    writes_.push_back(HandleOf(key)->path + " [" + (name != nullptr ? name : "") + "]");
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::DeleteValue(HKEY key, const char* name) {
    LONG status;
    Key* found = KeyForValueChange(key, status);
    if (found == nullptr)
        return status;
    return found->values.erase(name != nullptr ? name : "") != 0 ? ERROR_SUCCESS
                                                                 : ERROR_FILE_NOT_FOUND;
}

LONG MemoryRegistry::DeleteKey(HKEY parent, const char* name) {
    LONG status;
    std::string parentPath = PathOf(parent, nullptr, status);
    if (status != ERROR_SUCCESS)
        return status;
    if (name == nullptr || *name == '\0')
        return ERROR_ACCESS_DENIED; // never the parent itself in these tests
    std::string path = PathOf(parent, name, status);
    Key* key = Find(path);
    if (key == nullptr)
        return ERROR_FILE_NOT_FOUND;
    if (!key->subkeys.empty() || IsReadOnly(path))
        return ERROR_ACCESS_DENIED;
    Find(parentPath)->subkeys.erase(name);
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::EnumKey(HKEY key, DWORD index, char* name, DWORD* nameSize) {
    LONG status;
    Key* found = KeyOf(key, status);
    if (found == nullptr)
        return status;
    if (index >= found->subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    auto entry = found->subkeys.begin();
    std::advance(entry, index);
    if (entry->first.size() + 1 > *nameSize)
        return ERROR_MORE_DATA;
    std::strcpy(name, entry->first.c_str());
    *nameSize = static_cast<DWORD>(entry->first.size());
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::QueryInfo(HKEY key, DWORD* subkeys, DWORD* values) {
    LONG status;
    Key* found = KeyOf(key, status);
    if (found == nullptr)
        return status;
    if (subkeys != nullptr)
        *subkeys = static_cast<DWORD>(found->subkeys.size());
    if (values != nullptr)
        *values = static_cast<DWORD>(found->values.size());
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::CloseKey(HKEY key) {
    auto handle = handles_.find(key);
    if (handle == handles_.end())
        return ERROR_INVALID_HANDLE;
    bool fails = failCloseOf.count(handle->second.path) != 0;
    handles_.erase(handle);
    return fails ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
}

void MemoryRegistry::AddKey(const std::string& path) {
    std::vector<std::string> parts = SplitPath(path);
    Key* key = roots_.at(parts[0]).get();
    for (size_t i = 1; i < parts.size(); ++i) {
        auto& sub = key->subkeys[parts[i]];
        if (!sub)
            sub = std::make_unique<Key>();
        key = sub.get();
    }
}

void MemoryRegistry::AddString(const std::string& path, const std::string& name,
                               const std::string& value) {
    AddKey(path);
    const BYTE* bytes = reinterpret_cast<const BYTE*>(value.c_str());
    Find(path)->values[name] = Value{REG_SZ, {bytes, bytes + value.size() + 1}};
}

void MemoryRegistry::AddEntries(const Key& key, const std::string& path,
                                std::vector<Entry>& entries) {
    for (const auto& [name, value] : key.values)
        entries.push_back(Entry{path, true, name, value.type, value.data});
    for (const auto& [name, sub] : key.subkeys) {
        std::string subPath = path + "\\" + name;
        entries.push_back(Entry{subPath, false, {}, REG_NONE, {}});
        AddEntries(*sub, subPath, entries);
    }
}

std::vector<MemoryRegistry::Entry> MemoryRegistry::Entries() const {
    std::vector<Entry> entries;
    for (const auto& [name, root] : roots_)
        AddEntries(*root, name, entries);
    return entries;
}

std::string MemoryRegistry::Dump() const {
    std::string text;
    for (const Entry& entry : Entries()) {
        text += entry.path;
        if (entry.isValue) {
            text += " [" + entry.name + "] = ";
            if (entry.type == REG_SZ) {
                text += "S:";
                text.append(entry.data.begin(), entry.data.end());
                if (text.back() == '\0')
                    text.pop_back();
            } else if (entry.type == REG_DWORD && entry.data.size() == 4) {
                DWORD number;
                std::memcpy(&number, entry.data.data(), 4);
                text += "D:" + std::to_string(number);
            } else {
                text += "B:";
                static const char digits[] = "0123456789abcdef";
                for (BYTE b : entry.data) {
                    text += digits[b >> 4];
                    text += digits[b & 15];
                }
            }
        }
        text += "\n";
    }
    return text;
}
