// Shared set-up of the engine tests: defaults everywhere, every engine off,
// the fake backend's manual clock, so each step runs with exact times and no
// real sleeping.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "input/engines.h"
#include "model/state.h"
#include "tests/fake/fake_platform.h"

class EngineTest : public ::testing::Test {
protected:
    static constexpr int64_t kMs = 1000000;  // fake counter ticks in a millisecond

    void SetUp() override { resetEverythingForTest(); }
    // The next test, of whatever kind, starts on the real clock as a fresh process does.
    void TearDown() override {
        resetEverythingForTest();
        fake::useManualClock(false);
    }

    static void resetEverythingForTest() {
        fake::reset();
        fake::useManualClock(true);
        AppState& s = appState();
        resetProfileDefaults();
        resetHotkeyDefaults();
        s.perfFrequency = 1000000000;
        s.running = true;
        s.autoClicking = s.keySpamming = s.recording = s.playing = false;
        s.toggleSpammerRequested = s.toggleKeySpamRequested = false;
        s.toggleRecordingRequested = s.togglePlaybackRequested = false;
        s.clickerSwitch = s.keySpamSwitch = NoSwitch;
        s.clickerRefused = s.keySpamRefused = 0;
        s.clickerStartAt = s.keySpamStartAt = 0;
        s.escapeHeld = s.escapeHoldSpent = false;
        s.pickingLocation = false;
        s.pickAddsStep = false;
        s.clickCount = s.keySpamCount = 0;
        s.reassignSlot = ReassignSlot::NoSlot;
        s.capturedKey = 0;
        s.capturedModifiers = 0;
        s.panelHover = false;
        forgetAutoClickerThreadState();
        forgetKeySpamThreadState();
    }

    static std::vector<uint32_t> mouseFlags() {
        std::vector<uint32_t> flags;
        for (const fake::SentInput& input : fake::sentInputs()) {
            if (input.kind == fake::SentInput::Mouse) flags.push_back(input.flags);
        }
        return flags;
    }

    static size_t countMouse(uint32_t flags) {
        size_t count = 0;
        for (uint32_t f : mouseFlags()) count += f == flags;
        return count;
    }
};
