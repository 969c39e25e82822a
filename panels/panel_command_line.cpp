#include "panels/panel_command_line.h"

#include <vector>

#include "text/arguments.h"

namespace {

std::string withoutDoubleQuotes(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '"') out.push_back(c);
    }
    return out;
}

// A coordinate so far out that the offset leaves 32 bits is no place at all.
bool readCoordinate(const std::string& field, int64_t offset, int32_t& out) {
    int32_t value = 0;
    if (!parseInt32(field, value)) return false;
    int64_t shifted = int64_t(value) - offset;
    if (shifted < INT32_MIN || shifted > INT32_MAX) return false;
    out = int32_t(shifted);
    return true;
}

}  // namespace

PanelStartValues parsePanelCommandLine(const std::string& commandLine) {
    PanelStartValues start;
    const std::string option = "--child ";
    size_t at = commandLine.find(option);
    if (at == std::string::npos) return start;
    std::vector<std::string> fields =
        splitFields(withoutDoubleQuotes(commandLine.substr(at + option.size())), '|');
    if (fields.size() >= 1) start.title = fields[0];
    if (fields.size() >= 2) start.id = fields[1];
    if (fields.size() >= 4) {
        int32_t x = 0, y = 0;
        start.placed = readCoordinate(fields[2], kPanelPointerOffsetX, x) &&
                       readCoordinate(fields[3], kPanelPointerOffsetY, y);
        if (start.placed) {
            start.x = x;
            start.y = y;
        }
    }
    if (fields.size() >= 5) start.theme = fields[4];
    return start;
}
