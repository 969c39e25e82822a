// Fake backend: panel processes are opaque pointers that are never looked
// into, and windows are records; a test reads what the core asked for.
#include "tests/fake/fake_panels.h"

#include <map>
#include <memory>
#include <set>

#include "model/state.h"
#include "platform/platform.h"

namespace {

std::vector<std::string> log;
std::set<ChildProcess*> endedChildren, releasedChildren;
// Spawned panels are distinct addresses the fake owns, numbered from 1.
std::vector<std::unique_ptr<char>> spawnedStorage;
std::map<ChildProcess*, int> spawnedNumbers;
std::map<int, fake::PanelAnswer> answers;
bool spawnFails = false;

std::string numberOf(ChildProcess* child) {
    auto found = spawnedNumbers.find(child);
    return found == spawnedNumbers.end() ? "?" : std::to_string(found->second);
}

fake::PanelAnswer answerOf(ChildProcess* child) {
    auto number = spawnedNumbers.find(child);
    if (number == spawnedNumbers.end()) return fake::PanelAnswer::Ends;
    auto answer = answers.find(number->second);
    return answer == answers.end() ? fake::PanelAnswer::Ends : answer->second;
}

}  // namespace

namespace fake {

std::vector<std::string> panelLog() { return log; }

void resetPanels() {
    log.clear();
    endedChildren.clear();
    releasedChildren.clear();
    spawnedNumbers.clear();
    spawnedStorage.clear();
    answers.clear();
    spawnFails = false;
}

void resetPanelLog() { log.clear(); }

void setPanelAnswer(int n, PanelAnswer answer) { answers[n] = answer; }

void setSpawnFails(bool fails) { spawnFails = fails; }

void endPanel(int n) {
    for (auto& [child, number] : spawnedNumbers) {
        if (number == n) endedChildren.insert(child);
    }
}

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

bool setAlwaysOnTopByTitle(const std::string& title, bool on) {
    log.push_back(std::string(on ? "above " : "not above ") + title);
    return true;
}

bool raiseWindowByTitle(const std::string& title) {
    log.push_back("raise " + title);
    return true;
}

void beginPanelDrag(void* window, const std::string& target, void (*)(bool, void*), void (*)(bool, void*), void*) {
    log.push_back(std::string(window ? "drag onto " : "drag without a window onto ") + target);
}

ChildProcess* spawnPanelProcess(const std::string& argument) {
    if (spawnFails) return nullptr;
    spawnedStorage.push_back(std::make_unique<char>());
    ChildProcess* child = reinterpret_cast<ChildProcess*>(spawnedStorage.back().get());
    spawnedNumbers[child] = int(spawnedStorage.size());
    log.push_back("spawn " + argument);
    return child;
}

ProcessState childProcessState(ChildProcess* child) {
    return endedChildren.count(child) ? ProcessState::Ended : ProcessState::Running;
}

bool askChildToEnd(ChildProcess* child) {
    log.push_back("ask " + numberOf(child));
    const fake::PanelAnswer answer = answerOf(child);
    if (answer == fake::PanelAnswer::Ends) endedChildren.insert(child);
    return answer != fake::PanelAnswer::CannotBeAsked;
}

bool waitForChildEnd(ChildProcess* child, int) { return endedChildren.count(child) != 0; }

void killChildProcess(ChildProcess* child) {
    log.push_back("kill " + numberOf(child));
    endedChildren.insert(child);
}

void releaseChildProcess(ChildProcess* child) {
    log.push_back("release " + numberOf(child));
    releasedChildren.insert(child);
}

}  // namespace platform
