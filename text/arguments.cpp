#include "text/arguments.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

std::string stripArgumentText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '[' && c != ']' && c != '"') out.push_back(c);
    }
    return out;
}

std::vector<std::string> splitFields(const std::string& text, char delimiter) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(delimiter, start);
        if (end == std::string::npos) {
            fields.push_back(text.substr(start));
            break;
        }
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

std::vector<std::string> parseArgumentList(const std::string& text) {
    return splitFields(stripArgumentText(text), ',');
}

namespace {

template <typename Real>
bool parseReal(std::string_view field, Real& out) {
    size_t i = 0;
    while (i < field.size() && number_text::isBlank(field[i])) ++i;
    const char* begin = field.data() + i;
    const char* end = field.data() + field.size();
    bool negative = false;
    if (begin < end && (*begin == '+' || *begin == '-')) {
        negative = *begin == '-';
        ++begin;
    }
    // from_chars takes no sign of its own; a second sign is no number.
    if (begin < end && (*begin == '+' || *begin == '-')) return false;
    Real value{};
    auto result = std::from_chars(begin, end, value, std::chars_format::general);
    // nan and inf read as numbers, but no field of ours can hold one: a time
    // of nan is no valid JSON, and one of inf never comes due.
    if (result.ec != std::errc() || !std::isfinite(value)) return false;
    out = negative ? -value : value;
    return true;
}

}  // namespace

bool parseFloat(std::string_view field, float& out) { return parseReal(field, out); }
bool parseDouble(std::string_view field, double& out) { return parseReal(field, out); }

std::string formatGeneral6(double value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return std::string(buffer, result.ptr);
}

std::string formatRoundTrip(double value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string formatFixed6(double value) {
    char buffer[512];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (result.ec != std::errc()) return "0.000000";
    return std::string(buffer, result.ptr);
}

std::string jsonString(const std::string& text) {
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(char(c));
        } else if (c < 0x20) {
            out += "\\u00";
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        } else {
            out.push_back(char(c));
        }
    }
    out.push_back('"');
    return out;
}
