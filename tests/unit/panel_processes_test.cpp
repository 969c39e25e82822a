// The main process's table of pop-out panels, and what a panel process's own
// calls answer from the side files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/panel_process.h"
#include "bridge/call_table.h"
#include "bridge/page_calls.h"
#include "model/state.h"
#include "panels/panel_command_line.h"
#include "panels/panel_placement.h"
#include "panels/panel_processes.h"
#include "tests/fake/fake_panels.h"
#include "tests/fake/fake_platform.h"

namespace {

using Log = std::vector<std::string>;

class PanelTable : public ::testing::Test {
protected:
    void SetUp() override {
        fake::resetPanels();
        appState().panelProcesses.clear();
        replaceTheme("dark");
    }
    void TearDown() override {
        appState().panelProcesses.clear();
        fake::resetPanels();
        replaceTheme("modern-blue");
    }
};

class PanelCalls : public ::testing::Test {
protected:
    std::string root;
    void SetUp() override {
        root = fake::makeTempDir();
        fake::setPlaces(root, root, root);
    }
    void TearDown() override { std::filesystem::remove_all(root); }
    void write(const std::string& name, const std::string& text) {
        std::ofstream(root + "/" + name, std::ios::binary) << text;
    }
    std::string call(const std::string& name, const std::string& args = "[]") {
        size_t count = 0;
        const PageCall* calls = panelPageCalls(count);
        for (size_t i = 0; i < count; ++i) {
            if (name == calls[i].name) return calls[i].handler(args);
        }
        return "<not bound>";
    }
};

const char kDefaultReport[] =
    R"({"state":"Idle","count":0,"restore":[],"hkRec":"","hkPlay":"","hkAuto":"","hkKeySpam":"",)"
    R"("keySpamTarget":"","reassigning":"","panelHover":false,"autoClicking":false,"keySpamming":false,)"
    R"("saveError":"","picking":false,"pipeProblem":"","clickRate":0,"keySpamRate":0,"clickerRefused":"","keySpamRefused":""})";

}  // namespace

TEST_F(PanelTable, PopOutStartsThePanelWithTheCleanedArgumentAndTheTheme) {
    EXPECT_EQ(callPopOutPanel(R"(["Auto Clicker|clicker-panel|900|300"])"), "");
    EXPECT_EQ(fake::panelLog(), (Log{"spawn Auto Clicker|clicker-panel|900|300|dark"}));
    ASSERT_EQ(appState().panelProcesses.count("clicker-panel"), 1u);
}

TEST_F(PanelTable, PanelWithoutIdRunsUntracked) {
    callPopOutPanel(R"(["Lonely"])");
    EXPECT_EQ(fake::panelLog(), (Log{"spawn Lonely|dark", "release 1"}));
    EXPECT_TRUE(appState().panelProcesses.empty());
}

TEST_F(PanelTable, FailedStartTracksNothing) {
    fake::setSpawnFails(true);
    EXPECT_EQ(callPopOutPanel(R"(["T|p|1|2"])"), "");
    EXPECT_TRUE(appState().panelProcesses.empty());
}

TEST_F(PanelTable, SecondPopOutOfAnOpenPanelRaisesItsWindow) {
    callPopOutPanel(R"(["Keys|keys-panel|1|2"])");
    callPopOutPanel(R"(["Keys|keys-panel|5|6"])");
    EXPECT_EQ(fake::panelLog(), (Log{"spawn Keys|keys-panel|1|2|dark", "raise Varnet (Keys)"}));
    EXPECT_EQ(appState().panelProcesses.size(), 1u);
}

TEST_F(PanelTable, SecondPopOutAfterThePanelEndedStartsANewOne) {
    callPopOutPanel(R"(["Keys|keys-panel|1|2"])");
    fake::endPanel(1);
    callPopOutPanel(R"(["Keys|keys-panel|5|6"])");
    EXPECT_EQ(fake::panelLog(), (Log{"spawn Keys|keys-panel|1|2|dark", "release 1",
                                     "spawn Keys|keys-panel|5|6|dark"}));
    EXPECT_EQ(appState().panelProcesses.size(), 1u);
}

