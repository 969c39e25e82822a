#include <algorithm>
#include <thread>

#include "bridge/page_calls.h"
#include "input/engines.h"
#include "model/mouse_flags.h"
#include "platform/platform.h"
#include "tests/unit/engine_fixture.h"

namespace {

using fake::SentInput;

class AutoClicker : public EngineTest {
protected:
    // Steps until the clicker switches itself off; a bound keeps a fault from hanging the test.
    static int runUntilOff(int maxSteps = 1000) {
        int steps = 0;
        while (appState().autoClicking && steps < maxSteps) {
            autoClickerStep();
            ++steps;
        }
        return steps;
    }
};

}  // namespace

TEST_F(AutoClicker, IdleStepSendsNothingAndKeepsTheCountAtZero) {
    appState().clickCount = 7;
    autoClickerStep();
    EXPECT_EQ(fake::sentCount(), 0u);
    EXPECT_EQ(appState().clickCount, 0);
}

TEST_F(AutoClicker, SingleClickIsPressThenReleaseAndTheNextFollowsTheIntervalExactly) {
    appState().clicker.sms = 10;
    appState().autoClicking = true;
    autoClickerStep();
    autoClickerStep();
    std::vector<SentInput> sent = fake::sentInputs();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(mouseFlags(), (std::vector<uint32_t>{0x2, 0x4, 0x2, 0x4}));
    for (const SentInput& input : sent) {
        EXPECT_EQ(input.dx, 0);
        EXPECT_EQ(input.dy, 0);
        EXPECT_EQ(input.mouseData, 0u);
    }
    // Measured from the end of one click action to the next, with no overshoot.
    EXPECT_EQ(sent[2].at - sent[1].at, 10 * kMs);
    EXPECT_EQ(appState().clickCount, 2);
}

TEST_F(AutoClicker, RightAndMiddleButtonsUseTheirOwnFlags) {
    appState().clicker.sbtn = 1;
    appState().autoClicking = true;
    autoClickerStep();
    appState().clicker.sbtn = 2;
    autoClickerStep();
    EXPECT_EQ(mouseFlags(), (std::vector<uint32_t>{0x8, 0x10, 0x20, 0x40}));
}

TEST_F(AutoClicker, DoubleClickLeavesAtLeastFifteenMillisecondsBetweenItsClicks) {
    appState().clicker.stype = 1;
    appState().autoClicking = true;
    autoClickerStep();
    std::vector<SentInput> sent = fake::sentInputs();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(mouseFlags(), (std::vector<uint32_t>{0x2, 0x4, 0x2, 0x4}));
    EXPECT_EQ(sent[2].at - sent[1].at, 15 * kMs);
    EXPECT_EQ(appState().clickCount, 1);  // a double click is one action
}

TEST_F(AutoClicker, CountedRunOfTenDoubleClicksEndsByItselfWithoutReleases) {
    ClickerSettings& c = appState().clicker;
    c.rptMode = 0;
    c.rptTimes = 10;
    c.stype = 1;
    appState().autoClicking = true;
    runUntilOff();
    EXPECT_FALSE(appState().autoClicking);
    EXPECT_EQ(countMouse(0x2), 20u);
    EXPECT_EQ(countMouse(0x4), 20u);
    EXPECT_EQ(fake::sentCount(), 40u);
    EXPECT_EQ(appState().clickCount, 10);
    autoClickerStep();
    EXPECT_EQ(appState().clickCount, 0);
}

TEST_F(AutoClicker, CountedRunOfZeroOrLessClicksNothingAndEndsAtOnce) {
    for (int32_t times : {0, -3}) {
        appState().clicker.rptMode = 0;
        appState().clicker.rptTimes = times;
        appState().autoClicking = true;
        EXPECT_EQ(runUntilOff(), 1);
        EXPECT_EQ(fake::sentCount(), 0u);
    }
}

TEST_F(AutoClicker, UnknownButtonClicksNothingYetCountsAndEndsItsRun) {
    ClickerSettings& c = appState().clicker;
    c.sbtn = 3;
    c.rptMode = 0;
    c.rptTimes = 2;
    appState().autoClicking = true;
    runUntilOff();
    EXPECT_EQ(mouseFlags(), (std::vector<uint32_t>{0, 0, 0, 0}));
    EXPECT_EQ(appState().clickCount, 2);
    EXPECT_FALSE(appState().autoClicking);
}

