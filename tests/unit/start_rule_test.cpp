// One rule refuses a start that could only end at once or spin, whichever
// way it is asked for: the page's Start, the hotkey, a panel's toggle over
// the pipe (as `varnet --command` sends it). The engine stays off and the
// status report says why, until a start goes ahead.
#include <functional>
#include <string>

#include "bridge/page_calls.h"
#include "bridge/pipe_server.h"
#include "capture/hook_logic.h"
#include "capture/picking.h"
#include "capture/status_report.h"
#include "input/engines.h"
#include "model/start_rule.h"
#include "store/profiles.h"
#include "store/session_file.h"
#include "tests/unit/engine_fixture.h"

namespace {

struct Engine {
    const char* name;
    std::atomic<bool>& running;
    std::atomic<int32_t>& refused;
    std::string StatusFields::*reason;
    std::function<void(int32_t mode, int32_t times, int32_t run, int32_t interval)> set;
    std::function<void()> pageStart, hotkey, pipeToggle, pipeStart;
};

void pressKey(int32_t code) {
    for (bool down : {true, false}) {
        InputEvent e;
        e.code = code;
        e.down = down;
        handleKeyboardInput(e);
    }
}

std::vector<Engine> engines() {
    AppState& s = appState();
    ClickerSettings& c = s.clicker;
    KeySpamSettings& k = s.keySpam;
    return {
        {"clicker", s.autoClicking, s.clickerRefused, &StatusFields::clickerRefused,
         [&c](int32_t mode, int32_t times, int32_t run, int32_t interval) {
             c.rptMode = mode, c.rptTimes = times, c.runS = run, c.sh = c.sm = c.ss = 0, c.sms = interval;
         },
         [] { callStartSpammer("[0]"); }, [] { pressKey(117); }, [] { dispatchPanelCommand("toggleSpammer|"); },
         [] { dispatchPanelCommand("startSpammer|0"); }},
        {"key spammer", s.keySpamming, s.keySpamRefused, &StatusFields::keySpamRefused,
         [&k](int32_t mode, int32_t times, int32_t run, int32_t interval) {
             k.ksRptMode = mode, k.ksRptTimes = times, k.ksRunS = run, k.ksh = k.ksm = k.kss = 0, k.ksms = interval;
         },
         [] { callStartKeySpam("[0]"); }, [] { pressKey(120); }, [] { dispatchPanelCommand("toggleKeySpam|"); },
         [] { dispatchPanelCommand("startKeySpam|0"); }},
    };
}

struct Case {
    const char* what;
    int32_t mode, times, run, interval;
    StartRefusal expected;
};

const Case kCases[] = {
    {"times 0", RunCounted, 0, 0, 100, StartRefusal::NoTimes},
    {"times -3", RunCounted, -3, 0, 100, StartRefusal::NoTimes},
    {"for 0:0:0", RunTimed, 10, 0, 100, StartRefusal::NoLength},
    {"until stopped every 0 ms", RunUntilStopped, 10, 0, 0, StartRefusal::NoInterval},
    {"for 2 s every 0 ms", RunTimed, 10, 2, 0, StartRefusal::NoInterval},
    {"10 times every 0 ms: ends by itself", RunCounted, 10, 0, 0, StartRefusal::None},
    {"until stopped every 100 ms", RunUntilStopped, 0, 0, 100, StartRefusal::None},
    {"for 2 s every 100 ms", RunTimed, 0, 2, 100, StartRefusal::None},
};

}  // namespace

TEST_F(EngineTest, EveryWayOfStartingFollowsTheOneRule) {
    for (const Engine& engine : engines()) {
        const std::pair<const char*, std::function<void()>> ways[] = {
            {"page Start", engine.pageStart}, {"hotkey", engine.hotkey},
            {"pipe toggle", engine.pipeToggle}, {"pipe start", engine.pipeStart}};
        for (const Case& c : kCases) {
            for (const auto& [way, start] : ways) {
                SCOPED_TRACE(std::string(engine.name) + ", " + c.what + ", by " + way);
                engine.set(c.mode, c.times, c.run, c.interval);
                start();
                controlPass();
                const bool started = c.expected == StartRefusal::None;
                EXPECT_EQ(engine.running.load(), started);
                EXPECT_EQ(gatherStatus().*engine.reason, startRefusalText(c.expected));
                if (started) {
                    callStopSpammer("[]");
                    callStopKeySpam("[]");
                    controlPass();
                    EXPECT_FALSE(engine.running.load());
                } else {
                    // A start that is refused leaves nothing pending: the next
                    // valid start goes ahead and clears the reason.
                    engine.set(RunUntilStopped, 1, 0, 100);
                    start();
                    controlPass();
                    EXPECT_TRUE(engine.running.load());
                    EXPECT_EQ(gatherStatus().*engine.reason, "");
                    callStopSpammer("[]");
                    callStopKeySpam("[]");
                    controlPass();
                }
            }
        }
    }
}

