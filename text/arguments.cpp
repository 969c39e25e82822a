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

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Skips leading blanks and an optional sign; returns where the digits start.
size_t signedStart(std::string_view field, bool& negative) {
    size_t i = 0;
    while (i < field.size() && isBlank(field[i])) ++i;
    negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    return i;
}

// Reads the leading digits into a magnitude; false when there is no digit or
// the magnitude overflows 64 bits.
bool readMagnitude(std::string_view field, size_t i, uint64_t& magnitude) {
    if (i >= field.size() || field[i] < '0' || field[i] > '9') return false;
    magnitude = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        uint64_t digit = uint64_t(field[i] - '0');
        if (magnitude > (std::numeric_limits<uint64_t>::max() - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
    }
    return true;
}

template <typename Real>
bool parseReal(std::string_view field, Real& out) {
    size_t i = 0;
    while (i < field.size() && isBlank(field[i])) ++i;
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

bool parseInt64(std::string_view field, int64_t& out) {
    bool negative;
    size_t i = signedStart(field, negative);
    uint64_t magnitude;
    if (!readMagnitude(field, i, magnitude)) return false;
    const uint64_t limit = negative ? uint64_t(std::numeric_limits<int64_t>::max()) + 1
                                    : uint64_t(std::numeric_limits<int64_t>::max());
    if (magnitude > limit) return false;
    out = negative ? int64_t(0 - magnitude) : int64_t(magnitude);
    return true;
}

bool parseInt32(std::string_view field, int32_t& out) {
    int64_t wide;
    if (!parseInt64(field, wide)) return false;
    if (wide < std::numeric_limits<int32_t>::min() || wide > std::numeric_limits<int32_t>::max())
        return false;
    out = int32_t(wide);
    return true;
}

bool parseUInt32(std::string_view field, uint32_t& out) {
    bool negative;
    size_t i = signedStart(field, negative);
    uint64_t magnitude;
    if (!readMagnitude(field, i, magnitude)) return false;
    // stoul reads an unsigned long: 32 bits on Windows, 64 on Linux. Keep the
    // 32-bit rule on both so a file reads the same everywhere.
    if (magnitude > std::numeric_limits<uint32_t>::max()) return false;
    out = negative ? uint32_t(0 - uint32_t(magnitude)) : uint32_t(magnitude);
    return true;
}

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
