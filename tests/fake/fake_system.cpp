// Fake backend: windows, panel processes, the command pipe and capture do
// nothing here; the tests that need them run against the real backend.
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

void makeWindowFrameless(void*) {}
bool findWindowRectByTitle(const std::string&, ScreenRect&) { return false; }
bool raiseWindowByTitle(const std::string&) { return false; }
void beginPanelDrag(void*, const std::string&, void (*)(bool, void*), void (*)(bool, void*), void*) {}
ChildProcess* spawnPanelProcess(const std::string&) { return nullptr; }
ProcessState childProcessState(ChildProcess*) { return ProcessState::Unknown; }
void terminateChildProcess(ChildProcess*) {}
void releaseChildProcess(ChildProcess*) {}

StopSignal* stopSignalCreate() { return nullptr; }
void stopSignalRaise(StopSignal*) {}
void stopSignalDestroy(StopSignal*) {}
IpcServer* ipcServerOpen() { return nullptr; }
void ipcServerClose(IpcServer*) {}
IpcConnection* ipcAcceptClient(IpcServer*, StopSignal*) { return nullptr; }
int ipcReadMessage(IpcConnection*, char*, int) { return -1; }
void ipcCloseConnection(IpcConnection*) {}
bool ipcSendMessage(const std::string&) { return false; }

void captureThreadMain() { appState().captureReady = true; }
void captureThreadStop() {}

}  // namespace platform
