// A pop-out panel process: one panel of the page in a small frameless window.
// It owns no engine and no setting. What the user changes is forwarded to the
// main process through the command pipe; what it shows comes from the side
// files the main process writes. One thread: every call below runs on it.
#include "app/panel_process.h"


#include "bridge/call_table.h"
#include "bridge/page_calls.h"
#include "bridge/pipe_server.h"
#include "bridge/webview_api.h"
#include "bridge/window_helpers.h"
#include "capture/status_report.h"
#include "model/state.h"
#include "panels/panel_command_line.h"
#include "panels/panel_placement.h"
#include "panels/panel_script.h"
#include "panels/pipe_client.h"
#include "platform/platform.h"
#include "store/app_settings.h"
#include "store/data_dir.h"
#include "store/theme_file.h"
#include "text/arguments.h"
#include "text/page_font.h"

namespace {

const char kMainTitle[] = "Varnet (Kestrine Edition)";
const char kMissingPage[] = "<h2>Error loading UI in child process</h2>";

struct PanelWindow {
    webview_t webview = nullptr;
    void* window = nullptr;
    bool overMainWindow = false;  // what the main process was last told through "panelHover"
};

PanelWindow panel;

std::string forwardCleaned(const char* command, const std::string& args) {
    sendPanelCommand(command, stripArgumentText(args));
    return "";
}

std::string forwardBare(const char* command) {
    sendPanelCommand(command, "");
    return "";
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The main process rewrites its side files in place, so a read can catch one
// empty or cut short. The panel then answers with the last whole text it
// read, rather than flashing the defaults or handing the page broken JSON.
struct SideFileReader {
    const char* fileName;
    std::string fallback;
    bool (*isWhole)(const std::string& line);
    std::string lastPath, lastWhole;
};

std::string readWholeOrLast(SideFileReader& reader) {
    const std::string path = sideFilePath(reader.fileName);
    std::string line;
    if (readFirstLine(path, line) && !line.empty() && reader.isWhole(line)) {
        reader.lastPath = path;
        reader.lastWhole = line;
        return line;
    }
    return reader.lastPath == path ? reader.lastWhole : reader.fallback;
}

SideFileReader statusReader{"status.txt", kDefaultStatusReport,
                            [](const std::string& line) { return endsWith(line, "}"); }, {}, {}};
SideFileReader eventsReader{"macroevents.txt", "[]",
                            [](const std::string& line) { return line == "[]" || endsWith(line, "}]"); },
                            {}, {}};

std::string panelUpdateSpammer(const std::string& a) { return forwardCleaned("updateSpammer", a); }
std::string panelToggleSpammer(const std::string&) { return forwardBare("toggleSpammer"); }
std::string panelUpdateKeySpam(const std::string& a) { return forwardCleaned("updateKeySpam", a); }
std::string panelToggleKeySpam(const std::string&) { return forwardBare("toggleKeySpam"); }
std::string panelStartSpammer(const std::string& a) { return forwardCleaned("startSpammer", a); }
std::string panelStopSpammer(const std::string&) { return forwardBare("stopSpammer"); }
std::string panelStartKeySpam(const std::string& a) { return forwardCleaned("startKeySpam", a); }
std::string panelStopKeySpam(const std::string&) { return forwardBare("stopKeySpam"); }
std::string panelUpdateTracker(const std::string& a) { return forwardCleaned("updateTracker", a); }
std::string panelSetTheme(const std::string& a) { return forwardCleaned("setTheme", a); }
std::string panelToggleRecording(const std::string&) { return forwardBare("toggleRecording"); }
std::string panelTogglePlayback(const std::string&) { return forwardBare("togglePlayback"); }
std::string panelDeleteEvent(const std::string& a) { return forwardCleaned("deleteEvent", a); }
std::string panelUpdateEventTime(const std::string& a) { return forwardCleaned("updateEventTime", a); }
std::string panelOptimizeMacro(const std::string&) { return forwardBare("optimizeMacro"); }
std::string panelReassignKey(const std::string& a) { return forwardCleaned("reassignKey", a); }
std::string panelEditClickSteps(const std::string& a) { return forwardCleaned("editClickSteps", a); }

// The typer's text goes as the page wrote it, quotes and commas kept, in one
// pipe message. A text that does not fit is refused here with the reason
// rather than cut short or lost on the way.
std::string panelSetKeyTyper(const std::string& args) {
    const std::string command = "setKeyTyper";
    if (command.size() + 1 + args.size() >= size_t(kPipeMessageCapacity))
        return jsonString("This text is too long to send from a pop-out window; set it in the main window.");
    sendPanelCommand(command, args);
    return "";
}

std::string panelPickLocation(const std::string&) { return forwardBare("pickLocation"); }
std::string panelCancelPick(const std::string&) { return forwardBare("cancelPick"); }
std::string panelCancelReassign(const std::string&) { return forwardBare("cancelReassign"); }

// The screens are checked here, on this window's own thread, as the main
// window checks them for its page.
std::string panelSetFixedPoint(const std::string& args) {
    int32_t x = 0, y = 0;
    std::string refusal;
    if (!readScreenPoint(args, x, y, refusal) || !refusal.empty()) return jsonString(refusal);
    sendPanelCommand("setFixedPoint", std::to_string(x) + "," + std::to_string(y));
    return "";
}

// A complete JSON string whatever the file holds, so a backslash in a theme
// name cannot make the page's call fail.
std::string panelGetSharedTheme(const std::string&) { return jsonString(readThemeFile()); }

std::string panelGetTrackerStatus(const std::string&) { return readWholeOrLast(statusReader); }

std::string panelGetMacroEvents(const std::string&) { return readWholeOrLast(eventsReader); }

// Until the main process has written its settings, the defaults this
// process holds itself (it never loads a session).
std::string panelGetSettings(const std::string&) {
    static SideFileReader settingsReader{"settings.txt", callGetSettings(""),
                                         [](const std::string& line) { return endsWith(line, "}"); }, {}, {}};
    return readWholeOrLast(settingsReader);
}

std::string panelResizeWindow(const std::string& args) {
    std::vector<std::string> fields = splitFields(stripArgumentText(args), ',');
    int32_t width = 0, height = 0;
    if (fields.size() < 2 || !parseInt32(fields[0], width) || !parseInt32(fields[1], height)) return "";
    if (panel.window) fitWindowToWorkArea(panel.webview, width, height);
    return "";
}

void onDragHover(bool over, void*) {
    if (over == panel.overMainWindow) return;
    panel.overMainWindow = over;
    sendPanelCommand("panelHover", over ? "1" : "0");
}

// Dropped onto the main window, the panel docks back: this process ends and
// the main window's next status report brings the panel back there.
void onDragDrop(bool overMainWindow, void*) {
    if (panel.overMainWindow) onDragHover(false, nullptr);
    if (overMainWindow) webview_terminate(panel.webview);
}

std::string panelBeginWindowDrag(const std::string&) {
    if (panel.window) platform::beginPanelDrag(panel.window, kMainTitle, onDragHover, onDragDrop, nullptr);
    return "";
}

std::string panelCloseThisWindow(const std::string&) {
    if (panel.webview) webview_terminate(panel.webview);
    return "";
}

const PageCall kPanelCalls[] = {
    {"updateSpammer", panelUpdateSpammer},
    {"toggleSpammer", panelToggleSpammer},
    {"updateKeySpam", panelUpdateKeySpam},
    {"toggleKeySpam", panelToggleKeySpam},
    {"updateTracker", panelUpdateTracker},
    {"setTheme", panelSetTheme},
    {"getSharedTheme", panelGetSharedTheme},
    {"toggleRecording", panelToggleRecording},
    {"togglePlayback", panelTogglePlayback},
    {"getTrackerStatus", panelGetTrackerStatus},
    {"getMacroEvents", panelGetMacroEvents},
    {"deleteEvent", panelDeleteEvent},
    {"updateEventTime", panelUpdateEventTime},
    {"optimizeMacro", panelOptimizeMacro},
    {"reassignKey", panelReassignKey},
    {"resizeWindow", panelResizeWindow},
    {"beginWindowDrag", panelBeginWindowDrag},
    {"closeThisWindow", panelCloseThisWindow},
    {"startSpammer", panelStartSpammer},
    {"stopSpammer", panelStopSpammer},
    {"startKeySpam", panelStartKeySpam},
    {"stopKeySpam", panelStopKeySpam},
    {"getSettings", panelGetSettings},
    {"editClickSteps", panelEditClickSteps},
    {"pickLocation", panelPickLocation},
    {"cancelPick", panelCancelPick},
    {"setFixedPoint", panelSetFixedPoint},
    {"cancelReassign", panelCancelReassign},
    {"setKeyTyper", panelSetKeyTyper},
};

bool readPage(std::string& html) { return platform::readFile(pageFilePath(), html); }

void setUpWindow(const PanelStartValues& start) {
    webview_set_title(panel.webview, ("Varnet (" + start.title + ")").c_str());
    platform::lockDownWebView(panel.webview);
    webview_set_size(panel.webview, kPanelWindowWidth, kPanelWindowHeight, WEBVIEW_HINT_NONE);
    panel.window = webview_get_window(panel.webview);
    if (!panel.window) return;
    platform::makeWindowFrameless(panel.window);
    if (start.placed) platform::moveWindowTo(panel.window, start.x, start.y);
    // "Always on top" holds for every window of the program; the main
    // process keeps this one in step when it changes.
    readAppSettings();
    if (appState().app.alwaysOnTop) platform::setAlwaysOnTop(panel.window, true);
}

void loadPanelPage(const PanelStartValues& start) {
    std::string page;
    if (!readPage(page)) {
        webview_set_html(panel.webview, kMissingPage);
        return;
    }
    const std::string html = panelPageHtml(page, start.theme, start.id);
    webview_set_html(panel.webview, pageWithDesktopFont(html, platform::desktopFontFamily()).c_str());
}

void terminateLoop(void* webview) { webview_terminate(static_cast<webview_t>(webview)); }

}  // namespace

const PageCall* panelPageCalls(size_t& count) {
    count = sizeof kPanelCalls / sizeof kPanelCalls[0];
    return kPanelCalls;
}

int runPanelProcess(const std::string& commandLine) {
    const PanelStartValues start = parsePanelCommandLine(commandLine);
    std::string libraryError;
    if (!platform::loadWebviewLibrary(libraryError)) return 0;
    panel.webview = webview_create(0, nullptr);
    if (!panel.webview) return 0;
    setUpWindow(start);
    bindPageCalls(panel.webview, kPanelCalls, sizeof kPanelCalls / sizeof kPanelCalls[0]);
    loadPanelPage(start);
    // The main process ends its panels with a termination request at exit.
    platform::onTerminationRequest(terminateLoop, panel.webview);
    webview_run(panel.webview);
    webview_destroy(panel.webview);
    panel = PanelWindow{};
    return 0;
}
