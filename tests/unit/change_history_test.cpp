// Undo and Redo as one property: whatever sequence of changes a person
// makes, each undo brings the saved session back byte for byte to what it
// was before that change and each redo to what it was after, while the
// history never holds more events than its budget allows.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "bridge/page_calls.h"
#include "capture/picking.h"
#include "input/engines.h"
#include "model/mouse_buttons.h"
#include "store/change_history.h"
#include "store/profile_files.h"
#include "store/profiles.h"
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

    // An edit of the click sequence, some naming no step.
    void editSequence() {
        const std::string a = std::to_string(below(3)), b = std::to_string(below(3));
        const std::string step = b + ",7," + std::to_string(below(3)) + ",0," + std::to_string(below(500));
        switch (below(4)) {
        case 0: callEditClickSteps("[\"add\"," + step + "]"); break;
        case 1: callEditClickSteps("[\"set\"," + a + "," + step + "]"); break;
        case 2: callEditClickSteps("[\"move\"," + a + "," + b + "]"); break;
        default: callEditClickSteps("[\"delete\"," + a + "]"); break;
        }
    }

    // One change a person might make; false for a switch, which is no change
    // of the profiles and is not taken back.
    bool randomChange() {
        const int32_t count = std::max(eventCount(), 1);
        switch (below(11)) {
        case 0: record(below(12)); break;
        case 1: callDeleteEvent("[" + std::to_string(below(count)) + "]"); break;
        case 2: callUpdateEventTime("[" + std::to_string(below(count)) + "," + std::to_string(below(50)) + "]"); break;
        case 3: callOptimizeMacro("[]"); break;
        case 4: callClearProfile("[]"); break;
        case 5: callDeleteProfile("[]"); break;
        case 6: callAddProfile("[\"added " + std::to_string(below(3)) + "\"]"); break;
        case 7: importProfileText(importText()); break;
        case 8: callResetEverything("[]"); break;
        case 9: editSequence(); break;
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

namespace {

// What the page and the saved session show of the sequence: the settings
// snapshot and the current profile's stored text.
std::string sequenceTexts() {
    std::string stored;
    {
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        stored = appState().profiles[size_t(appState().currentProfile)].settings;
    }
    return callGetSettings("[]") + "\n--\n" + stored;
}

void pickStepAt(int32_t x, int32_t y) {
    callEditClickSteps(R"(["pick"])");
    InputEvent press;
    press.kind = InputEvent::Button;
    press.code = button_code::Left;
    press.down = true;
    press.x = x;
    press.y = y;
    pickStep(press);
}

}  // namespace

// Each edit of the click sequence is one undo step of its own: undo brings
// the list back byte for byte, redo the edited one, also when another profile
// was made current meanwhile (the undo makes the edited one current again,
// the redo the one current at the undo).
TEST_F(ChangeHistoryTest, EachSequenceEditIsOneStepOfItsOwn) {
    struct Row {
        const char* edit;  // the page's call, or "pick" for a step picked at 300,-7
        const char* label;
        bool switchAway;   // another profile is current when the undo comes
    };
    const Row rows[] = {
        {R"(["add",5,6,1,1,70])", "adding a sequence step", false},
        {R"(["set",1,11,21,2,0,300])", "editing sequence step 2", false},
        {R"(["move",2,0])", "moving sequence step 3 to 1", false},
        {R"(["delete",0])", "deleting sequence step 1", false},
        {"pick", "adding a sequence step", false},
        {R"(["delete",2])", "deleting sequence step 3", true},
        {R"(["move",0,1])", "moving sequence step 1 to 2", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.edit);
        resetProfileDefaults();
        setProfiles({Profile{"first", "", {}}, Profile{"second", "", {}}}, 1);
        callEditClickSteps(R"(["add",1,2,0,0,0])");  // the second profile's own sequence
        callSwitchProfile("[0]");
        for (const char* add : {R"(["add",10,20,0,0,100])", R"(["add",30,40,1,0,200])", R"(["add",50,60,2,1,0])"})
            callEditClickSteps(add);
        appState().history = ChangeHistory{};
        const std::string before = sequenceTexts();
        if (std::string(row.edit) == "pick") {
            pickStepAt(300, -7);
        } else {
            callEditClickSteps(row.edit);
        }
        const std::string after = sequenceTexts();
        ASSERT_NE(after, before);
        EXPECT_EQ(callGetUndoState("[]"), std::string(R"({"undo":")") + row.label + R"(","redo":""})");
        if (row.switchAway) callSwitchProfile("[1]");
        ASSERT_TRUE(undoChange());
        EXPECT_EQ(currentIndex(), 0);
        EXPECT_EQ(sequenceTexts(), before);
        ASSERT_TRUE(redoChange());
        if (row.switchAway) {
            EXPECT_EQ(currentIndex(), 1) << "the redo goes back to where the undo was made";
            callSwitchProfile("[0]");
        }
        EXPECT_EQ(sequenceTexts(), after);
        ASSERT_TRUE(undoChange());
        EXPECT_FALSE(undoChange()) << "the edit was one step";
        callSwitchProfile("[1]");
        EXPECT_NE(sequenceTexts().find("CLICKSTEP:1,2,0,0,0"), std::string::npos)
            << "the other profile's sequence stays";
    }
}

// An edit that changes nothing keeps no step.
TEST_F(ChangeHistoryTest, ASequenceEditThatChangesNothingKeepsNoStep) {
    setProfiles({Profile{"first", "", {}}}, 0);
    callEditClickSteps(R"(["add",10,20,0,0,100])");
    appState().history = ChangeHistory{};
    for (const char* same :
         {R"(["set",0,10,20,0,0,100])", R"(["move",0,0])", R"(["delete",1])", R"(["set",0,1,1,7,0,0])"})
        callEditClickSteps(same);
    EXPECT_EQ(callGetUndoState("[]"), R"({"undo":"","redo":""})");
}
