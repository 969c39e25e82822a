// Fake backend: no command pipe; its tests cross a real process boundary.
#include "model/state.h"
#include "platform/platform.h"

namespace platform {

StopSignal* stopSignalCreate() { return nullptr; }
void stopSignalRaise(StopSignal*) {}
void stopSignalDestroy(StopSignal*) {}
IpcServer* ipcServerOpen() { return nullptr; }
std::string ipcServerProblem() { return ""; }
void ipcServerClose(IpcServer*) {}
IpcConnection* ipcAcceptClient(IpcServer*, StopSignal*) { return nullptr; }
int ipcReadMessage(IpcConnection*, char*, int) { return -1; }
void ipcCloseConnection(IpcConnection*) {}
bool ipcSendMessage(const std::string&) { return false; }
std::string ipcSendRefusal() { return ""; }

}  // namespace platform