TEST_F(PanelTable, ShutdownEndsEveryTrackedPanelInIdOrder) {
    callPopOutPanel(R"(["B|b-panel|1|2"])");
    callPopOutPanel(R"(["A|a-panel|1|2"])");
    endAllPanelProcesses();
    EXPECT_EQ(fake::panelLog(), (Log{"spawn B|b-panel|1|2|dark", "spawn A|a-panel|1|2|dark",
                                     "ask 2", "release 2", "ask 1", "release 1"}));
    EXPECT_TRUE(appState().panelProcesses.empty());
}

TEST_F(PanelTable, ShutdownKillsOnlyAPanelThatCannotBeAskedOrStaysWhenAsked) {
    for (const char* args : {R"(["A|a|1|2"])", R"(["B|b|1|2"])", R"(["C|c|1|2"])", R"(["D|d|1|2"])"})
        callPopOutPanel(args);
    fake::setPanelAnswer(2, fake::PanelAnswer::Stays);
    fake::setPanelAnswer(3, fake::PanelAnswer::CannotBeAsked);
    fake::endPanel(4);
    fake::resetPanelLog();
    endAllPanelProcesses();
    EXPECT_EQ(fake::panelLog(), (Log{"ask 1", "release 1", "ask 2", "kill 2", "release 2",
                                     "ask 3", "kill 3", "release 3", "release 4"}));
}

TEST_F(PanelCalls, TwentyNineCallsInBindingOrder) {
    const char* expected[] = {"updateSpammer", "toggleSpammer", "updateKeySpam", "toggleKeySpam",
                              "updateTracker", "setTheme", "getSharedTheme", "toggleRecording",
                              "togglePlayback", "getTrackerStatus", "getMacroEvents", "deleteEvent",
                              "updateEventTime", "optimizeMacro", "reassignKey", "resizeWindow",
                              "beginWindowDrag", "closeThisWindow", "startSpammer", "stopSpammer",
                              "startKeySpam", "stopKeySpam", "getSettings", "editClickSteps", "pickLocation",
                              "cancelPick", "setFixedPoint", "cancelReassign", "setKeyTyper"};
    size_t count = 0;
    const PageCall* calls = panelPageCalls(count);
    ASSERT_EQ(count, 29u);
    for (size_t i = 0; i < count; ++i) EXPECT_STREQ(calls[i].name, expected[i]);
}

TEST_F(PanelCalls, MissingSideFilesGiveTheDefaults) {
    EXPECT_EQ(call("getTrackerStatus"), kDefaultReport);
    EXPECT_EQ(call("getMacroEvents"), "[]");
    EXPECT_EQ(call("getSharedTheme"), "\"modern-blue\"");
    EXPECT_EQ(call("getSettings"), callGetSettings(""));
    write("status.txt", "");
    write("macroevents.txt", "\r\n[1]");
    EXPECT_EQ(call("getTrackerStatus"), kDefaultReport);
    EXPECT_EQ(call("getMacroEvents"), "[]");
}

TEST_F(PanelCalls, SideFilesAreReadAtEachCall) {
    write("status.txt", R"({"state":"Recording"})" "\r\nrest");
    write("macroevents.txt", "[{\"k\":0}]");
    write("theme.txt", "dark\nsecond line");
    EXPECT_EQ(call("getTrackerStatus"), R"({"state":"Recording"})");
    EXPECT_EQ(call("getMacroEvents"), "[{\"k\":0}]");
    EXPECT_EQ(call("getSharedTheme"), "\"dark\"");
    write("theme.txt", R"(back\slash)");
    EXPECT_EQ(call("getSharedTheme"), R"("back\\slash")");
}

TEST_F(PanelCalls, AFileCaughtMidRewriteGivesTheLastWholeText) {
    write("status.txt", R"({"state":"Playing"})");
    write("macroevents.txt", R"([{"id":0}])");
    EXPECT_EQ(call("getTrackerStatus"), R"({"state":"Playing"})");
    EXPECT_EQ(call("getMacroEvents"), R"([{"id":0}])");
    write("status.txt", R"({"state":"Rec)");
    write("macroevents.txt", R"([{"id":0},{"id")");
    EXPECT_EQ(call("getTrackerStatus"), R"({"state":"Playing"})");
    EXPECT_EQ(call("getMacroEvents"), R"([{"id":0}])");
    write("status.txt", "");
    write("macroevents.txt", "[]");
    EXPECT_EQ(call("getTrackerStatus"), R"({"state":"Playing"})");
    EXPECT_EQ(call("getMacroEvents"), "[]");
}

