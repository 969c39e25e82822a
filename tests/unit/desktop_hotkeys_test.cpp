#include <gtest/gtest.h>

#include <string>

#include "capture/desktop_hotkeys.h"
#include "model/mouse_buttons.h"
#include "bridge/pipe_server.h"
#include "tests/fake/reset_state.h"

namespace {

class DesktopHotkeysTest : public ::testing::Test {
protected:
    void SetUp() override { resetAppStateForTest(); }
    void TearDown() override { resetAppStateForTest(); }
};

}  // namespace

TEST_F(DesktopHotkeysTest, EachHotkeySendsAMessageTheProgramUnderstands) {
    const DesktopHotkeys hotkeys = desktopHotkeysFromState();
    ASSERT_EQ(hotkeys.count, 4u);
    const DesktopHotkey expected[] = {
        {119, 0, "toggleRecording|"}, {118, 0, "togglePlayback|"}, {117, 0, "toggleSpammer|"}, {120, 0, "toggleKeySpam|"}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(hotkeys.bindings[i].code, expected[i].code);
        const std::string message = hotkeys.bindings[i].message;
        EXPECT_EQ(message, expected[i].message);
        const std::string command = message.substr(0, message.find('|'));
        EXPECT_TRUE(isPipeCommandName(command)) << message;
        // A desktop that names its shortcuts gets the message back from the command.
        EXPECT_EQ(desktopHotkeyMessageOf(command), hotkeys.bindings[i].message);
    }
    EXPECT_EQ(std::string(hotkeys.bindings[2].name), "Auto click");
    for (const char* notAHotkey : {"", "toggle", "updateSpammer", "toggleSpammer|"})
        EXPECT_EQ(desktopHotkeyMessageOf(notAHotkey), nullptr) << notAHotkey;
}

TEST_F(DesktopHotkeysTest, ASharedCodeFiresTheFirstHotkeyAndOffMeansNone) {
    AppState& s = appState();
    s.hotkeys.hkAuto = button_code::Side1;
    s.hotkeys.hkKeySpam = button_code::Side1;
    DesktopHotkeys hotkeys = desktopHotkeysFromState();
    ASSERT_EQ(hotkeys.count, 3u);
    EXPECT_EQ(hotkeys.bindings[2].code, button_code::Side1);
    EXPECT_EQ(std::string(hotkeys.bindings[2].message), "toggleSpammer|");

    // A change of binding is a different wish, so the desktop's bindings follow it.
    s.hotkeys.hkKeySpam = 121;
    EXPECT_FALSE(desktopHotkeysFromState() == hotkeys);

    // The same button with other modifiers is another hotkey, bound with them.
    s.hotkeys.hkKeySpam = button_code::Side1;
    s.hotkeys.hkKeySpamMods = modifier_bit::Ctrl | modifier_bit::Super;
    hotkeys = desktopHotkeysFromState();
    ASSERT_EQ(hotkeys.count, 4u);
    EXPECT_EQ(hotkeys.bindings[3], (DesktopHotkey{button_code::Side1, modifier_bit::Ctrl | modifier_bit::Super,
                                                  hotkeys.bindings[3].message, hotkeys.bindings[3].name}));
    EXPECT_EQ(std::string(hotkeys.bindings[3].message), "toggleKeySpam|");

    s.app.hotkeysEnabled = false;
    EXPECT_EQ(desktopHotkeysFromState().count, 0u);
}

// A reassignment catches the next press itself; a desktop binding would run
// its hotkey's command instead (pressing F6 to move Record there starts the clicker).
TEST_F(DesktopHotkeysTest, NoneWhileAReassignmentWaits) {
    for (ReassignSlot slot : {ReassignSlot::Record, ReassignSlot::KeySpamTarget}) {
        appState().reassignSlot = slot;
        EXPECT_EQ(desktopHotkeysFromState().count, 0u) << int(slot);
    }
    appState().reassignSlot = ReassignSlot::NoSlot;
    EXPECT_EQ(desktopHotkeysFromState().count, 4u);
}
