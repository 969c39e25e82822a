#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/linux/remote_desktop_portal_linux.h"
#include "platform/linux/wayland_output_linux.h"
#include "platform/platform.h"

namespace platform {

bool isWaylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (display && *display) || (type && std::strcmp(type, "wayland") == 0);
}

bool inputGoesThroughCompositor() { return wayland_output::active(); }

InputPermission inputPermission() { return remote_desktop_portal::permission(); }

// The variable lists the desktop's names, e.g. "ubuntu:GNOME".
bool isGnomeDesktop() {
    const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
    if (!desktops) return false;
    const std::string list = std::string(":") + desktops + ":";
    return list.find(":GNOME:") != std::string::npos;
}

}  // namespace platform
