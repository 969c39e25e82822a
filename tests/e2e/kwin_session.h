// A headless kwin for the tests and benchmarks on Wayland, as the recipes run
// it: on a session bus of its own, a plain copy of the compositor (the
// installed one carries a capability a container cannot grant), and the
// logging window (wayland_client_main.cpp) on it.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/e2e/sway_session.h"

namespace e2e {

inline constexpr char kKwin[] = "/usr/bin/kwin_wayland";
inline constexpr char kDbusDaemon[] = "/usr/bin/dbus-daemon";
inline constexpr char kKwinSocket[] = "wl-kwin";

struct KwinSession {
    pid_t bus = -1, kwin = -1, logger = -1;
    // XDG_RUNTIME_DIR, WAYLAND_DISPLAY and DBUS_SESSION_BUS_ADDRESS of the session.
    std::vector<std::string> env;
    WindowLog* log = nullptr;
};

bool kwinInstalled();
// Starts the bus and kwin on a 1280x800 virtual output, home in root and
// runtime folder runtime, then the logging window; false with a reason when
// one fails. kwin offers its fake input only to the programs the menu
// entries in root/.local/share/applications name, unless checkPermissions
// is false.
bool startKwin(KwinSession& session, const std::string& root, const std::string& runtime,
               const std::string& loggerBinary, bool checkPermissions, std::string& failure);
void stopKwin(KwinSession& session);

}  // namespace e2e