TEST_F(AutoClicker, FixedLocationIsMovedToOnceBeforeEachAction) {
    ClickerSettings& c = appState().clicker;
    c.locMode = 1;
    c.fixedX = 120;
    c.fixedY = -40;
    c.stype = 1;
    appState().autoClicking = true;
    autoClickerStep();
    autoClickerStep();
    std::vector<SentInput> sent = fake::sentInputs();
    ASSERT_EQ(sent.size(), 10u);
    for (size_t action : {0u, 5u}) {
        EXPECT_EQ(sent[action].kind, SentInput::Move);
        EXPECT_EQ(sent[action].x, 120);
        EXPECT_EQ(sent[action].y, -40);
        for (size_t i = action + 1; i < action + 5; ++i) EXPECT_EQ(sent[i].kind, SentInput::Mouse);
    }
}

TEST_F(AutoClicker, IntervalNeverFallsBelowOneMillisecond) {
    ClickerSettings& c = appState().clicker;
    for (int32_t ms : {0, -500}) {
        fake::reset();
        fake::useManualClock(true);
        c.sms = ms;
        appState().autoClicking = true;
        autoClickerStep();
        autoClickerStep();
        std::vector<SentInput> sent = fake::sentInputs();
        ASSERT_EQ(sent.size(), 4u);
        EXPECT_EQ(sent[2].at - sent[1].at, 1 * kMs);
    }
}

TEST_F(AutoClicker, IntervalPartsAddUpAcrossUnits) {
    ClickerSettings& c = appState().clicker;
    c.sm = 1;
    c.ss = 2;
    c.sms = 3;
    appState().autoClicking = true;
    autoClickerStep();
    autoClickerStep();
    std::vector<SentInput> sent = fake::sentInputs();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[2].at - sent[1].at, 62003 * kMs);
}

TEST_F(AutoClicker, StopEndsAnHourLongWait) {
    fake::useManualClock(false);
    appState().clicker.sh = 1;
    appState().autoClicking = true;
    std::thread clicker(autoClickerStep);
    while (fake::sentCount() < 2) std::this_thread::yield();
    appState().autoClicking = false;
    clicker.join();  // an hour otherwise
    EXPECT_EQ(fake::sentCount(), 2u);
}

TEST_F(AutoClicker, ShutdownEndsAWaitToo) {
    fake::useManualClock(false);
    appState().clicker.sh = 1000000;  // far beyond any counter's range in ticks
    appState().autoClicking = true;
    std::thread clicker(autoClickerStep);
    while (fake::sentCount() < 2) std::this_thread::yield();
    appState().running = false;
    clicker.join();
    EXPECT_TRUE(appState().autoClicking);
}

TEST_F(AutoClicker, UpdateStoresNineFieldsInOrder) {
    callUpdateSpammer("[1,2,3,4,1,1,0,5,1]");
    const ClickerSettings& c = appState().clicker;
    EXPECT_EQ(c.sh, 1);
    EXPECT_EQ(c.sm, 2);
    EXPECT_EQ(c.ss, 3);
    EXPECT_EQ(c.sms, 4);
    EXPECT_EQ(c.sbtn, 1);
    EXPECT_EQ(c.stype, 1);
    EXPECT_EQ(c.rptMode, 0);
    EXPECT_EQ(c.rptTimes, 5);
    EXPECT_EQ(c.locMode, 1);
}

TEST_F(AutoClicker, UpdateWithQuotedStringsEqualsNumbersAndExtraFieldsAreIgnored) {
    EXPECT_EQ(callUpdateSpammer(R"(["0","0","1","0","1","1","0","5","0","99"])"), "");
    const ClickerSettings& c = appState().clicker;
    EXPECT_EQ(c.ss, 1);
    EXPECT_EQ(c.sms, 0);
    EXPECT_EQ(c.sbtn, 1);
    EXPECT_EQ(c.stype, 1);
    EXPECT_EQ(c.rptMode, 0);
    EXPECT_EQ(c.rptTimes, 5);
    EXPECT_EQ(c.locMode, 0);
}

