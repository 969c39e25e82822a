// The pipe server thread: serves one panel connection at a time and applies
// each message before reading the next.
#include "bridge/pipe_server.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "bridge/page_calls.h"
#include "bridge/window_helpers.h"
#include "capture/picking.h"
#include "model/state.h"
#include "model/state_changes.h"
#include "platform/platform.h"
#include "store/theme_file.h"
#include "text/arguments.h"

namespace {

void setPanelHover(const std::string& argument) { appState().panelHover = argument == "1"; }

void setThemeFromPanel(const std::string& argument) { applyThemeFromPanel(argument); }

// Sent by a second start of the program, which then ends.
void showMainWindow(const std::string&) { bringMainWindowToFront(); }

// A pop-out window checked the point against the screens before sending it.
void setFixedPointFromPanel(const std::string& argument) {
    const std::vector<std::string> fields = splitFields(argument, ',');
    int32_t x = 0, y = 0;
    if (fields.size() != 2 || !parseInt32(fields[0], x) || !parseInt32(fields[1], y)) return;
    takeFixedPoint(x, y);
    announceStateChange();
}

// Adapts a page-call handler, whose result a panel never sees.
template <std::string (*handler)(const std::string&)>
void asPageCall(const std::string& argument) {
    handler(argument);
}

struct PanelCommand {
    const char* name;
    void (*apply)(const std::string& argument);
};

const PanelCommand kPanelCommands[] = {
    {"updateSpammer", asPageCall<callUpdateSpammer>},
    {"updateKeySpam", asPageCall<callUpdateKeySpam>},
    {"toggleSpammer", asPageCall<callToggleSpammer>},
    {"toggleKeySpam", asPageCall<callToggleKeySpam>},
    {"startSpammer", asPageCall<callStartSpammer>},
    {"stopSpammer", asPageCall<callStopSpammer>},
    {"startKeySpam", asPageCall<callStartKeySpam>},
    {"stopKeySpam", asPageCall<callStopKeySpam>},
    {"panelHover", setPanelHover},
    {"reassignKey", asPageCall<callReassignKey>},
    {"updateTracker", asPageCall<callUpdateTracker>},
    {"toggleRecording", asPageCall<callToggleRecording>},
    {"togglePlayback", asPageCall<callTogglePlayback>},
    {"setTheme", setThemeFromPanel},
    {"deleteEvent", asPageCall<callDeleteEvent>},
    {"updateEventTime", asPageCall<callUpdateEventTime>},
    {"optimizeMacro", asPageCall<callOptimizeMacro>},
    {"showMainWindow", showMainWindow},
    {"editClickSteps", asPageCall<callEditClickSteps>},
    {"pickLocation", asPageCall<callPickLocation>},
    {"cancelPick", asPageCall<callCancelPick>},
    {"setFixedPoint", setFixedPointFromPanel},
    {"cancelReassign", asPageCall<callCancelReassign>},
    {"setKeyTyper", asPageCall<callSetKeyTyper>},
};

const PanelCommand* findPanelCommand(const char* name, size_t length) {
    for (const PanelCommand& command : kPanelCommands) {
        if (std::strlen(command.name) == length && std::memcmp(command.name, name, length) == 0)
            return &command;
    }
    return nullptr;
}

// Reads messages until the client goes, sends one that does not fit, or stays silent.
void serveConnection(platform::IpcConnection* connection) {
    char buffer[kPipeMessageCapacity];
    for (;;) {
        int length = platform::ipcReadMessage(connection, buffer, kPipeMessageCapacity);
        if (length < 0) return;
        buffer[length] = '\0';
        dispatchPanelCommand(buffer);
    }
}

// Serves clients until the wait for one fails or shutdown wakes it.
void serveClients(platform::IpcServer* server) {
    AppState& s = appState();
    while (s.running) {
        platform::IpcConnection* connection = platform::ipcAcceptClient(server, s.pipeStopEvent);
        if (!connection) return;
        serveConnection(connection);
        platform::ipcCloseConnection(connection);
    }
}

// Panels do nothing while the pipe is missing: the user is told why, once
// per cause, rather than left to guess.
// The page shows the problem too, through the status report.
void showProblem(const std::string& problem) {
    AppState& s = appState();
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        if (s.pipeProblem == problem) return;
        s.pipeProblem = problem;
    }
    announceStateChange();
}

void reportProblemOnce(const std::string& problem, std::string& reported) {
    if (problem.empty() || problem == reported) return;
    reported = problem;
    std::fprintf(stderr, "varnet: pop-out panels cannot reach this window: %s\n", problem.c_str());
    showProblem(problem);
}

}  // namespace

bool isPipeCommandName(const std::string& name) {
    return findPanelCommand(name.data(), name.size()) != nullptr;
}

void dispatchPanelCommand(const char* message) {
    const char* separator = std::strchr(message, '|');
    if (!separator) return;
    const PanelCommand* command = findPanelCommand(message, size_t(separator - message));
    if (!command) return;
    try {
        command->apply(std::string(separator + 1));
    } catch (...) {
        // A panel's command is never worth the server thread: it is dropped
        // with whatever its handler stored before.
    }
}

void pipeServerThread() {
    AppState& s = appState();
    std::string reported;
    while (s.running) {
        platform::IpcServer* server = platform::ipcServerOpen();
        if (server) {
            reported.clear();
            showProblem("");
            serveClients(server);
            platform::ipcServerClose(server);
        } else {
            reportProblemOnce(platform::ipcServerProblem(), reported);
        }
        // A failed open or wait is retried, slowly when it was explained: that
        // cause will not go away by itself. Shutdown is seen within 50 ms.
        const int pauseMs = reported.empty() ? 50 : 1000;
        for (int waited = 0; s.running && waited < pauseMs; waited += 50) platform::sleepMs(50);
    }
}
