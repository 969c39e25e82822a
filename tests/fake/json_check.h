// A strict JSON reader that only says whether a text is one JSON value, as a
// page's JSON.parse would take it: no trailing text, no NaN or Infinity, no
// raw control character inside a string. Bytes from 0x80 on pass as they are.
#pragma once

#include <cctype>
#include <string>

namespace json_check {

class Reader {
public:
    explicit Reader(const std::string& text) : s(text) {}

    bool wholeValue() {
        blanks();
        if (!value(0)) return false;
        blanks();
        return i == s.size();
    }

private:
    const std::string& s;
    size_t i = 0;

    bool at(char c) const { return i < s.size() && s[i] == c; }
    bool digit() const { return i < s.size() && s[i] >= '0' && s[i] <= '9'; }
    void blanks() {
        while (at(' ') || at('\t') || at('\n') || at('\r')) ++i;
    }
    bool word(const char* w) {
        for (; *w; ++w, ++i)
            if (!at(*w)) return false;
        return true;
    }
    bool digits() {
        if (!digit()) return false;
        while (digit()) ++i;
        return true;
    }
    bool number() {
        if (at('-')) ++i;
        if (at('0')) {
            ++i;
        } else if (!digits()) {
            return false;
        }
        if (at('.')) {
            ++i;
            if (!digits()) return false;
        }
        if (at('e') || at('E')) {
            ++i;
            if (at('+') || at('-')) ++i;
            if (!digits()) return false;
        }
        return true;
    }
    bool string() {
        if (!at('"')) return false;
        for (++i; i < s.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c == '"') {
                ++i;
                return true;
            }
            if (c < 0x20) return false;
            if (c != '\\') continue;
            if (++i >= s.size()) return false;
            if (s[i] == 'u') {
                for (int k = 0; k < 4; ++k) {
                    if (++i >= s.size() || !isxdigit(static_cast<unsigned char>(s[i]))) return false;
                }
            } else if (std::string("\"\\/bfnrt").find(s[i]) == std::string::npos) {
                return false;
            }
        }
        return false;
    }
    template <typename Item>
    bool sequence(char close, Item item) {
        ++i;
        blanks();
        if (at(close)) {
            ++i;
            return true;
        }
        for (;;) {
            blanks();
            if (!item()) return false;
            blanks();
            if (at(close)) {
                ++i;
                return true;
            }
            if (!at(',')) return false;
            ++i;
        }
    }
    bool value(int depth) {
        if (depth > 64 || i >= s.size()) return false;
        switch (s[i]) {
        case '{':
            return sequence('}', [&] {
                if (!string()) return false;
                blanks();
                if (!at(':')) return false;
                ++i;
                blanks();
                return value(depth + 1);
            });
        case '[': return sequence(']', [&] { return value(depth + 1); });
        case '"': return string();
        case 't': return word("true");
        case 'f': return word("false");
        case 'n': return word("null");
        default: return number();
        }
    }
};

inline bool parses(const std::string& text) { return Reader(text).wholeValue(); }

}  // namespace json_check
