// How page-call argument text (and pipe and file fields) is cleaned, split and
// converted. Conversions follow the classic C++ library rules the stored
// files rely on: leading blanks skipped, an optional sign, digits as far as
// they go, anything after them ignored; no digit or a value out of range is a
// failure. They never depend on the process locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

// Removes every '[', ']' and '"'; nothing else changes (backslashes stay).
std::string stripArgumentText(const std::string& text);

// Cuts at every delimiter the way a line reader does: empty fields between two
// delimiters count, a final delimiter adds no empty field, "" gives no field.
std::vector<std::string> splitFields(const std::string& text, char delimiter);

// stripArgumentText, then splitFields at ','.
std::vector<std::string> parseArgumentList(const std::string& text);

// The integer readers, as stoi, stoll and stoul (where a '-' wraps). They
// are inline: a session file holds six numbers a line and millions of lines,
// and the calls cost more than the reading.
namespace number_text {

inline bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Skips leading blanks and an optional sign; returns where the digits start.
inline size_t signedStart(std::string_view field, bool& negative) {
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
inline bool readMagnitude(std::string_view field, size_t i, uint64_t& magnitude) {
    if (i >= field.size() || field[i] < '0' || field[i] > '9') return false;
    magnitude = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        uint64_t digit = uint64_t(field[i] - '0');
        if (magnitude > (std::numeric_limits<uint64_t>::max() - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
    }
    return true;
}

}  // namespace number_text

inline bool parseInt64(std::string_view field, int64_t& out) {
    bool negative;
    size_t i = number_text::signedStart(field, negative);
    uint64_t magnitude;
    if (!number_text::readMagnitude(field, i, magnitude)) return false;
    const uint64_t limit = negative ? uint64_t(std::numeric_limits<int64_t>::max()) + 1
                                    : uint64_t(std::numeric_limits<int64_t>::max());
    if (magnitude > limit) return false;
    out = negative ? int64_t(0 - magnitude) : int64_t(magnitude);
    return true;
}

inline bool parseInt32(std::string_view field, int32_t& out) {
    int64_t wide;
    if (!parseInt64(field, wide)) return false;
    if (wide < std::numeric_limits<int32_t>::min() || wide > std::numeric_limits<int32_t>::max())
        return false;
    out = int32_t(wide);
    return true;
}

inline bool parseUInt32(std::string_view field, uint32_t& out) {
    bool negative;
    size_t i = number_text::signedStart(field, negative);
    uint64_t magnitude;
    if (!number_text::readMagnitude(field, i, magnitude)) return false;
    // stoul reads an unsigned long: 32 bits on Windows, 64 on Linux. Keep the
    // 32-bit rule on both so a file reads the same everywhere.
    if (magnitude > std::numeric_limits<uint32_t>::max()) return false;
    out = negative ? uint32_t(0 - uint32_t(magnitude)) : uint32_t(magnitude);
    return true;
}

// stof and stod, but a value that is not finite (nan, inf, or beyond the
// type's range) is a bad number too.
bool parseFloat(std::string_view field, float& out);
bool parseDouble(std::string_view field, double& out);

// General notation with 6 significant digits (1 -> "1", 1234567 -> "1.23457e+06").
std::string formatGeneral6(double value);
// Shortest text that reads back to exactly the same double.
std::string formatRoundTrip(double value);
// Fixed notation with six decimals ("%f").
std::string formatFixed6(double value);

// A complete JSON string literal for any bytes (control characters as \u00XX).
std::string jsonString(const std::string& text);
