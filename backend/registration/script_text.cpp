#include "registration/script_text.h"

#include <cstring>

size_t CharBytes(const char* text, size_t length, size_t pos) {
    bool lead = ::IsDBCSLeadByte(static_cast<BYTE>(text[pos])) != FALSE;
    return lead && pos + 1 < length && text[pos + 1] != '\0' ? 2 : 1;
}

bool SameText(const std::string& a, const char* b) {
    return ::lstrcmpiA(a.c_str(), b) == 0;
}

namespace {
bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
} // namespace

ScriptTokenizer::ScriptTokenizer(const char* text, size_t length) : text_(text), length_(length) {
    const void* zero = std::memchr(text, '\0', length);
    if (zero != nullptr)
        length_ = static_cast<const char*>(zero) - text;
}

void ScriptTokenizer::SkipWhiteSpace() {
    while (pos_ < length_ && IsWhiteSpace(text_[pos_]))
        ++pos_;
}

HRESULT ScriptTokenizer::Next(ScriptToken& token) {
    token.text.clear();
    SkipWhiteSpace();
    token.atEnd = AtEnd();
    if (token.atEnd)
        return S_OK;

    if (text_[pos_] == '\'') {
        ++pos_;
        for (;;) {
            if (pos_ >= length_)
                return DISP_E_EXCEPTION;
            if (text_[pos_] == '\'') {
                if (pos_ + 1 >= length_ || text_[pos_ + 1] != '\'')
                    break;
                ++pos_; // a doubled quote stands for one
            }
            size_t step = CharBytes(text_, length_, pos_);
            if (token.text.size() + step > kMaxTokenBytes)
                return DISP_E_EXCEPTION;
            token.text.append(text_ + pos_, step);
            pos_ += step;
        }
        ++pos_; // the closing quote
        return S_OK;
    }

    while (pos_ < length_ && !IsWhiteSpace(text_[pos_])) {
        size_t step = CharBytes(text_, length_, pos_);
        if (token.text.size() + step > kMaxTokenBytes)
            return DISP_E_EXCEPTION;
        token.text.append(text_ + pos_, step);
        pos_ += step;
    }
    return S_OK;
}

bool ScriptTokenizer::Accept(const char* expected) {
    size_t start = pos_;
    ScriptToken token;
    if (SUCCEEDED(Next(token)) && !token.atEnd && SameText(token.text, expected))
        return true;
    pos_ = start;
    return false;
}
