#include "text/lines.h"

bool nextLine(const std::string& text, size_t& position, std::string& line) {
    if (position >= text.size()) return false;
    size_t end = text.find('\n', position);
    if (end == std::string::npos) end = text.size();
    size_t length = end - position;
    if (length > 0 && text[position + length - 1] == '\r') --length;
    line.assign(text, position, length);
    position = end + 1;
    return true;
}

bool nextLine(std::string_view text, size_t& position, std::string_view& line) {
    if (position >= text.size()) return false;
    size_t end = text.find('\n', position);
    if (end == std::string_view::npos) end = text.size();
    size_t length = end - position;
    if (length > 0 && text[position + length - 1] == '\r') --length;
    line = text.substr(position, length);
    position = end + 1;
    return true;
}
