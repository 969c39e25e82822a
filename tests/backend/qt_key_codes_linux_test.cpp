#include <gtest/gtest.h>

#include <cstdint>

#include "model/mouse_buttons.h"
#include "model/state.h"
#include "platform/linux/kde/global_shortcuts_linux.h"

using platform::kde_shortcuts::qtKeyCodeOf;

namespace {

constexpr int32_t kShift = 0x02000000, kCtrl = 0x04000000, kAlt = 0x08000000, kMeta = 0x10000000;

struct Case {
    int32_t code, modifiers, expected;
};

}  // namespace

// Each range of the code table lands where KDE's service looks for it, and
// the modifiers become Qt's bits; what KDE cannot bind is 0.
TEST(QtKeyCodes, KeysAndModifiersBecomeQtCodes) {
    const Case cases[] = {
        {0x75, 0, 0x01000035},                                 // F6
        {0x70, 0, 0x01000030},                                 // F1
        {0x87, 0, 0x01000047},                                 // F24
        {0x78, modifier_bit::Ctrl, kCtrl | 0x01000038},        // Ctrl+F9
        {'A', modifier_bit::Shift | modifier_bit::Alt, kShift | kAlt | 'A'},
        {'Z', modifier_bit::Super, kMeta | 'Z'},
        {'0', kAllModifiers, kShift | kCtrl | kAlt | kMeta | '0'},
        {0x20, 0, 0x20},                                       // Space
        {0x1B, 0, 0x01000000},                                 // Escape
        {0x2E, 0, 0x01000007},                                 // Delete
        {0x21, 0, 0x01000016},                                 // Page Up
        {0x60, 0, 0},                                          // the numeric pad's 0
        {0x6B, 0, 0},                                          // and its +
        {0xBA, 0, ';'},
        {0xDE, 0, '\''},
        {0xB3, 0, 0x01000086},                                 // Play/Pause
        {button_code::Right, 0, 0},
        {button_code::Middle, modifier_bit::Ctrl, 0},
        {button_code::Side1, 0, 0},
        {button_code::Side2, 0, 0},
        {0x10, 0, 0},                                          // Shift alone
        {0xA3, 0, 0},                                          // right Ctrl alone
        {0x5B, 0, 0},                                          // the Windows key alone
        {0x88, 0, 0},                                          // past F24
        {0, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qtKeyCodeOf(c.code, c.modifiers), c.expected) << std::hex << "code 0x" << c.code << " modifiers "
                                                                << c.modifiers;
}
