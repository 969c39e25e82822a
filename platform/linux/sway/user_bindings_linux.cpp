#include "platform/linux/sway/user_bindings_linux.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <utility>
#include <vector>

namespace platform::sway_hotkeys {
namespace {

using Variables = std::vector<std::pair<std::string, std::string>>;

void appendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// The JSON string that starts after the opening quote at from.
std::string jsonString(const std::string& json, size_t from) {
    std::string out;
    for (size_t i = from; i < json.size() && json[i] != '"'; ++i) {
        if (json[i] != '\\' || i + 1 >= json.size()) {
            out += json[i];
            continue;
        }
        const char escaped = json[++i];
        switch (escaped) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u':
            if (i + 4 < json.size()) appendUtf8(out, uint32_t(std::strtoul(json.substr(i + 1, 4).c_str(), nullptr, 16)));
            i += 4;
            break;
        default: out += escaped;
        }
    }
    return out;
}

std::vector<std::string> configTexts(const std::string& reply) {
    std::vector<std::string> texts;
    const std::string key = "\"config\"";
    for (size_t at = reply.find(key); at != std::string::npos; at = reply.find(key, at + key.size())) {
        const size_t quote = reply.find('"', reply.find(':', at + key.size()));
        if (quote != std::string::npos) texts.push_back(jsonString(reply, quote + 1));
    }
    return texts;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// sway replaces the longest variable name that matches first.
std::string expanded(std::string text, Variables variables) {
    std::sort(variables.begin(), variables.end(),
              [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
    for (size_t at = text.find('$'); at != std::string::npos; at = text.find('$', at + 1)) {
        for (const auto& [name, value] : variables) {
            if (text.compare(at, name.size(), name) != 0) continue;
            text.replace(at, name.size(), value);
            at += value.size() - 1;
            break;
        }
    }
    return text;
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// One spelling for a combination: its modifiers as a sorted set, then its
// key by keysym (names differ in case: "Return", "return") or its button.
std::string normalised(const std::string& combination) {
    static const std::pair<const char*, const char*> kModifiers[] = {
        {"mod4", "mod4"}, {"super", "mod4"}, {"mod1", "mod1"}, {"alt", "mod1"}, {"ctrl", "ctrl"},
        {"control", "ctrl"}, {"shift", "shift"}, {"mod2", "mod2"}, {"mod3", "mod3"}, {"mod5", "mod5"}};
    std::vector<std::string> parts;
    std::stringstream stream(combination);
    for (std::string part; std::getline(stream, part, '+');) parts.push_back(part);
    if (parts.empty()) return "";
    std::vector<std::string> modifiers;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        const std::string name = lowered(parts[i]);
        std::string canonical = name;
        for (const auto& [spelling, modifier] : kModifiers)
            if (name == spelling) canonical = modifier;
        modifiers.push_back(canonical);
    }
    std::sort(modifiers.begin(), modifiers.end());
    std::string out;
    for (const std::string& modifier : modifiers) out += modifier + "+";
    const xkb_keysym_t keysym = xkb_keysym_from_name(parts.back().c_str(), XKB_KEYSYM_CASE_INSENSITIVE);
    return out + (keysym != XKB_KEY_NoSymbol ? std::to_string(keysym) : lowered(parts.back()));
}

// The combination of a binding's arguments, past its flags ("--release ...").
std::string combinationOf(const std::string& arguments) {
    std::stringstream stream(arguments);
    std::string word;
    while (stream >> word)
        if (word.rfind("--", 0) != 0) return word;
    return "";
}

}  // namespace

std::string userBindingOn(const std::string& configReply, const std::string& combination) {
    const std::string wanted = normalised(combination);
    for (const std::string& text : configTexts(configReply)) {
        Variables variables;
        // Blocks: `bindsym {` holds bindings of the default mode; any other
        // (a mode, an input, a bar) holds none of it.
        std::vector<bool> bindingBlocks;
        std::stringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            line = trimmed(line);
            if (line.empty() || line[0] == '#') continue;
            if (line == "}") {
                if (!bindingBlocks.empty()) bindingBlocks.pop_back();
                continue;
            }
            const bool inBlock = !bindingBlocks.empty();
            if (line.back() == '{') {
                bindingBlocks.push_back(!inBlock && trimmed(line.substr(0, line.size() - 1)).rfind("bindsym", 0) == 0);
                continue;
            }
            std::string arguments;
            if (!inBlock && line.rfind("set ", 0) == 0) {
                std::stringstream words(line.substr(4));
                std::string name, value;
                words >> name;
                std::getline(words, value);
                if (!name.empty() && name[0] == '$') variables.emplace_back(name, trimmed(value));
                continue;
            }
            if (inBlock && bindingBlocks.back()) arguments = line;
            else if (!inBlock && line.rfind("bindsym ", 0) == 0) arguments = trimmed(line.substr(8));
            else continue;
            if (normalised(expanded(combinationOf(arguments), variables)) == wanted) return arguments;
        }
    }
    return "";
}

}  // namespace platform::sway_hotkeys