// "Fixed" with no point ever set is refused whichever way the clicker is
// started, rather than clicking the screen's corner; a point picked, typed
// (in the page or a pop-out, the corner itself too) or read from a file as
// anything but 0,0 lets it start. A typed point off every screen is not taken.
TEST_F(EngineTest, ClickingAtAFixedPointWaitsForThePointToBeSet) {
    AppState& s = appState();
    const Engine clicker = engines()[0];
    const auto startedNow = [&](const std::function<void()>& start) {
        start();
        controlPass();
        const bool started = s.autoClicking;
        callStopSpammer("[]");
        controlPass();
        return started;
    };
    s.clicker.locMode = 1;
    for (const auto& start : {clicker.pageStart, clicker.hotkey, clicker.pipeToggle, clicker.pipeStart}) {
        EXPECT_FALSE(startedNow(start));
        EXPECT_EQ(gatherStatus().clickerRefused, "Not started: pick or type a point first.");
    }
    EXPECT_EQ(callSetFixedPoint("[1920,5]"), R"("X 1920, Y 5 is on no screen.")");
    EXPECT_EQ(callSetFixedPoint(R"(["x",5])"), R"("X and Y must be whole numbers.")");
    EXPECT_FALSE(startedNow(clicker.pageStart));

    const std::pair<const char*, std::function<void()>> setters[] = {
        {"typed 0,0", [] { EXPECT_EQ(callSetFixedPoint("[0,0]"), ""); }},
        {"typed in a pop-out", [] { dispatchPanelCommand("setFixedPoint|0,0"); }},
        {"picked", [&s] {
             s.pickingLocation = true;
             InputEvent press;
             press.kind = InputEvent::Button;
             press.down = true;
             press.code = 1;
             EXPECT_EQ(pickStep(press), PickOutcome::Swallow);
         }},
        {"read from a file", [&s] { s.clicker.fixedY = 40; }},
    };
    for (const auto& [how, set] : setters) {
        SCOPED_TRACE(how);
        resetProfileDefaults();
        s.clicker.locMode = 1;
        set();
        EXPECT_TRUE(startedNow(clicker.pageStart));
        EXPECT_EQ(s.clicker.locMode, 1);
    }
    // A profile's settings at 0,0 (another profile's, or this one's after a
    // restart) bring back the wait for a point.
    callSetFixedPoint("[0,0]");
    applySettingsOfProfile(formatProfileSettings());
    EXPECT_FALSE(startedNow(clicker.pageStart));
}

// In a sequence the steps' waits take the interval's place: no steps is no
// start, and one pass over them (a wait of 0 counting 1 ms) is the action
// the status report asks for, whatever the interval says.
TEST_F(EngineTest, ASequenceStartsOnlyWithStepsAndAsksForOnePassAtATime) {
    AppState& s = appState();
    engines()[0].set(RunUntilStopped, 1, 0, 0);
    s.clicker.locMode = InSequence;
    callStartSpammer("[0]");
    controlPass();
    EXPECT_FALSE(s.autoClicking.load());
    EXPECT_EQ(gatherStatus().clickerRefused, "Not started: add a step to the sequence first.");

    callEditClickSteps(R"(["add",10,20,0,0,149])");
    callEditClickSteps(R"(["add",30,40,1,0,0])");
    callStartSpammer("[0]");
    controlPass();
    EXPECT_TRUE(s.autoClicking.load());
    EXPECT_DOUBLE_EQ(gatherStatus().clickAsked, 1000.0 / 150.0);
    callStopSpammer("[]");
    controlPass();
}
