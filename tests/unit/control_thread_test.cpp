#include <chrono>
#include <thread>

#include "bridge/page_calls.h"
#include "capture/hook_logic.h"
#include "capture/hotkeys.h"
#include "input/engines.h"
#include "model/state_changes.h"
#include "platform/platform.h"
#include "tests/unit/engine_fixture.h"

namespace {

using fake::SentInput;

class ControlThread : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        AppState& s = appState();
        std::lock_guard<std::mutex> lock(s.profilesLock);
        s.profiles.assign(1, Profile{"Default Tracking Profile", "", {MacroEvent{}, MacroEvent{}}});
        s.currentProfile = 0;
    }
    void TearDown() override {
        AppState& s = appState();
        {
            std::lock_guard<std::mutex> lock(s.profilesLock);
            s.profiles.clear();
        }
        EngineTest::TearDown();
    }
    static size_t eventCount() {
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        return appState().profiles[0].events.size();
    }
};

}  // namespace

TEST_F(ControlThread, StartingTheClickerSendsNothingStoppingItReleasesAllThreeButtons) {
    appState().clicker.sbtn = 1;  // clicking the right button only
    callToggleSpammer("");
    controlPass();
    EXPECT_TRUE(appState().autoClicking);
    EXPECT_FALSE(appState().toggleSpammerRequested);
    EXPECT_EQ(fake::sentCount(), 0u);
    callToggleSpammer("");
    controlPass();
    EXPECT_FALSE(appState().autoClicking);
    EXPECT_EQ(mouseFlags(), (std::vector<uint32_t>{0x4, 0x10, 0x40}));
}

TEST_F(ControlThread, TwoRequestsInOnePassToggleOnce) {
    callToggleSpammer("");
    callToggleSpammer("");
    callToggleKeySpam("");
    callToggleKeySpam("");
    controlPass();
    EXPECT_TRUE(appState().autoClicking);
    EXPECT_TRUE(appState().keySpamming);
    controlPass();
    EXPECT_TRUE(appState().autoClicking);
}

TEST_F(ControlThread, StoppingTheKeySpammerReleasesTheCurrentTarget) {
    appState().keySpamming = true;
    appState().keySpam.keySpamTarget = 0x41;
    callToggleKeySpam("");
    controlPass();
    std::vector<SentInput> sent = fake::sentInputs();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].kind, SentInput::Key);
    EXPECT_EQ(sent[0].vk, 0x41u);
    EXPECT_FALSE(sent[0].down);
}

TEST_F(ControlThread, StoppingPlaybackReleasesLeftThenRight) {
    callTogglePlayback("");
    controlPass();
    EXPECT_TRUE(appState().playing);
    EXPECT_EQ(fake::sentCount(), 0u);
    callTogglePlayback("");
    controlPass();
    EXPECT_FALSE(appState().playing);
    EXPECT_EQ(mouseFlags(), (std::vector<uint32_t>{0x4, 0x10}));
}

TEST_F(ControlThread, RecordingStartEmptiesTheEventsAndStampsTheStart) {
    fake::advanceClock(12345);
    int64_t now = platform::perfCounter();
    callToggleRecording("");
    controlPass();
    EXPECT_TRUE(appState().recording);
    EXPECT_EQ(eventCount(), 0u);
    EXPECT_EQ(appState().recordStart, now);
    callToggleRecording("");
    controlPass();
    EXPECT_FALSE(appState().recording);
}

TEST_F(ControlThread, RecordingAndPlaybackExcludeEachOtherAndDroppedRequestsDoNotLinger) {
    callToggleRecording("");
    callTogglePlayback("");
    controlPass();  // recording comes first; the play request is dropped
    EXPECT_TRUE(appState().recording);
    EXPECT_FALSE(appState().playing);
    EXPECT_FALSE(appState().togglePlaybackRequested);
    callToggleRecording("");
    controlPass();
    EXPECT_FALSE(appState().playing);

    {
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        appState().profiles[0].events.assign(2, MacroEvent{});
    }
    appState().playing = true;
    callToggleRecording("");
    controlPass();
    EXPECT_FALSE(appState().recording);
    EXPECT_FALSE(appState().toggleRecordingRequested);
    EXPECT_EQ(eventCount(), 2u);
}

