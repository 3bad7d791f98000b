// The tokens of a start tag after the element name, read the same way when the tag is parsed
// and when an attribute is looked up: white space separates tokens; a token is a quoted string,
// "=", "/", "?", ">" or a bare run up to white space or one of "=", "/", ">", "?". After "=" the
// value is a quoted string or a bare run up to white space or ">" (in which "/" and "=" belong
// to the value).
#pragma once

#include <cstring>
#include <string_view>

#include "xml/xml_char_class.h"

namespace xml_detail {

enum class TagToken {
    kName,       // bare run; `text` is the run
    kQuoted,     // `text` is the content between the quotes
    kBareValue,  // unquoted value after "="; `text` is the run
    kEquals,
    kSlash,
    kQuestion,
    kClose,         // ">"; `end` of the scanner is just after it
    kUnterminated,  // the text ended inside the tag
};

class TagScanner {
public:
    TagScanner(const char* position, const char* end) : p_(position), end_(end) {}

    // The next token of the tag.
    TagToken Next(std::string_view& text) {
        SkipWhiteSpace();
        if (p_ == end_) {
            return TagToken::kUnterminated;
        }
        switch (*p_) {
            case '>':
                ++p_;
                return TagToken::kClose;
            case '=':
                ++p_;
                return TagToken::kEquals;
            case '/':
                ++p_;
                return TagToken::kSlash;
            case '?':
                ++p_;
                return TagToken::kQuestion;
            case '"':
            case '\'':
                return ReadQuoted(text);
            default:
                return ReadRun(kNameEnd, TagToken::kName, text);
        }
    }

    // The value token that follows "=": a quoted string or a bare run (possibly empty).
    TagToken NextValue(std::string_view& text) {
        SkipWhiteSpace();
        if (p_ == end_) {
            return TagToken::kUnterminated;
        }
        if (*p_ == '"' || *p_ == '\'') {
            return ReadQuoted(text);
        }
        return ReadRun(kBareValueEnd, TagToken::kBareValue, text);
    }

    const char* Position() const { return p_; }

private:
    void SkipWhiteSpace() {
        while (p_ != end_ && HasClass(*p_, kWhiteSpace)) {
            ++p_;
        }
    }

    TagToken ReadQuoted(std::string_view& text) {
        const char quote = *p_;
        const char* contentStart = p_ + 1;
        const void* closing = std::memchr(contentStart, quote, end_ - contentStart);
        if (closing == nullptr) {
            p_ = end_;
            return TagToken::kUnterminated;
        }
        const char* contentEnd = static_cast<const char*>(closing);
        text = std::string_view(contentStart, contentEnd - contentStart);
        p_ = contentEnd + 1;
        return TagToken::kQuoted;
    }

    TagToken ReadRun(CharClass endClass, TagToken kind, std::string_view& text) {
        const char* runStart = p_;
        while (p_ != end_ && !HasClass(*p_, endClass)) {
            ++p_;
        }
        text = std::string_view(runStart, p_ - runStart);
        return kind;
    }

    const char* p_;
    const char* end_;
};

}  // namespace xml_detail
