// X11 helpers of the pop-out panel tests: look at panel windows from outside,
// stand in for the main window, and drag with the test's own pointer.
#pragma once

#include <sys/types.h>

#include <string>

#include "tests/e2e/harness.h"

namespace e2e {

struct WindowBox {
    int x = 0, y = 0, width = 0, height = 0;
};

// The first viewable window with exactly this title.
bool windowBox(const XServer& server, const std::string& title, WindowBox& box);
bool waitForWindowBox(const XServer& server, const std::string& title, int width, int height,
                      int timeoutMs, WindowBox& box);
bool waitForWindowAt(const XServer& server, const std::string& title, int x, int y, int timeoutMs);
int countWindows(const XServer& server, const std::string& title);
// The window's WM_CLASS as "name.class", "" when it has none.
std::string windowClass(const XServer& server, const std::string& title);
// The process that owns the window (_NET_WM_PID), or -1.
pid_t windowProcess(const XServer& server, const std::string& title);
bool waitForNoWindow(const XServer& server, const std::string& title, int timeoutMs);

// A plain window with the given title, shown until the stand-in is destroyed.
struct StandInWindow;
StandInWindow* openStandInWindow(const XServer& server, const std::string& title, int x, int y,
                                 int width, int height);
void closeStandInWindow(StandInWindow* window);

// Presses the primary button at from, moves to to in steps, and releases there.
void dragWithPointer(const XServer& server, int fromX, int fromY, int toX, int toY, int steps);
// Presses and holds the primary button at from and moves to to in steps.
void pressAndMove(const XServer& server, int fromX, int fromY, int toX, int toY, int steps);
void movePointer(const XServer& server, int fromX, int fromY, int toX, int toY, int steps);
void releasePointer(const XServer& server);

// Starts openbox on the server; -1 when it is not installed.
pid_t startWindowManager(const XServer& server);
void stopWindowManager(pid_t pid);

// Running (not ended, not a zombie).
bool processAlive(pid_t pid);
// Gone altogether: ended and reaped by its parent.
bool waitForProcessGone(pid_t pid, int timeoutMs);

}  // namespace e2e