TEST_F(ControlThread, ClickerAndKeySpammerToggleWhateverElseRuns) {
    appState().recording = true;
    callToggleSpammer("");
    callToggleKeySpam("");
    controlPass();
    EXPECT_TRUE(appState().autoClicking);
    EXPECT_TRUE(appState().keySpamming);
}

TEST_F(ControlThread, ReassignmentStoresTheCapturedKeyInItsSlot) {
    appState().reassignSlot = ReassignSlot::KeySpamTarget;
    appState().capturedKey = 0x41;
    controlPass();
    EXPECT_EQ(appState().keySpam.keySpamTarget, 0x41);
    EXPECT_EQ(appState().reassignSlot, ReassignSlot::NoSlot);
    EXPECT_EQ(appState().capturedKey, 0);
    appState().reassignSlot = ReassignSlot::AutoClick;
    appState().capturedKey = 4;  // the middle button
    controlPass();
    EXPECT_EQ(appState().hotkeys.hkAuto, 4);
}

TEST_F(ControlThread, EscapeCancelsAReassignmentAndKeepsTheBinding) {
    appState().reassignSlot = ReassignSlot::Play;
    appState().capturedKey = 27;
    controlPass();
    EXPECT_EQ(appState().hotkeys.hkPlay, 118);
    EXPECT_EQ(appState().reassignSlot, ReassignSlot::NoSlot);
    EXPECT_EQ(appState().capturedKey, 0);
}

TEST_F(ControlThread, AReassignmentWaitsForItsKeyAndAnUnknownSlotStoresNothing) {
    appState().reassignSlot = ReassignSlot::Record;
    controlPass();
    EXPECT_EQ(appState().reassignSlot, ReassignSlot::Record);
    appState().reassignSlot = ReassignSlot(9);  // names no slot
    appState().capturedKey = 0x42;
    controlPass();
    EXPECT_EQ(appState().reassignSlot, ReassignSlot::NoSlot);
    EXPECT_EQ(appState().hotkeys.hkRec, 119);
    EXPECT_EQ(appState().keySpam.keySpamTarget, 32);
}

