// Placeholders until the window helpers, start-up registration and dialogs land.
#include "platform/platform.h"
namespace platform {
ScreenRect monitorWorkArea(void*) { return {}; }
bool monitorWorkAreaAt(int32_t, int32_t, ScreenRect&) { return false; }
bool windowFrameRect(void*, ScreenRect&) { return false; }
void placeWindow(void*, int32_t, int32_t, int32_t, int32_t) {}
void setAlwaysOnTop(void*, bool) {}
void forceForeground(void*) {}
void showMaximized(void*) {}
void showMinimized(void*) {}
void restoreIfMaximized(void*) {}
bool windowNormalPlacement(void*, ScreenRect&, bool&) { return false; }
void watchWindowPlacement(void*, void (*)(void*), void (*)(void*)) {}
void setLaunchOnStartup(bool) {}
bool chooseProfileFileToSave(std::string&) { return false; }
bool chooseProfileFileToOpen(std::string&) { return false; }
}  // namespace platform
