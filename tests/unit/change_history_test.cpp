// Undo and Redo as one property: whatever sequence of changes a person
// makes, each undo brings the saved session back byte for byte to what it
// was before that change and each redo to what it was after, while the
// history never holds more events than its budget allows.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "bridge/page_calls.h"
#include "input/engines.h"
#include "store/change_history.h"
#include "store/profile_files.h"
#include "store/session_file.h"
#include "tests/unit/store_fixture.h"

namespace {

class ChangeHistoryTest : public StoreTest {
protected:
    std::mt19937 random{1};

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }

    std::string sessionText() {
        const std::string settings = formatSettingsLine();
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        return formatSession(settings, appState().currentProfile, appState().profiles);
    }

    MacroEvent randomEvent() {
        MacroEvent e;
        e.kind = below(2) ? AbsMove : KeyStroke;
        e.x = below(40);
        e.y = below(40);
        e.vk = 65 + below(3);
        e.down = below(2) == 1;
        e.time = below(1000) / 100.0;
        return e;
    }

    // What the hooks do while a recording runs: append under the lock.
    void record(int events) {
        AppState& s = appState();
        s.toggleRecordingRequested = true;
        controlPass();
        for (int i = 0; i < events; ++i) {
            std::lock_guard<std::mutex> lock(s.profilesLock);
            s.profiles[size_t(s.currentProfile)].events.push_back(randomEvent());
            noteProfilesChanged();
        }
        s.toggleRecordingRequested = true;
        controlPass();
    }

    int32_t eventCount() {
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        return int32_t(appState().profiles[size_t(appState().currentProfile)].events.size());
    }

    std::string importText() {
        std::string text = "imported " + std::to_string(below(3)) + "\r\n";
        for (int i = below(5); i > 0; --i) text += formatEventLine(randomEvent()) + "\r\n";
        return text;
    }

    // One change a person might make; false for a switch, which is no change
    // of the profiles and is not taken back.
    bool randomChange() {
        const int32_t count = std::max(eventCount(), 1);
        switch (below(10)) {
        case 0: record(below(12)); break;
        case 1: callDeleteEvent("[" + std::to_string(below(count)) + "]"); break;
        case 2: callUpdateEventTime("[" + std::to_string(below(count)) + "," + std::to_string(below(50)) + "]"); break;
        case 3: callOptimizeMacro("[]"); break;
        case 4: callClearProfile("[]"); break;
        case 5: callDeleteProfile("[]"); break;
        case 6: callAddProfile("[\"added " + std::to_string(below(3)) + "\"]"); break;
        case 7: importProfileText(importText()); break;
        case 8: callResetEverything("[]"); break;
        default: callSwitchProfile("[" + std::to_string(below(4)) + "]"); return false;
        }
        return true;
    }

    void expectWithinBudget() {
        const ChangeHistory& h = appState().history;
        size_t held = 0;
        for (const auto* list : {&h.undo, &h.redo})
            for (const ChangeStep& step : *list) held += step.held.events.size() + 1;
        EXPECT_EQ(held, h.heldEvents);
        EXPECT_TRUE(held <= h.budget || h.undo.size() + h.redo.size() == 1) << held;
    }
};

}  // namespace

TEST_F(ChangeHistoryTest, EveryChangeUndoesAndRedoesToTheSessionBytes) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        random.seed(seed);
        setProfiles({Profile{"first", "", {}}, Profile{"second", "", {}}}, 0);
        appState().history = ChangeHistory{};
        appState().history.budget = seed % 2 ? 40 : 1000000;
        record(6);
        for (int change = 0; change < 80; ++change) {
            const std::string before = sessionText();
            const bool undoable = randomChange();
            const std::string after = sessionText();
            expectWithinBudget();
            if (!undoable || before == after) continue;
            ASSERT_TRUE(undoChange());
            ASSERT_EQ(sessionText(), before) << "undo of change " << change;
            ASSERT_TRUE(redoChange());
            ASSERT_EQ(sessionText(), after) << "redo of change " << change;
            expectWithinBudget();
        }
        // Several steps back and forward again end where they began, unless
        // the budget made the history drop what lay farthest ahead.
        const std::string last = sessionText();
        int steps = 0;
        while (undoChange()) ++steps;
        EXPECT_GT(steps, 0);
        expectWithinBudget();
        while (redoChange()) --steps;
        expectWithinBudget();
        if (appState().history.budget < 1000) continue;
        EXPECT_EQ(steps, 0);
        EXPECT_EQ(sessionText(), last);
    }
}

TEST_F(ChangeHistoryTest, SaysWhatTheNextUndoBringsBackAndRefusesWhileRecording) {
    setProfiles({Profile{"first", "", std::vector<MacroEvent>(45)}}, 0);
    EXPECT_EQ(callGetUndoState("[]"), R"({"undo":"","redo":""})");
    EXPECT_FALSE(undoChange());
    appState().toggleRecordingRequested = true;
    controlPass();
    EXPECT_EQ(callGetUndoState("[]"), R"({"undo":"recording replaced 45 events","redo":""})");
    EXPECT_FALSE(undoChange());  // the recording runs
    appState().toggleRecordingRequested = true;
    controlPass();
    callUndoChange("[]");
    EXPECT_EQ(eventCount(), 45);
    EXPECT_EQ(callGetUndoState("[]"), R"({"undo":"","redo":"recording replaced 45 events"})");
    callRedoChange("[]");
    EXPECT_EQ(eventCount(), 0);
}
