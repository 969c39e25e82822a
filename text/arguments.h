// How page-call argument text (and pipe and file fields) is cleaned, split and
// converted. Conversions follow the classic C++ library rules the stored
// files rely on: leading blanks skipped, an optional sign, digits as far as
// they go, anything after them ignored; no digit or a value out of range is a
// failure. They never depend on the process locale.
#pragma once

#include <cstdint>
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

bool parseInt32(std::string_view field, int32_t& out);   // stoi
bool parseInt64(std::string_view field, int64_t& out);   // stoll
bool parseUInt32(std::string_view field, uint32_t& out); // stoul: a '-' wraps
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
