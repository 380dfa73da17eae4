#include "registration/script_variables.h"

#include "registration/script_text.h"

#include <objbase.h>

#include <cstring>

ScriptVariables::~ScriptVariables() {
    for (int i = 0; i < count_; ++i)
        ::CoTaskMemFree(entries_[i].value);
}

HRESULT ScriptVariables::AddQuoted(const char* name, const char* value) {
    if (count_ == kCapacity || std::strlen(name) > kMaxVariableNameBytes)
        return E_OUTOFMEMORY;
    int wideLength = ::MultiByteToWideChar(CP_ACP, 0, value, -1, nullptr, 0);
    if (wideLength <= 0)
        return E_OUTOFMEMORY;
    auto* wide = static_cast<wchar_t*>(::CoTaskMemAlloc(wideLength * sizeof(wchar_t)));
    // Room for every character doubled.
    auto* quoted = static_cast<wchar_t*>(::CoTaskMemAlloc(wideLength * 2 * sizeof(wchar_t)));
    if (wide == nullptr || quoted == nullptr) {
        ::CoTaskMemFree(wide);
        ::CoTaskMemFree(quoted);
        return E_OUTOFMEMORY;
    }
    ::MultiByteToWideChar(CP_ACP, 0, value, -1, wide, wideLength);
    wchar_t* out = quoted;
    for (const wchar_t* in = wide; *in != L'\0'; ++in) {
        if (*in == L'\'')
            *out++ = L'\'';
        *out++ = *in;
    }
    *out = L'\0';
    ::CoTaskMemFree(wide);

    Entry& entry = entries_[count_++];
    std::strcpy(entry.name, name);
    entry.value = quoted;
    return S_OK;
}

const wchar_t* ScriptVariables::Find(const char* name) const {
    for (int i = 0; i < count_; ++i) {
        if (::lstrcmpiA(entries_[i].name, name) == 0)
            return entries_[i].value;
    }
    return nullptr;
}

namespace {
HRESULT AppendWide(const wchar_t* value, TaskMemoryText& output) {
    int bytes = ::WideCharToMultiByte(CP_ACP, 0, value, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1)
        return S_OK;
    HRESULT result = output.Grow(bytes);
    if (FAILED(result))
        return result;
    ::WideCharToMultiByte(CP_ACP, 0, value, -1, output.End(), bytes, nullptr, nullptr);
    output.Commit(bytes - 1);
    return S_OK;
}
} // namespace

HRESULT SubstituteVariables(const char* text, size_t length, const ScriptVariables& variables,
                            TaskMemoryText& output) {
    if (length > static_cast<size_t>(-1) / 4)
        return E_OUTOFMEMORY;
    HRESULT result = output.Reserve(length * 2);
    if (FAILED(result))
        return result;
    size_t pos = 0;
    while (pos < length) {
        if (text[pos] != '%') {
            size_t step = CharBytes(text, length, pos);
            result = output.Append(text + pos, step);
            if (FAILED(result))
                return result;
            pos += step;
            continue;
        }
        size_t nameStart = pos + 1;
        size_t nameEnd = nameStart;
        while (nameEnd < length && text[nameEnd] != '%')
            nameEnd += CharBytes(text, length, nameEnd);
        if (nameEnd >= length)
            return DISP_E_EXCEPTION;
        size_t nameBytes = nameEnd - nameStart;
        if (nameBytes == 0) {
            result = output.Append("%", 1);
        } else {
            if (nameBytes > kMaxVariableNameBytes)
                return E_FAIL;
            char name[kMaxVariableNameBytes + 1];
            std::memcpy(name, text + nameStart, nameBytes);
            name[nameBytes] = '\0';
            const wchar_t* value = variables.Find(name);
            if (value == nullptr)
                return DISP_E_EXCEPTION;
            result = AppendWide(value, output);
        }
        if (FAILED(result))
            return result;
        pos = nameEnd + 1;
    }
    return S_OK;
}
