// The variables of a registry script ("%NAME%" in its text) and their substitution.
#pragma once

#include "registration/task_memory_text.h"

#include <windows.h>

#include <cstddef>

// Names of 32 bytes or more are refused with E_FAIL, as the reader's name buffer holds 31.
constexpr size_t kMaxVariableNameBytes = 31;

class ScriptVariables {
  public:
    ScriptVariables() = default;
    ~ScriptVariables();
    ScriptVariables(const ScriptVariables&) = delete;
    ScriptVariables& operator=(const ScriptVariables&) = delete;

    // Maps `name` to the ANSI `value` in wide characters, every single quote doubled so that the
    // value can stand inside a quoted token. E_OUTOFMEMORY when there is no room.
    HRESULT AddQuoted(const char* name, const char* value);
    // The value of a name compared without regard to case, or null.
    const wchar_t* Find(const char* name) const;

  private:
    static constexpr int kCapacity = 4;
    struct Entry {
        char name[kMaxVariableNameBytes + 1];
        wchar_t* value;
    };
    Entry entries_[kCapacity] = {};
    int count_ = 0;
};

// Copies `length` bytes of `text` into `output` with every "%NAME%" replaced by its value and
// every "%%" by "%". DISP_E_EXCEPTION for an unknown or unterminated name, E_FAIL for a name of
// 32 bytes or more, E_OUTOFMEMORY when the buffer cannot grow.
HRESULT SubstituteVariables(const char* text, size_t length, const ScriptVariables& variables,
                            TaskMemoryText& output);
