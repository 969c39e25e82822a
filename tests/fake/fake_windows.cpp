// Fake backend: one 1920 x 1080 monitor whose work area ends at 1040, and
// windows that are fake::FakeWindow records.
#include "model/state.h"
#include "platform/platform.h"
#include "tests/fake/fake_platform.h"

namespace {

fake::FakeWindow* asWindow(void* window) { return static_cast<fake::FakeWindow*>(window); }

}  // namespace

namespace platform {

ScreenRect monitorWorkArea(void*) { return {0, 0, 1920, 1040}; }
bool monitorWorkAreaAt(int32_t x, int32_t y, ScreenRect& area) {
    area = {0, 0, 1920, 1040};
    return x >= 0 && y >= 0 && x < 1920 && y < 1080;
}
bool windowFrameRect(void* window, ScreenRect& rect) {
    fake::FakeWindow* w = asWindow(window);
    if (!w) return false;
    rect = {w->left, w->top, w->left + w->width, w->top + w->titleBar + w->height};
    return true;
}
void moveWindowTo(void* window, int32_t x, int32_t y) {
    if (fake::FakeWindow* w = asWindow(window)) {
        w->left = x;
        w->top = y;
    }
}
void placeWindow(void* window, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (fake::FakeWindow* w = asWindow(window)) {
        *w = fake::FakeWindow{x, y, width, height - w->titleBar, w->titleBar, w->topmost,
                              w->maximized, w->foreground};
    }
}
void setAlwaysOnTop(void* window, bool on) {
    if (fake::FakeWindow* w = asWindow(window)) w->topmost = on;
}
void showRunningInTaskbar(void* window, bool running) {
    if (fake::FakeWindow* w = asWindow(window)) w->showsRunning = running;
}
void forceForeground(void* window) {
    if (fake::FakeWindow* w = asWindow(window)) w->foreground = true;
}
void showMaximized(void* window) {
    if (fake::FakeWindow* w = asWindow(window)) w->maximized = true;
}
void showMinimized(void*) {}
void restoreIfMaximized(void* window) {
    if (fake::FakeWindow* w = asWindow(window)) w->maximized = false;
}
void restoreIfMinimized(void*) {}
bool windowNormalPlacement(void* window, ScreenRect& rect, bool& maximized) {
    fake::FakeWindow* w = asWindow(window);
    if (!w) return false;
    windowFrameRect(window, rect);
    maximized = w->maximized;
    return true;
}
void watchWindowPlacement(void*, void (*)(void*), void (*)(void*)) {}
bool isWaylandSession() { return fake::waylandSession; }
bool inputGoesThroughCompositor() { return fake::inputThroughCompositor; }
InputPermission inputPermission() { return fake::inputPermission; }
bool isGnomeDesktop() { return fake::gnomeDesktop; }
std::string otherAccountThanDesktops() { return ""; }

}  // namespace platform
