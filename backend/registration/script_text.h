// Reading a registry script text: multi-byte characters and tokens.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// A token holds at most this many bytes (the reader's buffer of 4,095 with its zero).
constexpr size_t kMaxTokenBytes = 4094;

// Bytes of the character at `pos`: 2 for a lead byte whose trail byte lies inside the text,
// else 1, so that a lead byte at the very end never takes the reader past it.
size_t CharBytes(const char* text, size_t length, size_t pos);

struct ScriptToken {
    std::string text;
    bool atEnd = false; // no token left: the text ended
};

// Tokens separated by white space; a token that begins with a single quote runs to the next
// single quote that is not doubled. The text ends at `length` bytes or at a zero byte.
class ScriptTokenizer {
  public:
    ScriptTokenizer(const char* text, size_t length);

    // DISP_E_EXCEPTION for a quoted token without its closing quote and for a token longer than
    // kMaxTokenBytes.
    HRESULT Next(ScriptToken& token);
    // Reads the next token and keeps it only when it equals `expected` (case ignored).
    bool Accept(const char* expected);
    void SkipWhiteSpace();
    bool AtEnd() const { return pos_ >= length_; }

    size_t position() const { return pos_; }
    void Rewind(size_t position) { pos_ = position; }

  private:
    const char* text_;
    size_t length_;
    size_t pos_ = 0;
};

bool SameText(const std::string& a, const char* b);
