#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "bridge/page_calls.h"
#include "bridge/status_wait.h"
#include "capture/status_report.h"
#include "model/state_changes.h"
#include "store/data_dir.h"
#include "tests/fake/fake_platform.h"
#include "tests/unit/capture_state.h"

namespace {

const char kIdleReport[] =
    R"({"state":"Idle","count":0,"restore":[],"hkRec":"F8","hkPlay":"F7","hkAuto":"F6",)"
    R"("hkKeySpam":"F9","keySpamTarget":"Space","reassigning":"","panelHover":false,)"
    R"("autoClicking":false,"keySpamming":false,"saveError":"","picking":false,"pipeProblem":"",)"
    R"("clickRate":0,"keySpamRate":0,"clickerRefused":"","keySpamRefused":""})";

ChildProcess* madeUpChild(uintptr_t n) { return reinterpret_cast<ChildProcess*>(n); }

class StatusReport : public ::testing::Test {
protected:
    void SetUp() override {
        resetCaptureState();
        appState().panelProcesses.clear();
        dir = fake::makeTempDir();
        fake::setPlaces(dir, dir, dir);
    }
    void TearDown() override {
        appState().panelProcesses.clear();
        appState().pipeProblem.clear();
        appState().clickRate = appState().keySpamRate = 0.0;
        resetCaptureState();
    }
    std::string dir;
};

}  // namespace

TEST_F(StatusReport, IdleDefaultsGiveTheExactTextAndWriteBothSideFiles) {
    EXPECT_EQ(callGetTrackerStatus("[]"), kIdleReport);
    std::string status, events;
    ASSERT_TRUE(readFirstLine(sideFilePath("status.txt"), status));
    ASSERT_TRUE(readFirstLine(sideFilePath("macroevents.txt"), events));
    EXPECT_EQ(status, kIdleReport);
    EXPECT_EQ(events, "[]");
}

TEST_F(StatusReport, DefaultReportIsTheReportOfNothing) {
    EXPECT_EQ(statusReportJson(StatusFields{}), kDefaultStatusReport);
}

TEST_F(StatusReport, ShowsStateCountReassignmentAndFlags) {
    AppState& s = appState();
    s.recording = true;
    s.playing = true;
    s.autoClicking = true;
    s.keySpamming = true;
    s.panelHover = true;
    s.hotkeys.hkPlay = 4;
    s.hotkeys.hkPlayMods = modifier_bit::Alt;
    s.hotkeys.hkAutoMods = kAllModifiers;
    s.keySpam.keySpamTarget = 0x41;
    setCurrentEvents(std::vector<MacroEvent>(3));
    callReassignKey("keyspamtarget");
    callPickLocation("");
    s.pipeProblem = "no \"pipe\"\t";
    s.clickRate = 99.96;
    s.keySpamRate = 2.449;
    s.clicker.sms = 300;  // the rates the intervals ask for come last, while the engines run
    EXPECT_EQ(callGetTrackerStatus(""),
              R"({"state":"Recording","count":3,"restore":[],"hkRec":"F8","hkPlay":"Alt+Middle Mouse",)"
              R"("hkAuto":"Ctrl+Alt+Shift+Super+F6","hkKeySpam":"F9","keySpamTarget":"A","reassigning":"keyspamtarget",)"
              R"("panelHover":true,"autoClicking":true,"keySpamming":true,"saveError":"","picking":true,"pipeProblem":"no \"pipe\"\u0009",)"
              R"("clickRate":100,"keySpamRate":2.4,"clickerRefused":"","keySpamRefused":"","clickAsked":3.33333,)"
              R"("keySpamAsked":10})");
    s.clicker.sms = 100;
    s.recording = false;
    EXPECT_EQ(callGetTrackerStatus("").rfind(R"({"state":"Playing")", 0), 0u);
}

TEST_F(StatusReport, EndedPanelsAreNamedOnceInIdOrderAndReleased) {
    AppState& s = appState();
    s.panelHover = true;
    s.panelProcesses = {{"tracker", madeUpChild(16)}, {"Keys", madeUpChild(32)}, {"clicker", madeUpChild(48)}};
    fake::setChildEnded(madeUpChild(16), true);
    fake::setChildEnded(madeUpChild(32), true);
    EXPECT_NE(callGetTrackerStatus("").find(R"("restore":["Keys","tracker"],)"), std::string::npos);
    EXPECT_FALSE(s.panelHover);
    EXPECT_TRUE(fake::childReleased(madeUpChild(16)));
    EXPECT_TRUE(fake::childReleased(madeUpChild(32)));
    EXPECT_FALSE(fake::childReleased(madeUpChild(48)));
    ASSERT_EQ(s.panelProcesses.size(), 1u);
    EXPECT_EQ(s.panelProcesses.begin()->first, "clicker");
    s.panelHover = true;
    EXPECT_NE(callGetTrackerStatus("").find(R"("restore":[],)"), std::string::npos);
    EXPECT_TRUE(s.panelHover);
    fake::setChildEnded(madeUpChild(16), false);
    fake::setChildEnded(madeUpChild(32), false);
}