TEST_F(AutoClicker, UpdateWithEightFieldsChangesNothing) {
    callUpdateSpammer("[1,2,3,4,1,1,0,5]");
    EXPECT_EQ(appState().clicker.sh, 0);
    EXPECT_EQ(appState().clicker.sms, 100);
}

TEST_F(AutoClicker, UpdateStopsAtABadNumberKeepingWhatCameBefore) {
    callUpdateSpammer("[7,8,x,4,1,1,0,5,1]");
    const ClickerSettings& c = appState().clicker;
    EXPECT_EQ(c.sh, 7);
    EXPECT_EQ(c.sm, 8);
    EXPECT_EQ(c.ss, 0);
    EXPECT_EQ(c.sms, 100);
    callUpdateSpammer("[1,2,3,99999999999,1,1,0,5,1]");
    EXPECT_EQ(c.ss, 3);
    EXPECT_EQ(c.sms, 100);
    callUpdateSpammer("[ 12px,-2,3,4,1,1,0,5,1]");  // digits as far as they go
    EXPECT_EQ(c.sh, 12);
    EXPECT_EQ(c.sm, -2);
}

TEST_F(AutoClicker, ToggleOnlyRaisesTheRequest) {
    EXPECT_EQ(callToggleSpammer("[]"), "");
    EXPECT_TRUE(appState().toggleSpammerRequested);
    EXPECT_FALSE(appState().autoClicking);
}

TEST_F(AutoClicker, OnlyACompleteUpdateIsCopiedIntoTheCurrentProfile) {
    AppState& s = appState();
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        s.profiles.assign(1, Profile{"Default Tracking Profile", "", {}});
        s.currentProfile = 0;
    }
    auto profileSettings = [&s] {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        return s.profiles[0].settings;
    };
    callUpdateSpammer("[1,2,3,x,1,1,0,5,1]");
    EXPECT_EQ(profileSettings(), "");
    callUpdateKeySpam("[0,0,0,50,0]");
    EXPECT_EQ(profileSettings(), "");
    callUpdateSpammer("[1,2,3,4,1,1,0,5,1]");
    EXPECT_EQ(profileSettings(), "1,2,3,4,1,1,0,5,1,0,0,0,0,0,100,1,10,32");
    callUpdateKeySpam("[0,0,0,50,0,-3]");
    EXPECT_EQ(profileSettings(), "1,2,3,4,1,1,0,5,1,0,0,0,0,0,50,0,-3,32");
    std::lock_guard<std::mutex> lock(s.profilesLock);
    s.profiles.clear();
}

// Both engines, on the manual clock: a timed run's first action starts its
// clock, and the run ends exactly its length later, even when that falls
// inside an interval.
TEST_F(AutoClicker, TimedRunsOfBothEnginesEndOnTime) {
    struct Engine {
        const char* name;
        void (*configure)(int32_t seconds, int32_t intervalMs);
        std::atomic<bool>& active;
        void (*step)();
    };
    AppState& s = appState();
    const Engine engines[] = {
        {"auto-clicker",
         [](int32_t seconds, int32_t intervalMs) {
             ClickerSettings& c = appState().clicker;
             c.rptMode = RunTimed;
             c.runS = seconds;
             c.sms = intervalMs;
         },
         s.autoClicking, autoClickerStep},
        {"key spammer",
         [](int32_t seconds, int32_t intervalMs) {
             KeySpamSettings& k = appState().keySpam;
             k.ksRptMode = RunTimed;
             k.ksRunS = seconds;
             k.ksms = intervalMs;
         },
         s.keySpamming, keySpamStep},
    };
    struct Case {
        int32_t seconds, intervalMs;
        size_t actions;
    } const cases[] = {{1, 300, 4}, {1, 250, 4}, {2, 5000, 1}, {0, 100, 0}};
    for (const Engine& engine : engines) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(engine.name) + " for " + std::to_string(c.seconds) + " s");
            resetEverythingForTest();
            fake::advanceClock(7 * kMs);  // the run's clock is its own, not the counter's
            engine.configure(c.seconds, c.intervalMs);
            engine.active = true;
            const int64_t t0 = platform::perfCounter();
            for (int steps = 0; engine.active && steps < 100; ++steps) engine.step();
            EXPECT_FALSE(engine.active);
            EXPECT_EQ(platform::perfCounter() - t0, c.seconds * 1000 * kMs);
            EXPECT_EQ(fake::sentCount(), 2 * c.actions);
        }
    }
}

