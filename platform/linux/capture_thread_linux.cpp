// The input-capture thread on Linux: X11's raw events and grabs, the desktop's
// own hotkeys where the compositor keeps the keys from X11 (sway, KDE), and
// the pick surface of a Wayland session, all waited on in one poll. Each is
// brought in line with the state before each sleep; every change they follow
// is announced through captureThreadWake.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>

#include "capture/desktop_hotkeys.h"
#include "model/state.h"
#include "platform/linux/kde/global_shortcuts_linux.h"
#include "platform/linux/output_route_linux.h"
#include "platform/linux/sway/hotkeys_linux.h"
#include "platform/linux/wayland/pick_linux.h"
#include "platform/linux/x11/raw_capture_linux.h"
#include "platform/platform.h"

namespace platform {
namespace {

std::atomic<bool> stopRequested{false};
std::atomic<int> wakeWriteFd{-1};

enum Watched { kObserver, kGrabs, kWake, kPickSurface, kWatchedCount };

void drainWakes(int wakeFd) {
    char bytes[64];
    while (read(wakeFd, bytes, sizeof bytes) > 0) {
    }
}

// Sleeps until an X connection or the pick surface's has input, or
// captureThreadWake is called.
void waitForInputOrWake(pollfd (&fds)[kWatchedCount]) {
    // Without a wake pipe the grabs can only follow the state by looking
    // often; a keyboard grab another client's grab refused is tried again
    // in the same short steps until it is held.
    const int forever = fds[kWake].fd >= 0 && !x11_capture::keyboardGrabRefused() ? -1 : 10;
    poll(fds, kWatchedCount, x11_capture::eventsQueued() ? 0 : forever);
    if (fds[kWake].revents & POLLIN) drainWakes(fds[kWake].fd);
}

void followDesktopHotkeys(const DesktopHotkeys& hotkeys) {
    sway_hotkeys::follow(hotkeys);
    kde_shortcuts::follow(hotkeys);
}

void watchUntilStopped(int wakeFd) {
    pollfd fds[kWatchedCount] = {{x11_capture::observerFd(), POLLIN, 0},
                                 {x11_capture::grabsFd(), POLLIN, 0},
                                 {wakeFd, POLLIN, 0},
                                 {-1, POLLIN, 0}};
    while (!stopRequested) {
        x11_capture::followState();
        followDesktopHotkeys(desktopHotkeysFromState());
        fds[kPickSurface].fd = wayland_pick::follow(appState().pickingLocation);
        fds[kPickSurface].revents = 0;
        waitForInputOrWake(fds);
        if (fds[kPickSurface].revents) wayland_pick::dispatch();
        x11_capture::handleEvents();
    }
}

// The wake pipe lives as long as the process: a wake or a stop may come from
// any thread at any moment, and a pipe closed under it would let the byte
// land in whatever file took the number next.
int wakeReadEnd() {
    static int wake[2] = {-1, -1};
    if (wake[0] < 0 && pipe2(wake, O_CLOEXEC | O_NONBLOCK) == 0) wakeWriteFd = wake[1];
    return wake[0];
}

}  // namespace

void captureThreadMain() {
    const int wake = wakeReadEnd();
    // A compositor's seat has no pointer or keyboard until our virtual ones
    // exist, and a window binds them only then: made at start-up, they are
    // there before the first click. Only the main process runs this thread.
    output_route::start();
    const bool watching = x11_capture::open();
    // Start-up never waits in vain, with or without a display to watch.
    appState().captureReady = true;
    if (!watching) return;
    watchUntilStopped(wake);
    sway_hotkeys::follow(DesktopHotkeys{});
    kde_shortcuts::release();
    wayland_pick::follow(false);
    x11_capture::close();
}

// A full pipe already holds a wake, so a write that fails loses nothing.
void captureThreadWake() {
    const int fd = wakeWriteFd;
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] ssize_t written = write(fd, &byte, 1);
    }
}

void captureThreadStop() {
    stopRequested = true;
    captureThreadWake();
}

}  // namespace platform
