#include <cstdlib>
#include <cstring>

#include "platform/linux/wayland_output_linux.h"
#include "platform/platform.h"

namespace platform {

bool isWaylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (display && *display) || (type && std::strcmp(type, "wayland") == 0);
}

bool inputGoesThroughCompositor() { return wayland_output::active(); }

}  // namespace platform
