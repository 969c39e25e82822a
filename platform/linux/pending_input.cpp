// Placeholders until synthetic input and the command pipe land.
#include "platform/platform.h"
namespace platform {
void moveCursorAbsolute(int32_t, int32_t) {}
uint32_t sendKeyEvent(uint32_t, bool) { return 0; }
void sendMouseInput(int32_t, int32_t, uint32_t, uint32_t) {}
std::string keyDisplayName(int32_t code) { return "Key[" + std::to_string(code) + "]"; }
bool cursorPosition(int32_t&, int32_t&) { return false; }
StopSignal* stopSignalCreate() { return nullptr; }
void stopSignalRaise(StopSignal*) {}
void stopSignalDestroy(StopSignal*) {}
IpcServer* ipcServerOpen() { return nullptr; }
void ipcServerClose(IpcServer*) {}
IpcConnection* ipcAcceptClient(IpcServer*, StopSignal*) { return nullptr; }
int ipcReadMessage(IpcConnection*, char*, int) { return -1; }
void ipcCloseConnection(IpcConnection*) {}
bool ipcSendMessage(const std::string&) { return false; }
}  // namespace platform
