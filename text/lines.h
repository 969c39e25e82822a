// Reading a stored file's text a line at a time.
#pragma once

#include <cstddef>
#include <string>

// Cuts the next line out of text from position on, without its LF or CR LF,
// and moves position past it; false at the end of the text.
bool nextLine(const std::string& text, size_t& position, std::string& line);
