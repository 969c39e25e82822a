#include "app/main_process.h"

#include <atomic>
#include <cstdio>
#include <iostream>
#include <thread>

#include "app/command_line.h"
#include "app/panel_process.h"
#include "bridge/call_table.h"
#include "bridge/pipe_server.h"
#include "bridge/status_wait.h"
#include "bridge/webview_api.h"
#include "bridge/window_helpers.h"
#include "input/engines.h"
#include "input/playback.h"
#include "model/state.h"
#include "model/state_changes.h"
#include "model/version.h"
#include "panels/panel_processes.h"
#include "platform/platform.h"
#include "store/app_settings.h"
#include "store/autosave.h"
#include "store/data_dir.h"
#include "store/session_file.h"
#include "store/session_rescue.h"
#include "store/theme_file.h"
#include "text/page_font.h"

namespace {

const char kMainTitle[] = "Varnet (Kestrine Edition)";

// How long a second start keeps trying to reach the first, which may still
// be loading its files before it opens the command pipe.
const int kReachFirstProcessMs = 10000;

struct Workers {
    std::thread autoClicker, keySpam, capture, playback, autosave, control, pipeServer, statusWatch;
};

// Started with another account's administrator credentials, the program
// keeps that account's session and settings, not the person's own.
void noteOtherAccount() {
    const std::string account = platform::otherAccountThanDesktops();
    if (account.empty()) return;
    appState().notices.push_back("Varnet runs as " + account +
                                 ", not as the account signed in to this desktop, because it was started with "
                                 "that account's administrator rights. Its profiles, settings and page data are " +
                                 account + "'s, kept in " + platform::dataDir() +
                                 "; started without those rights, Varnet shows your own.");
}

void prepareState() {
    initDataDir();
    platform::installCrashHandler(saveOnCrash);
    if (!loadSessionKeepingUnreadable()) addFirstStartProfile();
    noteOtherAccount();
    appState().perfFrequency = platform::perfCounterFrequency();
    readAppSettings();
    platform::setLaunchOnStartup(appState().app.launchOnStartup);
    replaceTheme(readThemeFile());
    appState().pipeStopEvent = platform::stopSignalCreate();
}

// The capture thread must have taken its place before a window can close, or
// shutdown could not tell it to stop; waiting here closes that gap.
void waitForCaptureThread() {
    for (int waited = 0; waited < 5000 && !appState().captureReady; ++waited)
        platform::sleepMs(1);
}

void startWorkers(Workers& w) {
    w.autoClicker = std::thread(autoClickerThread);
    w.keySpam = std::thread(keySpamThread);
    w.capture = std::thread(platform::captureThreadMain);
    w.playback = std::thread(playbackThread);
    w.autosave = std::thread(autosaveThread);
    w.control = std::thread(controlThread);
    w.pipeServer = std::thread(pipeServerThread);
    w.statusWatch = std::thread(statusWatchThread);
    waitForCaptureThread();
}

void joinIfRunning(std::thread& t) {
    if (t.joinable()) t.join();
}

void stopWorkers(Workers& w) {
    requestShutdown();
    platform::captureThreadStop();
    if (appState().pipeStopEvent) platform::stopSignalRaise(appState().pipeStopEvent);
    joinIfRunning(w.autoClicker);
    joinIfRunning(w.keySpam);
    joinIfRunning(w.capture);
    joinIfRunning(w.playback);
    joinIfRunning(w.control);
    joinIfRunning(w.pipeServer);
    joinIfRunning(w.autosave);
    joinIfRunning(w.statusWatch);
    platform::stopSignalDestroy(appState().pipeStopEvent);
    appState().pipeStopEvent = nullptr;
}

bool readPage(std::string& html) { return platform::readFile(pageFilePath(), html); }

void loadPage(webview_t w) {
    std::string html;
    if (readPage(html)) {
        webview_set_html(w, pageWithDesktopFont(html, platform::desktopFontFamily()).c_str());
    } else {
        platform::showErrorBox("UI Error", "Failed to read:\n" + pageFilePath());
    }
}

void onPlacementSettled(void* window) { saveWindowPlacement(window); }

// A stored rectangle is used only when its corner lies on a monitor, and is
// kept inside that monitor's work area.
void restorePlacement(void* window) {
    const AppSettings& a = appState().app;
    platform::ScreenRect area;
    if (a.windowPlacementKnown && platform::monitorWorkAreaAt(a.windowX, a.windowY, area)) {
        int32_t width = std::min<int32_t>(a.windowWidth, area.right - area.left);
        int32_t height = std::min<int32_t>(a.windowHeight, area.bottom - area.top);
        platform::placeWindow(window, a.windowX, a.windowY, width, height);
    }
    platform::watchWindowPlacement(window, onPlacementSettled, onPlacementSettled);
}

void applyShowState(void* window) {
    const AppSettings& a = appState().app;
    if (a.windowMaximized && !a.startMinimized) platform::showMaximized(window);
    if (a.alwaysOnTop) platform::setAlwaysOnTop(window, true);
    if (a.startMinimized) {
        platform::showMinimized(window);
    } else {
        platform::forceForeground(window);
    }
}

// Nobody may see the page at the end of the run, so a failed exit save is
// also told on standard error.
void saveAtExitTellingFailure() {
    const std::string failure = saveSessionAtExit();
    if (!failure.empty())
        std::cerr << "Varnet: the session was not saved: " << appState().sessionPath << ": "
                  << failure << std::endl;
}

// A logout may end the process soon after it asks it to stop, so the session
// is written before the loop is even told to end; the exit save after the
// loop then writes anything newer.
void terminateLoop(void* webview) {
    saveAtExitTellingFailure();
    webview_terminate(static_cast<webview_t>(webview));
}

// Another main process of this user is running: it is asked to show its
// window, and this one ends before it has read or written any file.
int handOverToRunningProcess() {
    for (int waited = 0; waited < kReachFirstProcessMs; waited += 50) {
        if (platform::ipcSendMessage("showMainWindow|")) break;
        platform::sleepMs(50);
    }
    return 0;
}

int runMainProcess() {
    std::string lockProblem;
    switch (platform::claimMainInstance(lockProblem)) {
    case platform::InstanceClaim::Won: break;
    case platform::InstanceClaim::HeldByAnother: return handOverToRunningProcess();
    case platform::InstanceClaim::Failed:
        std::cerr << "Varnet: cannot make sure only one Varnet runs: " << lockProblem << std::endl;
        return 1;
    }
    prepareState();
    Workers workers;
    startWorkers(workers);

    std::string webviewError;
    webview_t w = platform::loadWebviewLibrary(webviewError) ? webview_create(0, nullptr) : nullptr;
    int exitCode = 0;
    if (!w) {
        // Without a web view there is no window to run; still save and stop in order.
        // A library that loaded but made no browser lacks its engine. A launcher
        // or a script sees the failure by the exit code and standard error.
        const std::string reason = webviewError.empty() ? platform::webViewEngineMissingText() : webviewError;
        std::cerr << "Varnet: the window cannot be shown: " << reason << std::endl;
        platform::showErrorBox("Varnet", reason);
        exitCode = 1;
    } else {
        webview_set_title(w, kMainTitle);
        platform::lockDownWebView(w);
        webview_set_size(w, kDefaultWindowWidth, kDefaultWindowHeight, WEBVIEW_HINT_NONE);
        // Narrower or shorter, the fields and buttons would be cut off.
        webview_set_size(w, 380, 360, WEBVIEW_HINT_MIN);
        size_t count = 0;
        const PageCall* calls = mainPageCalls(count);
        bindPageCalls(w, calls, count);
        bindStatusWait(w);
        loadPage(w);
        void* window = webview_get_window(w);
        appState().mainWindow = window;
        appState().mainWebview = w;
        restorePlacement(window);
        applyShowState(window);
        platform::onTerminationRequest(terminateLoop, w);
        setFrontWindowTarget(w);
        webview_run(w);
        setFrontWindowTarget(nullptr);
    }

    saveAtExitTellingFailure();
    stopWorkers(workers);
    endAllPanelProcesses();
    appState().mainWindow = nullptr;
    appState().mainWebview = nullptr;
    if (w) webview_destroy(w);
    return exitCode;
}

}  // namespace

bool isPanelCommandLine(const std::string& commandLine) {
    return commandLine.size() >= 7 && commandLine.find("--child") != std::string::npos;
}

int varnetMain(const std::string& commandLine) {
    if (isVersionCommandLine(commandLine)) {
        std::printf("Varnet %s\n", varnetVersion());
        return 0;
    }
    if (isHelpCommandLine(commandLine)) {
        std::fputs(helpText(), stdout);
        return 0;
    }
    std::string message;
    if (isCommandCommandLine(commandLine, message)) return int(sendCommandMessage(message));
    platform::prepareProcess();
    int code = isPanelCommandLine(commandLine) ? runPanelProcess(commandLine) : runMainProcess();
    platform::finishProcess();
    return code;
}