// The clicker's pop-out window that asked for a pick has closed: nobody
// waits for the point, so the program stops picking; other panels leave it.
TEST_F(StatusReport, APickOrKeyCaptureEndsWithThePopOutThatWaitedForIt) {
    AppState& s = appState();
    s.panelProcesses = {{"keyspam-panel", madeUpChild(80)}, {"clicker-panel", madeUpChild(96)}};
    callPickLocation("");
    fake::setChildEnded(madeUpChild(80), true);
    callGetTrackerStatus("");
    EXPECT_TRUE(s.pickingLocation);
    fake::setChildEnded(madeUpChild(96), true);
    EXPECT_NE(callGetTrackerStatus("").find(R"("picking":false)"), std::string::npos);
    // The same for the key spammer's window waiting for its key. (Children
    // of their own: which the core released outlives the test.)
    s.panelProcesses = {{"keyspam-panel", madeUpChild(112)}};
    callReassignKey("keyspamtarget");
    fake::setChildEnded(madeUpChild(112), true);
    EXPECT_NE(callGetTrackerStatus("").find(R"("reassigning":"")"), std::string::npos);
    fake::setChildEnded(madeUpChild(112), false);
    fake::setChildEnded(madeUpChild(80), false);
    fake::setChildEnded(madeUpChild(96), false);
}

TEST_F(StatusReport, NamesWithQuotesOrBackslashesStayValidJson) {
    StatusFields fields;
    fields.hkRec = "\"";
    fields.hkPlay = "\\";
    fields.restore = {"a\"b"};
    const std::string text = statusReportJson(fields);
    EXPECT_NE(text.find(R"("hkRec":"\"","hkPlay":"\\",)"), std::string::npos);
    EXPECT_NE(text.find(R"("restore":["a\"b"])"), std::string::npos);
}

// The main page's held poll, with the watcher thread running as in the
// program and the test acting as the UI thread.
TEST_F(StatusReport, AHeldPollIsAnsweredWhenTheStatusOrThemeMovesOnOrSomethingRuns) {
    AppState& s = appState();
    fake::takePageAnswers();
    fake::runDispatched(nullptr);
    static int window = 0;
    bindStatusWait(&window);
    std::thread watcher(statusWatchThread);
    auto versionIn = [](const std::string& answer) { return std::stoull(answer.substr(answer.find(':') + 1)); };
    auto lookAgain = [] {  // what the watcher asks of the UI thread
        for (int i = 0; i < 3000 && fake::dispatchedCount() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        fake::runDispatched(nullptr);
        return fake::takePageAnswers();
    };

    fake::callPage("waitForStatus", "1", "[0]");
    auto answers = fake::takePageAnswers();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_NE(answers[0].second.find(std::string(R"(,"status":)") + kIdleReport + R"(,"theme":")"), std::string::npos)
        << answers[0].second;
    const uint64_t shown = versionIn(answers[0].second);

    fake::callPage("waitForStatus", "2", "[" + std::to_string(shown) + "]");
    EXPECT_TRUE(lookAgain().empty()) << "nothing changed, so the poll stays held";
    replaceTheme("midnight");
    announceStateChange();
    answers = lookAgain();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].first, "2");
    EXPECT_EQ(versionIn(answers[0].second), shown + 1);
    EXPECT_NE(answers[0].second.find(R"("theme":"midnight")"), std::string::npos);

    const std::string current = "[" + std::to_string(shown + 1) + "]";
    fake::callPage("waitForStatus", "3", current);
    fake::callPage("waitForStatus", "4", current);  // asking again answers the older one
    EXPECT_EQ(fake::takePageAnswers().at(0).first, "3");
    s.autoClicking = true;
    announceStateChange();
    EXPECT_EQ(lookAgain().at(0).first, "4");
    fake::callPage("waitForStatus", "5", "[" + std::to_string(shown + 2) + "]");
    EXPECT_EQ(fake::takePageAnswers().size(), 1u) << "while something runs the page is answered at once";

    requestShutdown();
    watcher.join();
    s.running = true;
    s.autoClicking = false;
    replaceTheme("modern-blue");
}

// The hooks' trouble rides at the end of the report, and only while there
// is some: a report without it is the one earlier pages read.
TEST_F(StatusReport, AHookProblemIsTheLastKeyAndOnlyWhileThereIsOne) {
    struct Case {
        bool missing;
        uint32_t reinstalls;
        uint64_t dropped;
        const char* words;  // what the text must hold; nullptr for no key
    } const cases[] = {
        {false, 0, 0, nullptr},
        {false, 1, 0, "removed the input hooks 1 time "},
        {false, 3, 0, "removed the input hooks 3 times "},
        {true, 3, 0, "could not be installed"},
        {false, 0, 5, "5 input events came faster"},
        {false, 1, 1, "put back. 1 input event came faster"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reinstalls);
        StatusFields fields;
        fields.hookProblem = hookProblemText(c.missing, c.reinstalls, c.dropped);
        const std::string report = statusReportJson(fields);
        const std::string plain = kDefaultStatusReport;
        if (!c.words) {
            EXPECT_EQ(report, plain);
            continue;
        }
        ASSERT_EQ(report.compare(0, plain.size() - 1, plain, 0, plain.size() - 1), 0) << report;
        EXPECT_EQ(report.find(",\"hookProblem\":\"", plain.size() - 1), plain.size() - 1);
        EXPECT_NE(report.find(c.words), std::string::npos) << report;
    }
}
