// Start at logon through an XDG autostart entry, which every freedesktop
// session reads: $XDG_CONFIG_HOME/autostart/varnet.desktop.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace platform {
namespace {

std::string autostartDir() {
    const char* config = getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/autostart";
    const char* home = getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/autostart";
}

// The Exec key quotes an argument in double quotes, with '"', '`', '$' and
// '\' escaped inside them; the key's value then escapes every backslash once
// more and doubles '%', which would otherwise start a field code.
std::string execValue(const std::string& path) {
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted.push_back('\\');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    std::string value;
    for (char c : quoted) {
        if (c == '\\') value += "\\\\";
        else if (c == '%') value += "%%";
        else if (c == '\n') value += "\\n";
        else value.push_back(c);
    }
    return value;
}

}  // namespace

void setLaunchOnStartup(bool enable) {
    const std::string dir = autostartDir();
    const std::string entry = dir + "/varnet.desktop";
    if (!enable) {
        unlink(entry.c_str());
        return;
    }
    const std::string path = executablePath();
    if (path.empty() || !createDirectory(dir)) return;
    const std::string text = "[Desktop Entry]\nType=Application\nName=Varnet\nExec=" +
                             execValue(path) + "\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
    replaceFileDurably(entry, text);
}

}  // namespace platform
