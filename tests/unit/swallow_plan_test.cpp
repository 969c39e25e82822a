// The swallow plan against the state, and against the hooks' own decisions:
// whatever press the plan takes, the hooks swallow, and no other.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "capture/hook_logic.h"
#include "capture/swallow_plan.h"
#include "model/state.h"
#include "tests/unit/capture_state.h"

namespace {

constexpr int32_t kF6 = 117, kF7 = 118, kF8 = 119, kF9 = 120, kEscape = 27, kCancel = 3, kA = 0x41;
constexpr std::array<int32_t, 4> kDefaultHotkeys = {kF8, kF7, kF6, kF9};  // record, play, auto, key spam

struct Row {
    const char* name;
    bool hotkeysEnabled;
    std::array<int32_t, 4> hotkeys;
    ReassignSlot slot;
    bool picking;
    std::vector<int32_t> keys;
    bool everyKey;
    std::vector<int32_t> buttons, pickOnlyButtons;
};

void applyRow(const Row& row) {
    resetCaptureState();
    AppState& s = appState();
    s.app.hotkeysEnabled = row.hotkeysEnabled;
    s.hotkeys.hkRec = row.hotkeys[0];
    s.hotkeys.hkPlay = row.hotkeys[1];
    s.hotkeys.hkAuto = row.hotkeys[2];
    s.hotkeys.hkKeySpam = row.hotkeys[3];
    s.reassignSlot = row.slot;
    s.pickingLocation = row.picking;
}

std::vector<int32_t> setCodes(const auto& bits) {
    std::vector<int32_t> codes;
    for (size_t code = 0; code < bits.size(); ++code)
        if (bits.test(code)) codes.push_back(int32_t(code));
    return codes;
}

// The keys the plan takes pressed alone, every key aside.
std::vector<int32_t> plainKeys(SwallowPlan plan) {
    plan.everyKey = false;
    std::vector<int32_t> codes;
    for (int32_t vk = 0; vk < 256; ++vk)
        if (planTakesKey(plan, vk, 0)) codes.push_back(vk);
    return codes;
}

std::vector<int32_t> plainButtons(const SwallowPlan& plan) {
    std::vector<int32_t> codes;
    for (int32_t button : kButtonCodes)
        if (planTakesButton(plan, button, 0)) codes.push_back(button);
    return codes;
}

InputEvent press(InputEvent::Kind kind, int32_t code, bool down = true) {
    InputEvent e;
    e.kind = kind;
    e.code = code;
    e.down = down;
    return e;
}

class SwallowPlanTest : public ::testing::Test {
protected:
    void TearDown() override { resetCaptureState(); }
};

}  // namespace

TEST_F(SwallowPlanTest, ThePlanTakesExactlyThePressesTheHooksSwallow) {
    constexpr ReassignSlot S = ReassignSlot::NoSlot;  // no reassignment waits
    const Row rows[] = {
        {"the hotkeys alone", true, kDefaultHotkeys, S, false, {kF6, kF7, kF8, kF9}, false, {}, {}},
        {"hotkeys switched off", false, kDefaultHotkeys, S, false, {}, false, {}, {}},
        {"a hotkey on the middle button", true, {kF8, 4, kF6, kF9}, S, false, {kF6, kF8, kF9}, false, {4}, {}},
        {"codes of no key, and a key among the buttons' codes", true, {0, 300, kCancel, kF9}, S, false,
         {kCancel, kF9}, false, {}, {}},
        {"a hotkey awaits its key", false, kDefaultHotkeys, ReassignSlot::Play, false, {}, true, {2, 4, 5, 6}, {}},
        {"the key spammer's key is awaited", false, kDefaultHotkeys, ReassignSlot::KeySpamTarget, false, {}, true,
         {}, {}},
        {"a value that names no slot", false, kDefaultHotkeys, ReassignSlot(9), false, {}, true, {2, 4, 5, 6}, {}},
        {"a pick", false, kDefaultHotkeys, S, true, {kEscape}, false, {1, 2, 4}, {1, 2, 4}},
        {"a pick beside a hotkey on the right button", true, {kF8, kF7, 2, kF9}, S, true,
         {kEscape, kF7, kF8, kF9}, false, {1, 2, 4}, {1, 4}},
        {"a pick while a hotkey awaits its key", true, kDefaultHotkeys, ReassignSlot::Record, true,
         {kEscape, kF6, kF7, kF8, kF9}, true, {1, 2, 4, 5, 6}, {1}},
    };
    const int32_t probeKeys[] = {kEscape, kCancel, kF6, kF7, kF8, kF9, kA};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        applyRow(row);
        const SwallowPlan plan = swallowPlanFromState();
        EXPECT_EQ(plainKeys(plan), row.keys);
        EXPECT_EQ(plan.everyKey, row.everyKey);
        EXPECT_EQ(plainButtons(plan), row.buttons);
        EXPECT_EQ(setCodes(plan.pickOnlyButtons), row.pickOnlyButtons);

        // Each press is tried on the state as the row sets it: a press may end a pick or a reassignment.
        for (int32_t vk : probeKeys) {
            applyRow(row);
            EXPECT_EQ(handleKeyboardInput(press(InputEvent::Key, vk)), planTakesKey(plan, vk, 0)) << "key " << vk;
        }
        for (int32_t button : kButtonCodes) {
            applyRow(row);
            EXPECT_EQ(handleMouseInput(press(InputEvent::Button, button)), planTakesButton(plan, button, 0))
                << "button " << button;
            if (plan.pickOnlyButtons.test(size_t(button))) {
                EXPECT_FALSE(handleMouseInput(press(InputEvent::Button, button, false))) << "release " << button;
            }
        }
    }
}
