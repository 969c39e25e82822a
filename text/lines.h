// Reading a stored file's text a line at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Cuts the next line out of text from position on, without its LF or CR LF,
// and moves position past it; false at the end of the text.
bool nextLine(const std::string& text, size_t& position, std::string& line);
// The same, the line a view into text: a reader of a long file copies none.
bool nextLine(std::string_view text, size_t& position, std::string_view& line);