// The rate each engine reports: nothing in a run's first second, then the
// actions per second of the window just closed; a slow interval still gives
// its own rate; a stop clears it.
TEST_F(AutoClicker, BothEnginesReportTheRateTheyAchieveAndClearItWhenStopped) {
    AppState& s = appState();
    struct Engine {
        const char* name;
        std::atomic<int32_t>& intervalMs;
        std::atomic<bool>& active;
        std::atomic<double>& rate;
        void (*step)();
    } const engines[] = {
        {"auto-clicker", s.clicker.sms, s.autoClicking, s.clickRate, autoClickerStep},
        {"key spammer", s.keySpam.ksms, s.keySpamming, s.keySpamRate, keySpamStep},
    };
    struct Case {
        int32_t intervalMs, actions;
        double rate;
    } const cases[] = {{10, 100, 0.0}, {10, 101, 100.0}, {10, 250, 100.0}, {400, 3, 0.0}, {400, 4, 2.5}, {1500, 2, 1.0 / 1.5}};
    for (const Engine& engine : engines) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(engine.name) + " every " + std::to_string(c.intervalMs) + " ms, " +
                         std::to_string(c.actions) + " actions");
            resetEverythingForTest();
            engine.step();  // idle first, as the thread is between runs, whatever ran before
            engine.intervalMs = c.intervalMs;
            engine.active = true;
            for (int32_t i = 0; i < c.actions; ++i) engine.step();
            EXPECT_DOUBLE_EQ(engine.rate, c.rate);
            engine.active = false;
            engine.step();
            EXPECT_EQ(engine.rate, 0.0);
        }
    }
}

namespace {

struct Spread {
    int64_t low = INT64_MAX, high = INT64_MIN;
    void add(int64_t value) {
        low = std::min(low, value);
        high = std::max(high, value);
    }
};

}  // namespace

