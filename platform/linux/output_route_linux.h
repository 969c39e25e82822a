// Which way synthetic input leaves the program on Linux.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform::output_route {

// Makes the compositor's input devices, or asks the desktop portal for a
// session where the compositor offers none, so the seat has a pointer and a
// keyboard before the first event. Only the first call does anything, and
// later ones return once it has; the first record sent calls it too.
void start();

// For the backend's tests, which have no desktop portal: a stand-in for its
// session, so a test can grant and end it between a press and its release.
// Records that would go to the portal go nowhere; its keys and buttons are
// counted instead. The program never installs one.
struct PortalStandIn {
    std::atomic<bool> granted{false};
    std::atomic<int32_t> keysDown{0}, keysUp{0}, buttonsDown{0}, buttonsUp{0};
};
// nullptr puts the real portal back.
void standInForPortal(PortalStandIn* standIn);

}  // namespace platform::output_route
