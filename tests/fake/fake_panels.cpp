// Fake backend: panel processes and windows are records; a test reads what
// the core asked for through tests/fake/fake_panels.h.
#include "tests/fake/fake_panels.h"

#include <memory>

#include "app/state.h"
#include "platform/platform.h"

struct ChildProcess {
    int number = 0;
    bool ended = false;
};

namespace {

std::vector<std::string> log;
std::vector<std::unique_ptr<ChildProcess>> spawned;
bool spawnFails = false;

}  // namespace

namespace fake {

std::vector<std::string> panelLog() { return log; }

void resetPanels() {
    log.clear();
    spawned.clear();
    spawnFails = false;
}

void setSpawnFails(bool fails) { spawnFails = fails; }

void endPanel(int n) {
    if (n >= 1 && size_t(n) <= spawned.size()) spawned[size_t(n) - 1]->ended = true;
}

}  // namespace fake

namespace platform {

void makeWindowFrameless(void*) {}
bool findWindowRectByTitle(const std::string&, ScreenRect&) { return false; }

bool raiseWindowByTitle(const std::string& title) {
    log.push_back("raise " + title);
    return true;
}

void beginPanelDrag(void*, const std::string&, void (*)(bool, void*), void (*)(bool, void*), void*) {}

ChildProcess* spawnPanelProcess(const std::string& argument) {
    if (spawnFails) return nullptr;
    spawned.push_back(std::make_unique<ChildProcess>());
    spawned.back()->number = int(spawned.size());
    log.push_back("spawn " + argument);
    return spawned.back().get();
}

ProcessState childProcessState(ChildProcess* child) {
    return child->ended ? ProcessState::Ended : ProcessState::Running;
}

void terminateChildProcess(ChildProcess* child) {
    log.push_back("terminate " + std::to_string(child->number));
    child->ended = true;
}

// The record stays with the fake, so a test can still read it.
void releaseChildProcess(ChildProcess* child) {
    log.push_back("release " + std::to_string(child->number));
}

}  // namespace platform