// Humanised clicking on the manual clock: every press's offset from its slot,
// every hold and point stays within what was asked, and each varies from
// action to action.
TEST_F(AutoClicker, HumanisedDeadlinesHoldsAndPointsStayWithinTheirSpreadsAndVary) {
    struct Case {
        const char* name;
        int32_t intervalMs, spreadMs, holdMs, areaPx, locMode;
        int64_t offsetMs;  // the most a press may fall off its slot
    } const cases[] = {
        {"at a fixed point", 100, 30, 20, 5, 1, 30},
        {"around the pointer", 40, 10, 0, 3, 0, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetEverythingForTest();
        fake::setCursor(500, 600);
        ClickerSettings& k = appState().clicker;
        k.sms = c.intervalMs;
        k.rndMs = c.spreadMs;
        k.holdMs = c.holdMs;
        k.areaPx = c.areaPx;
        k.locMode = c.locMode;
        k.fixedX = 100;
        k.fixedY = 200;
        appState().autoClicking = true;
        for (int i = 0; i < 200; ++i) autoClickerStep();

        const int32_t centreX = c.locMode == 1 ? 100 : 500, centreY = c.locMode == 1 ? 200 : 600;
        Spread offset, hold, x, y;
        int64_t firstPress = -1, lastPress = 0, presses = 0;
        bool movedOff = false;
        for (const SentInput& input : fake::sentInputs()) {
            if (input.kind == SentInput::Move) {
                if (c.locMode == 0 && movedOff) {
                    EXPECT_EQ(input.x, 500) << "the pointer is put back";
                    EXPECT_EQ(input.y, 600);
                    movedOff = false;
                    continue;
                }
                x.add(input.x - centreX);
                y.add(input.y - centreY);
                movedOff = true;
            } else if (input.flags == mouse_flags::LeftDown) {
                if (firstPress < 0) firstPress = input.at;
                if (presses > 0) offset.add(input.at - firstPress - presses * c.intervalMs * kMs);
                ++presses;
                lastPress = input.at;
            } else if (input.flags == mouse_flags::LeftUp) {
                hold.add(input.at - lastPress);
            }
        }
        EXPECT_GE(offset.low, -c.offsetMs * kMs);
        EXPECT_LE(offset.high, c.offsetMs * kMs);
        EXPECT_GT(offset.high - offset.low, c.offsetMs * kMs) << "fresh offsets, widely spread";
        EXPECT_GE(hold.low, 0);
        EXPECT_LE(hold.high, c.holdMs * kMs);
        if (c.holdMs > 0) {
            EXPECT_GT(hold.high - hold.low, c.holdMs * kMs / 2);
        }
        if (c.areaPx > 0) {
            // Measured from the point asked for, not from the middle of
            // what was seen: both ends reached and none passed, so a spread
            // off centre by one fails.
            for (const Spread& axis : {x, y}) {
                EXPECT_EQ(axis.low, -c.areaPx);
                EXPECT_EQ(axis.high, c.areaPx);
            }
        } else {
            EXPECT_EQ(x.low, c.locMode == 1 ? 0 : INT64_MAX) << "no move around the pointer without an area";
        }
    }
}

// The system refuses input while the session is locked or a secure desktop
// shows: a refused press is no action and needs no release; a refused
// release is sent again until taken, and the action counts once. A session
// away sends nothing at all until it returns.
TEST_F(AutoClicker, BothEnginesCountOnlyWhatWasTakenAndSendARefusedReleaseAgain) {
    AppState& s = appState();
    struct Engine {
        const char* name;
        std::atomic<bool>& active;
        std::atomic<int32_t>& count;
        void (*step)();
    } const engines[] = {
        {"auto-clicker", s.autoClicking, s.clickCount, autoClickerStep},
        {"key spammer", s.keySpamming, s.keySpamCount, keySpamStep},
    };
    struct Case {
        const char* name;
        bool pressRefused, away;
        int releaseRefusals;
        size_t sends;  // attempts, refused ones included
        int32_t counted;
    } const cases[] = {
        {"all taken", false, false, 0, 2, 1},
        {"press refused", true, false, 0, 1, 0},
        {"release refused twice", false, false, 2, 4, 1},
        {"session away", false, true, 0, 0, 0},
    };
    static int releaseRefusals = 0;
    for (const Engine& engine : engines) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(engine.name) + ": " + c.name);
            resetEverythingForTest();
            s.sessionAway = c.away;
            engine.active = true;
            engine.count = 1;  // mid-run, so the step does not time the run's start
            fake::refuseSends = c.pressRefused ? 1 : 0;
            releaseRefusals = c.releaseRefusals;
            fake::onSend([](const SentInput&) {
                if (releaseRefusals == 0) return;
                fake::refuseSends = releaseRefusals;  // after the press, for the releases
                releaseRefusals = 0;
            });
            engine.step();
            fake::onSend(nullptr);
            const std::vector<SentInput> sent = fake::sentInputs();
            ASSERT_EQ(sent.size(), c.sends);
            if (c.sends >= 2) {
                EXPECT_TRUE(sent.back().taken);
                for (size_t i = 2; i < sent.size(); ++i) {
                    EXPECT_EQ(sent[i].flags, sent[1].flags);
                    EXPECT_EQ(sent[i].vk, sent[1].vk);
                    EXPECT_FALSE(sent[i].down);
                }
            }
            EXPECT_EQ(engine.count, 1 + c.counted);
            s.sessionAway = false;
            engine.active = false;
        }
    }
}

// The 1 ms timer resolution is held while an engine runs and only then.
TEST_F(AutoClicker, EachEngineHoldsTheTimerResolutionOnlyWhileItRuns) {
    AppState& s = appState();
    autoClickerStep();  // idle: whatever an earlier run held is given back
    keySpamStep();
    const int base = fake::timerResolutionHolds;
    s.autoClicking = true;
    autoClickerStep();
    EXPECT_EQ(fake::timerResolutionHolds, base + 1);
    s.keySpamming = true;
    keySpamStep();
    keySpamStep();
    EXPECT_EQ(fake::timerResolutionHolds, base + 2);
    s.autoClicking = false;
    autoClickerStep();
    EXPECT_EQ(fake::timerResolutionHolds, base + 1);
    s.keySpamming = false;
    keySpamStep();
    keySpamStep();
    EXPECT_EQ(fake::timerResolutionHolds, base);
}
