// What kind of desktop session the program runs in, from the environment.
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace platform {

bool isWaylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (display && *display) || (type && std::strcmp(type, "wayland") == 0);
}

// The variable lists the desktop's names, e.g. "ubuntu:GNOME".
bool isGnomeDesktop() {
    const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
    if (!desktops) return false;
    const std::string list = std::string(":") + desktops + ":";
    return list.find(":GNOME:") != std::string::npos;
}

// The X11 and Wayland desktops hand their display to the signed-in user's
// own programs; one run as another account has its own folders by design.
std::string otherAccountThanDesktops() { return ""; }

}  // namespace platform
