// A headless mutter with the desktop portal for the tests and benchmarks on
// GNOME: a session bus of its own, PipeWire (the portal's screen cast needs
// it), mutter on a 1280x800 virtual monitor, the portal and its GNOME
// backend, and the logging window (wayland_client_main.cpp). The test holds
// a remote desktop session of its own on mutter, through which it types on
// the desktop as a person would, to answer the portal's dialog.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/sway_session.h"

namespace e2e {

inline constexpr char kMutterSocket[] = "wl-mutter";

struct MutterSession {
    pid_t bus = -1, pipewire = -1, mutter = -1, portalBackend = -1, portal = -1, logger = -1;
    // XDG_RUNTIME_DIR, WAYLAND_DISPLAY, DBUS_SESSION_BUS_ADDRESS and
    // XDG_CURRENT_DESKTOP of the session.
    std::vector<std::string> env;
    WindowLog* log = nullptr;
    void* connection = nullptr;  // the test's own bus connection, holding its session
    std::string keyboard;        // that session's object path
};

bool mutterInstalled();
// Starts everything with home root and runtime folder runtime, then the
// logging window; false with a reason when one part fails.
bool startMutter(MutterSession& session, const std::string& root, const std::string& runtime,
                 const std::string& loggerBinary, std::string& failure);
void stopMutter(MutterSession& session);
// Presses (true) and releases (false) keysyms on the desktop, in order.
// Moves the pointer through the test's own session (with the compositor's
// acceleration).
bool nudgePointer(MutterSession& session, double dx, double dy);
// Answers the portal's dialog, which takes the keyboard's focus from the
// logging window after its line before, allowing input; false with a reason
// when the dialog does not come or go.
bool allowInputOnDesktop(MutterSession& session, size_t before, std::string& failure);
bool typeOnDesktop(MutterSession& session, const std::vector<std::pair<uint32_t, bool>>& keys);

}  // namespace e2e
