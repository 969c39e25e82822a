// Fake backend: one 1920 x 1080 monitor and no windows.
#include "app/state.h"
#include "platform/platform.h"

namespace platform {

ScreenRect monitorWorkArea(void*) { return {0, 0, 1920, 1040}; }
bool monitorWorkAreaAt(int32_t x, int32_t y, ScreenRect& area) {
    area = {0, 0, 1920, 1040};
    return x >= 0 && y >= 0 && x < 1920 && y < 1080;
}
bool windowFrameRect(void*, ScreenRect&) { return false; }
void moveWindowTo(void*, int32_t, int32_t) {}
void placeWindow(void*, int32_t, int32_t, int32_t, int32_t) {}
void setAlwaysOnTop(void*, bool) {}
void forceForeground(void*) {}
void showMaximized(void*) {}
void showMinimized(void*) {}
void restoreIfMaximized(void*) {}
bool windowNormalPlacement(void*, ScreenRect&, bool&) { return false; }
void watchWindowPlacement(void*, void (*)(void*), void (*)(void*)) {}

}  // namespace platform