TEST_F(ControlThread, WorkerThreadsStartStopAndEndAtShutdown) {
    fake::useManualClock(false);
    appState().clicker.sms = 1;
    appState().keySpam.ksms = 1;
    std::thread clicker(autoClickerThread), keys(keySpamThread), control(controlThread);
    auto waitFor = [](auto condition) {
        for (int i = 0; i < 5000 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return condition();
    };
    callToggleSpammer("");
    callToggleKeySpam("");
    EXPECT_TRUE(waitFor([] { return appState().clickCount >= 3 && appState().keySpamCount >= 3; }));
    callToggleSpammer("");
    callToggleKeySpam("");
    EXPECT_TRUE(waitFor([] { return !appState().autoClicking && !appState().keySpamming; }));
    requestShutdown();
    clicker.join();
    keys.join();
    control.join();
}

TEST_F(ControlThread, StartAndStopAskForAStateSoOnlyAStopThatStopsSendsItsReleases) {
    AppState& s = appState();
    struct Case {
        std::atomic<bool>* running;
        std::string (*request)(const std::string&);
        bool before, after;
        size_t releases;
    };
    const Case cases[] = {
        {&s.autoClicking, callStartSpammer, false, true, 0},
        {&s.autoClicking, callStartSpammer, true, true, 0},  // its own click landing on Start
        {&s.autoClicking, callStopSpammer, true, false, 3},
        {&s.autoClicking, callStopSpammer, false, false, 0},
        {&s.keySpamming, callStartKeySpam, false, true, 0},
        {&s.keySpamming, callStartKeySpam, true, true, 0},  // its own key pressing Start
        {&s.keySpamming, callStopKeySpam, true, false, 1},
        {&s.keySpamming, callStopKeySpam, false, false, 0},
    };
    for (const Case& c : cases) {
        fake::reset();
        *c.running = c.before;
        c.request("[]");
        controlPass();
        EXPECT_EQ(c.running->load(), c.after);
        EXPECT_EQ(fake::sentCount(), c.releases);
        controlPass();  // a request is applied once
        EXPECT_EQ(c.running->load(), c.after);
        *c.running = false;
    }
}

TEST_F(ControlThread, AHotkeyTakingAnotherHotkeysKeySwapsTheTwo) {
    constexpr int32_t kF6 = 117, kF7 = 118, kF8 = 119, kF9 = 120, kA = 0x41;
    struct Case {
        ReassignSlot slot;
        int32_t key;
        int32_t rec, play, autoClick, keySpam, target;
    };
    const Case cases[] = {
        {ReassignSlot::Play, kF8, kF7, kF8, kF6, kF9, 32},         // Play takes Record's F8, Record gets F7
        {ReassignSlot::Record, kF6, kF6, kF7, kF8, kF9, 32},       // Record takes Auto click's F6
        {ReassignSlot::KeySpamHotkey, 4, kF8, kF7, kF6, 4, 32},    // a free button: no swap
        {ReassignSlot::AutoClick, kF6, kF8, kF7, kF6, kF9, 32},    // its own key: nothing changes
        {ReassignSlot::KeySpamTarget, kF7, kF8, kF7, kF6, kF9, kF7},  // the spammed key is no hotkey
        {ReassignSlot::KeySpamTarget, kA, kF8, kF7, kF6, kF9, kA},
    };
    for (const Case& c : cases) {
        resetHotkeyDefaults();
        resetProfileDefaults();
        appState().reassignSlot = c.slot;
        appState().capturedKey = c.key;
        controlPass();
        const HotkeySet& h = appState().hotkeys;
        EXPECT_EQ((std::vector<int32_t>{h.hkRec, h.hkPlay, h.hkAuto, h.hkKeySpam, appState().keySpam.keySpamTarget}),
                  (std::vector<int32_t>{c.rec, c.play, c.autoClick, c.keySpam, c.target}))
            << "slot " << int(c.slot) << " key " << c.key;
    }

    // With modifiers, only the same combination is another hotkey's.
    resetHotkeyDefaults();
    HotkeySet& h = appState().hotkeys;
    h.hkRecMods = modifier_bit::Ctrl;
    const std::pair<ReassignSlot, int32_t> reassignments[] = {{ReassignSlot::Play, 0},
                                                              {ReassignSlot::AutoClick, modifier_bit::Ctrl}};
    for (auto [slot, modifiers] : reassignments) {
        appState().reassignSlot = slot;
        appState().capturedModifiers = modifiers;
        appState().capturedKey = kF8;
        controlPass();
    }
    std::vector<std::string> names;
    for (ReassignSlot slot : kHotkeySlots) names.push_back(hotkeyName(hotkeyOfSlot(slot)));
    EXPECT_EQ(names, (std::vector<std::string>{"F6", "F8", "Ctrl+F8", "F9"}));
    EXPECT_EQ(appState().capturedModifiers, 0);
}

// Escape held down by a person stops everything after a second, whatever
// the hotkeys; synthetic Escape, or a shorter hold, stops nothing.
TEST_F(ControlThread, EscapeHeldASecondByAPersonStopsEverythingOncePerHold) {
    constexpr int32_t kEscape = 27;
    struct Case {
        bool injected, hotkeys;
        int64_t releasedAfterMs, checkedAfterMs;
        bool stops;
    };
    const Case cases[] = {
        {false, false, -1, 1000, true},
        {false, true, -1, 1000, true},
        {false, false, -1, 999, false},
        {true, false, -1, 5000, false},
        {false, false, 600, 1000, false},
    };
    AppState& s = appState();
    for (const Case& c : cases) {
        fake::reset();
        fake::useManualClock(true);
        s.app.hotkeysEnabled = c.hotkeys;
        s.autoClicking = s.keySpamming = s.playing = true;
        InputEvent escape;
        escape.kind = InputEvent::Key;
        escape.code = kEscape;
        escape.injected = c.injected;
        escape.down = true;
        escape.counter = platform::perfCounter();
        handleKeyboardInput(escape);
        if (c.releasedAfterMs >= 0) {
            fake::advanceClock(c.releasedAfterMs * kMs);
            escape.down = false;
            handleKeyboardInput(escape);
            fake::advanceClock((c.checkedAfterMs - c.releasedAfterMs) * kMs);
        } else {
            fake::advanceClock(c.checkedAfterMs * kMs);
        }
        controlPass();
        EXPECT_EQ(!s.autoClicking && !s.keySpamming && !s.playing, c.stops) << c.checkedAfterMs;
        if (c.stops) {
            // Started again while the same hold goes on, it keeps running.
            s.autoClicking = true;
            fake::advanceClock(2000 * kMs);
            controlPass();
            EXPECT_TRUE(s.autoClicking);
        }
        escape.down = false;
        handleKeyboardInput(escape);
        s.autoClicking = s.keySpamming = s.playing = false;
    }
    s.app.hotkeysEnabled = true;
}

TEST_F(ControlThread, AnEscapeHoldEndsTheRecordingWithoutItsOwnEscapePresses) {
    constexpr int32_t kEscape = 27, kA = 0x41;
    AppState& s = appState();
    callToggleRecording("");
    controlPass();
    ASSERT_TRUE(s.recording);
    auto person = [](int32_t vk, bool down) {
        InputEvent e;
        e.kind = InputEvent::Key;
        e.code = vk;
        e.down = down;
        e.counter = platform::perfCounter();
        handleKeyboardInput(e);
        fake::advanceClock(100 * kMs);
    };
    person(kEscape, true);  // a tap of Escape is part of the macro
    person(kEscape, false);
    person(kA, true);
    person(kEscape, true);  // the hold, with one auto-repeat as Windows sends it
    person(kA, false);
    fake::advanceClock(500 * kMs);
    person(kEscape, true);
    fake::advanceClock(300 * kMs);
    const uint64_t editsBefore = s.eventListEdits;
    controlPass();
    EXPECT_FALSE(s.recording);
    person(kEscape, false);
    std::vector<MacroEvent> events;
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        events = s.profiles[0].events;
        // Whoever copied the list before (side file, session save) copies it again.
        EXPECT_GT(s.eventListEdits, editsBefore);
    }
    std::vector<std::pair<int32_t, bool>> keys;
    for (const MacroEvent& e : events) keys.emplace_back(e.vk, e.down);
    EXPECT_EQ(keys, (std::vector<std::pair<int32_t, bool>>{{kEscape, true}, {kEscape, false}, {kA, true}, {kA, false}}));
}