namespace {

// What the panel's window calls reached: the fake's panel log, webview_terminate,
// and the window's size when it differs from sizeBefore.
std::string windowEffects(const fake::FakeWindow* window, int32_t widthBefore, int32_t heightBefore,
                          int terminationsBefore) {
    std::string effects;
    for (const std::string& entry : fake::panelLog()) effects += entry + ";";
    if (fake::terminateCount() != terminationsBefore) effects += "terminated;";
    if (window && (window->width != widthBefore || window->height != heightBefore))
        effects += "size " + std::to_string(window->width) + "x" + std::to_string(window->height) + ";";
    return effects;
}

struct WindowCallCase {
    const char* name;
    const char* args;
    const char* withWindow;  // what reaches the window; nothing does without one
};

// Run inside the fake's webview_run, as the page of a panel with a window calls.
const WindowCallCase* runningCase = nullptr;
fake::FakeWindow* runningWindow = nullptr;
std::string effectsWhileRunning;

void callFromTheRunningPage() {
    fake::resetPanelLog();
    const int32_t width = runningWindow->width, height = runningWindow->height;
    const int terminations = fake::terminateCount();
    fake::callPage(runningCase->name, "1", runningCase->args);
    effectsWhileRunning = windowEffects(runningWindow, width, height, terminations);
}

}  // namespace

TEST_F(PanelCalls, WindowCallsActOnThePanelsWindowAndWithoutOneReachNothing) {
    const WindowCallCase cases[] = {
        {"resizeWindow", "[300,200]", "size 300x200;"},
        {"beginWindowDrag", "[]", "drag onto Varnet (Kestrine Edition);"},
        {"closeThisWindow", "[]", "terminated;"},
    };
    for (const WindowCallCase& c : cases) {
        SCOPED_TRACE(c.name);
        fake::resetPanels();
        fake::forgetPage();
        EXPECT_EQ(call(c.name, "[300,200]"), "");  // before any window exists
        EXPECT_EQ(windowEffects(nullptr, 0, 0, 0), "");

        fake::FakeWindow window;
        runningCase = &c;
        runningWindow = &window;
        effectsWhileRunning = "<the page never ran>";
        fake::nextWebview = &window;
        fake::webviewLibraryLoads = true;
        fake::whileRunning = callFromTheRunningPage;
        runPanelProcess("Keys|keys-panel|10|10|dark");
        fake::whileRunning = nullptr;
        fake::webviewLibraryLoads = false;
        fake::nextWebview = nullptr;
        fake::forgetPage();
        EXPECT_EQ(effectsWhileRunning, c.withWindow);
    }
    fake::resetPanels();
}

// The main window's corner at (20, 20), its frame 420 x 560: a pop-out that
// would open over it opens beside it instead, and what the panel process reads
// from its command line is the corner the main process chose.
TEST_F(PanelTable, APanelThatWouldCoverTheMainWindowOpensBesideIt) {
    fake::FakeWindow main{20, 20, 420, 520};
    appState().mainWindow = &main;
    const struct {
        const char* pointer;
        bool beside;     // else up and left of the pointer, as asked
        int32_t x, y;    // the corner asked for
    } cases[] = {
        {"200|100", true, 0, 0},       // on the main window's own pop-out button
        {"500|100", true, 0, 0},       // right of it, yet the window would reach back over it
        {"1200|300", false, 1050, 280},
    };
    for (const auto& c : cases) {
        endAllPanelProcesses();
        fake::resetPanels();
        callPopOutPanel(std::string(R"(["P|p-panel|)") + c.pointer + R"("])");
        const std::vector<std::string> log = fake::panelLog();
        ASSERT_FALSE(log.empty()) << c.pointer;
        const PanelStartValues start = parsePanelCommandLine("--child " + log[0].substr(6));
        ASSERT_TRUE(start.placed) << log[0];
        EXPECT_FALSE(panelPointCovers({20, 20, 440, 580}, {start.x, start.y}, kPanelWindowWidth, kPanelWindowHeight))
            << log[0];
        if (c.beside) {
            EXPECT_GE(start.x, 440) << log[0];
        } else {
            EXPECT_EQ(start.x, c.x) << log[0];
            EXPECT_EQ(start.y, c.y) << log[0];
        }
    }
    endAllPanelProcesses();
    appState().mainWindow = nullptr;
}
