// Fake backend: no panel windows or processes; their tests use the real backend.
#include <map>
#include <set>

#include "app/state.h"
#include "platform/platform.h"
#include "tests/fake/fake_platform.h"

namespace {

// Tests hand out made-up ChildProcess pointers and say which have ended.
std::set<ChildProcess*> endedChildren, releasedChildren;

}  // namespace

namespace fake {

void setChildEnded(ChildProcess* child, bool ended) {
    if (ended) {
        endedChildren.insert(child);
    } else {
        endedChildren.erase(child);
    }
}

bool childReleased(ChildProcess* child) { return releasedChildren.count(child) != 0; }

}  // namespace fake

namespace platform {

void makeWindowFrameless(void*) {}
bool findWindowRectByTitle(const std::string&, ScreenRect&) { return false; }
bool raiseWindowByTitle(const std::string&) { return false; }
void beginPanelDrag(void*, const std::string&, void (*)(bool, void*), void (*)(bool, void*), void*) {}
ChildProcess* spawnPanelProcess(const std::string&) { return nullptr; }
ProcessState childProcessState(ChildProcess* child) {
    return endedChildren.count(child) ? ProcessState::Ended : ProcessState::Running;
}
void terminateChildProcess(ChildProcess*) {}
void releaseChildProcess(ChildProcess* child) { releasedChildren.insert(child); }

}  // namespace platform