// A Start may wait, so the user can take the pointer to the target; a Stop or
// an Escape hold during the wait means it never comes.
TEST_F(ControlThread, ADelayedStartComesWhenDueUnlessStoppedFirst) {
    AppState& s = appState();
    enum class Then { Wait, Stop, HoldEscape };
    for (Then then : {Then::Wait, Then::Stop, Then::HoldEscape}) {
        SCOPED_TRACE(int(then));
        callStartSpammer(R"([3000])");
        controlPass();
        fake::advanceClock(2999 * kMs);
        controlPass();
        EXPECT_FALSE(s.autoClicking);
        if (then == Then::Stop) callStopSpammer("[]");
        if (then == Then::HoldEscape) {
            InputEvent escape;
            escape.kind = InputEvent::Key;
            escape.code = 27;
            escape.down = true;
            escape.counter = platform::perfCounter() - 1000 * kMs;
            handleKeyboardInput(escape);
            controlPass();
            escape.down = false;
            handleKeyboardInput(escape);
        }
        fake::advanceClock(1 * kMs);
        controlPass();
        EXPECT_EQ(s.autoClicking, then == Then::Wait);
        s.autoClicking = false;
    }
    callStartKeySpam(R"(["not a delay"])");  // starts at once
    controlPass();
    EXPECT_TRUE(s.keySpamming);
}
