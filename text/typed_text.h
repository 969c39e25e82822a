// Texts that are typed rather than pressed key by key: their characters, and
// their form on one line of a file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The longest text the typer and a macro's text row take, in characters.
inline constexpr size_t kMaxTypedCharacters = 10000;

// The code points of UTF-8 text into characters (cleared first; its
// capacity kept, so a reused buffer allocates nothing once it is large
// enough). A byte that starts no character, and a whole sequence that
// encodes none (overlong, a surrogate, past U+10FFFF), read as U+FFFD. At most
// `limit` characters are taken; returns false when the text held more.
bool decodeCharacters(std::string_view utf8, std::u32string& characters, size_t limit = kMaxTypedCharacters);

// The text on one line: '%', control characters and DEL as %XX (upper-case
// hex); everything else, commas included, as it is.
std::string escapeLineText(std::string_view text);
// The inverse; false for a '%' without two hex digits after it.
bool unescapeLineText(std::string_view line, std::string& text);

// The values of a JSON array as the page sends a call's arguments: a string
// unescaped (\uXXXX and its surrogate pairs included), any other value as
// its text ("12", "true"). False for anything that is not such an array.
bool parseJsonArguments(std::string_view json, std::vector<std::string>& values);
