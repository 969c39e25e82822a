// Keys as the capture thread names them: every keysym the sender presses for
// a virtual key names that key again, and the server's keycodes get the codes
// a Windows hook would report.
#include <gtest/gtest.h>
// After gtest: Xlib's macros would clash with its names.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstdlib>

#include "platform/linux/keys/keymap_linux.h"
#include "platform/linux/keys/keysym_vk_linux.h"
#include "platform/linux/x11/keycode_table_linux.h"
#include "tests/backend/x_session.h"

TEST(KeysymToVirtualKey, EveryKeyTheSenderPressesNamesItsCodeAgain) {
    for (uint32_t vk = 1; vk < 256; ++vk) {
        const KeySym keysym = keymap::keysymForVirtualKey(vk);
        if (keysym == NoSymbol) continue;
        const int32_t back = virtualKeyForKeysym(keysym);
        // Left and right modifiers and Print come back as the code a hook reports.
        switch (vk) {
        case 0x10: EXPECT_EQ(back, 0xA0); break;
        case 0x11: EXPECT_EQ(back, 0xA2); break;
        case 0x12: EXPECT_EQ(back, 0xA4); break;
        case 0x2A: EXPECT_EQ(back, 0x2C); break;
        default: EXPECT_EQ(back, int32_t(vk)) << "vk " << vk << " keysym " << keysym;
        }
    }
}

TEST(KeysymToVirtualKey, TheServersKeycodesGetHookCodes) {
    useXSession();
    Display* display = XOpenDisplay(std::getenv("DISPLAY"));
    ASSERT_NE(display, nullptr);
    int32_t table[256];
    buildKeycodeTable(display, table);
    const std::pair<KeySym, int32_t> keys[] = {
        {XK_a, 0x41}, {XK_z, 0x5A}, {XK_5, 0x35}, {XK_F8, 0x77}, {XK_Shift_R, 0xA1},
        {XK_Control_L, 0xA2}, {XK_space, 0x20}, {XK_Escape, 0x1B}, {XK_Left, 0x25},
        {XK_bracketleft, 0xDB}, {XK_KP_1, 0x61}, {XK_KP_End, 0x61}, {XK_KP_Add, 0x6B}};
    for (const auto& [keysym, vk] : keys) {
        const KeyCode keycode = XKeysymToKeycode(display, keysym);
        ASSERT_NE(keycode, 0) << keysym;
        EXPECT_EQ(table[keycode], vk) << keysym;
    }
    XCloseDisplay(display);
}
