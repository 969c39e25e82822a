#include <chrono>
#include <thread>

#include "app/state_changes.h"
#include "app/workers.h"
#include "bridge/page_calls.h"
#include "input/engines.h"
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
    appState().reassignSlot = 5;
    appState().capturedKey = 0x41;
    controlPass();
    EXPECT_EQ(appState().keySpam.keySpamTarget, 0x41);
    EXPECT_EQ(appState().reassignSlot, 0);
    EXPECT_EQ(appState().capturedKey, 0);
    appState().reassignSlot = 3;
    appState().capturedKey = 4;  // the middle button
    controlPass();
    EXPECT_EQ(appState().hotkeys.hkAuto, 4);
}

TEST_F(ControlThread, EscapeCancelsAReassignmentAndKeepsTheBinding) {
    appState().reassignSlot = 2;
    appState().capturedKey = 27;
    controlPass();
    EXPECT_EQ(appState().hotkeys.hkPlay, 118);
    EXPECT_EQ(appState().reassignSlot, 0);
    EXPECT_EQ(appState().capturedKey, 0);
}

TEST_F(ControlThread, AReassignmentWaitsForItsKeyAndAnUnknownSlotStoresNothing) {
    appState().reassignSlot = 1;
    controlPass();
    EXPECT_EQ(appState().reassignSlot, 1);
    appState().reassignSlot = 9;
    appState().capturedKey = 0x42;
    controlPass();
    EXPECT_EQ(appState().reassignSlot, 0);
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
