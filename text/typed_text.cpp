#include "text/typed_text.h"

#include <utility>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// One character from position on; position moves past what it took (one
// byte for a bad start, so decoding always goes on).
char32_t nextCharacter(std::string_view utf8, size_t& position) {
    const unsigned char lead = static_cast<unsigned char>(utf8[position++]);
    if (lead < 0x80) return lead;
    int more = 0;
    char32_t value = 0, least = 0;
    if ((lead & 0xE0) == 0xC0) more = 1, value = lead & 0x1F, least = 0x80;
    else if ((lead & 0xF0) == 0xE0) more = 2, value = lead & 0x0F, least = 0x800;
    else if ((lead & 0xF8) == 0xF0) more = 3, value = lead & 0x07, least = 0x10000;
    else return kReplacement;
    if (position + size_t(more) > utf8.size()) return kReplacement;
    for (int i = 0; i < more; ++i) {
        const unsigned char next = static_cast<unsigned char>(utf8[position + size_t(i)]);
        if ((next & 0xC0) != 0x80) return kReplacement;
        value = (value << 6) | (next & 0x3F);
    }
    position += size_t(more);
    // Overlong forms, surrogates and values past Unicode's end are no characters.
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return kReplacement;
    return value;
}

}  // namespace

bool decodeCharacters(std::string_view utf8, std::u32string& characters, size_t limit) {
    characters.clear();
    size_t position = 0;
    while (position < utf8.size()) {
        if (characters.size() == limit) return false;
        characters.push_back(nextCharacter(utf8, position));
    }
    return true;
}

std::string escapeLineText(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

bool unescapeLineText(std::string_view line, std::string& text) {
    std::string out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '%') {
            out += line[i];
            continue;
        }
        const int high = i + 1 < line.size() ? hexValue(line[i + 1]) : -1;
        const int low = i + 2 < line.size() ? hexValue(line[i + 2]) : -1;
        if (high < 0 || low < 0) return false;
        out += char(high * 16 + low);
        i += 2;
    }
    text = std::move(out);
    return true;
}

namespace {

void skipBlanks(std::string_view json, size_t& i) {
    while (i < json.size() && (json[i] == ' ' || json[i] == '\t' || json[i] == '\r' || json[i] == '\n')) ++i;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6)), out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12)), out += char(0x80 | ((c >> 6) & 0x3F)), out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18)), out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F)), out += char(0x80 | (c & 0x3F));
    }
}

bool readHex4(std::string_view json, size_t& i, char32_t& value) {
    if (i + 4 > json.size()) return false;
    value = 0;
    for (int k = 0; k < 4; ++k) {
        const int digit = hexValue(json[i++]);
        if (digit < 0) return false;
        value = value * 16 + char32_t(digit);
    }
    return true;
}

// From the opening quote at i to past the closing one.
bool readJsonString(std::string_view json, size_t& i, std::string& out) {
    static const std::string_view kEscapes = "\"\"\\\\//b\bf\fn\nr\rt\t";
    ++i;
    while (i < json.size() && json[i] != '"') {
        if (json[i] != '\\') {
            out += json[i++];
            continue;
        }
        if (++i >= json.size()) return false;
        const char kind = json[i++];
        if (kind != 'u') {
            size_t at = 0;
            while (at < kEscapes.size() && kEscapes[at] != kind) at += 2;
            if (at >= kEscapes.size()) return false;
            out += kEscapes[at + 1];
            continue;
        }
        char32_t unit = 0, low = 0;
        if (!readHex4(json, i, unit)) return false;
        if (unit >= 0xD800 && unit <= 0xDBFF && json.substr(i, 2) == "\\u") {
            size_t next = i + 2;
            if (readHex4(json, next, low) && low >= 0xDC00 && low <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i = next;
            }
        }
        appendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
    }
    if (i >= json.size()) return false;
    ++i;
    return true;
}

}  // namespace

bool parseJsonArguments(std::string_view json, std::vector<std::string>& values) {
    values.clear();
    size_t i = 0;
    skipBlanks(json, i);
    if (i >= json.size() || json[i++] != '[') return false;
    skipBlanks(json, i);
    if (i < json.size() && json[i] == ']') return ++i, skipBlanks(json, i), i == json.size();
    while (i < json.size()) {
        skipBlanks(json, i);
        std::string value;
        if (i < json.size() && json[i] == '"') {
            if (!readJsonString(json, i, value)) return false;
        } else {
            while (i < json.size() && json[i] != ',' && json[i] != ']' && json[i] != ' ') value += json[i++];
            if (value.empty()) return false;
        }
        values.push_back(std::move(value));
        skipBlanks(json, i);
        if (i >= json.size()) return false;
        if (json[i] == ']') return ++i, skipBlanks(json, i), i == json.size();
        if (json[i++] != ',') return false;
    }
    return false;
}
