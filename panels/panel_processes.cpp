// The main process's side of the pop-out panels: starting a panel process for
// a panel of the page, keeping track of it by panel id, and ending the ones
// still open when the main window closes. UI thread only, like the table.
#include "panels/panel_processes.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

#include "model/state.h"
#include "panels/panel_command_line.h"
#include "panels/panel_placement.h"
#include "platform/platform.h"
#include "text/arguments.h"

namespace {

// A panel asked to end closes its window in order; one that has not gone
// within this time is ended outright.
constexpr int kGracefulExitMs = 3000;

std::string panelWindowTitle(const std::string& panelTitle) { return "Varnet (" + panelTitle + ")"; }

// A panel that is already out is brought to the front instead of being
// opened twice: a second process would run untracked, never be restored and
// outlive the main window.
bool raiseIfAlreadyOut(const std::vector<std::string>& fields) {
    if (fields.size() < 2) return false;
    auto& table = appState().panelProcesses;
    auto tracked = table.find(fields[1]);
    if (tracked == table.end()) return false;
    if (platform::childProcessState(tracked->second) != platform::ProcessState::Ended) {
        platform::raiseWindowByTitle(panelWindowTitle(fields[0]));
        return true;
    }
    // Ended but not yet reported: the new process shows the panel, so the old
    // one must not bring it back into the main window.
    platform::releaseChildProcess(tracked->second);
    table.erase(tracked);
    return false;
}

// Where each panel still out was opened and under which title, by panel id:
// a panel whose window has not shown yet still holds the place it was given.
struct PanelOpened {
    std::string title;
    platform::ScreenRect placedAt;
};

std::map<std::string, PanelOpened>& panelsOpened() {
    static std::map<std::string, PanelOpened> opened;
    return opened;
}

std::vector<platform::ScreenRect> panelsOnScreen() {
    std::vector<platform::ScreenRect> taken;
    for (const auto& [id, child] : appState().panelProcesses) {
        auto known = panelsOpened().find(id);
        if (known == panelsOpened().end()) continue;
        platform::ScreenRect rect;
        if (!platform::findWindowRectByTitle(panelWindowTitle(known->second.title), rect))
            rect = known->second.placedAt;
        taken.push_back(rect);
    }
    return taken;
}

// The page names the point it was popped out at, which lies on the main
// window's own pop-out button: a window opened there would cover the main
// window, so it opens beside it, clear of the panels already out.
std::string besideTheMainWindow(const std::vector<std::string>& fields, const std::string& argument) {
    void* main = appState().mainWindow;
    platform::ScreenRect frame;
    if (fields.size() < 2 || !main || !platform::windowFrameRect(main, frame)) return argument;
    const platform::ScreenRect area = platform::monitorWorkArea(main);
    PanelPoint asked;
    const bool given = fields.size() >= 4 && parseInt32(fields[2], asked.x) && parseInt32(fields[3], asked.y);
    // The panel reads a pointer point and opens up and to the left of it.
    const PanelPoint corner{int32_t(std::max<int64_t>(int64_t(asked.x) - kPanelPointerOffsetX, INT32_MIN)),
                            int32_t(std::max<int64_t>(int64_t(asked.y) - kPanelPointerOffsetY, INT32_MIN))};
    if (given && !panelPointCovers(frame, corner, kPanelWindowWidth, kPanelWindowHeight)) return argument;
    const PanelPoint at = panelPlacementBeside(frame, area, kPanelWindowWidth, kPanelWindowHeight, panelsOnScreen());
    panelsOpened()[fields[1]] = PanelOpened{
        fields[0], platform::ScreenRect{at.x, at.y, at.x + kPanelWindowWidth, at.y + kPanelWindowHeight}};
    return fields[0] + "|" + fields[1] + "|" + std::to_string(int64_t(at.x) + kPanelPointerOffsetX) + "|" +
           std::to_string(int64_t(at.y) + kPanelPointerOffsetY);
}

void endPanelProcess(ChildProcess* child) {
    if (platform::childProcessState(child) == platform::ProcessState::Ended) return;
    if (platform::askChildToEnd(child) && platform::waitForChildEnd(child, kGracefulExitMs)) return;
    platform::killChildProcess(child);
    platform::waitForChildEnd(child, kGracefulExitMs);
}

}  // namespace

void keepPanelsAbove(bool on) {
    for (const auto& [id, opened] : panelsOpened()) platform::setAlwaysOnTopByTitle(panelWindowTitle(opened.title), on);
}

void endAllPanelProcesses() {
    auto& table = appState().panelProcesses;
    for (auto& [id, child] : table) {
        endPanelProcess(child);
        platform::releaseChildProcess(child);
    }
    table.clear();
    panelsOpened().clear();
}

std::vector<std::string> collectEndedPanels() {
    AppState& s = appState();
    std::vector<std::string> ended;
    for (auto it = s.panelProcesses.begin(); it != s.panelProcesses.end();) {
        if (platform::childProcessState(it->second) == platform::ProcessState::Ended) {
            ended.push_back(it->first);
            panelsOpened().erase(it->first);
            platform::releaseChildProcess(it->second);
            it = s.panelProcesses.erase(it);
        } else {
            ++it;
        }
    }
    if (!ended.empty()) s.panelHover = false;
    return ended;
}

void popOutPanel(const std::string& argument) {
    const std::vector<std::string> fields = splitFields(argument, '|');
    if (raiseIfAlreadyOut(fields)) return;
    ChildProcess* child = platform::spawnPanelProcess(besideTheMainWindow(fields, argument) + "|" + currentTheme());
    if (!child) return;
    if (fields.size() < 2) {
        // Without an id there is nothing to restore: the panel runs untracked.
        platform::releaseChildProcess(child);
        return;
    }
    appState().panelProcesses[fields[1]] = child;
}
