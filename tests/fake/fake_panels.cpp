// Fake backend: no panel windows or processes; their tests use the real backend.
#include "app/state.h"
#include "platform/platform.h"

namespace platform {

void makeWindowFrameless(void*) {}
bool findWindowRectByTitle(const std::string&, ScreenRect&) { return false; }
bool raiseWindowByTitle(const std::string&) { return false; }
void beginPanelDrag(void*, const std::string&, void (*)(bool, void*), void (*)(bool, void*), void*) {}
ChildProcess* spawnPanelProcess(const std::string&) { return nullptr; }
ProcessState childProcessState(ChildProcess*) { return ProcessState::Unknown; }
void terminateChildProcess(ChildProcess*) {}
void releaseChildProcess(ChildProcess*) {}

}  // namespace platform
