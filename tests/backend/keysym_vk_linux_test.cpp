// Keys as the capture thread names them: every keysym the sender presses for
// a virtual key names that key again, and the server's keycodes get the codes
// a Windows hook would report.
#include <gtest/gtest.h>
// After gtest: Xlib's macros would clash with its names.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <string>

#include "model/mouse_buttons.h"
#include "platform/linux/keys/key_places_linux.h"
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
    KeycodeTable table;
    buildKeycodeTable(display, table);
    const std::pair<KeySym, int32_t> keys[] = {
        {XK_a, 0x41}, {XK_z, 0x5A}, {XK_5, 0x35}, {XK_F8, 0x77}, {XK_Shift_R, 0xA1},
        {XK_Control_L, 0xA2}, {XK_space, 0x20}, {XK_Escape, 0x1B}, {XK_Left, 0x25},
        {XK_bracketleft, 0xDB}, {XK_KP_1, 0x61}, {XK_KP_End, 0x61}, {XK_KP_Add, 0x6B}};
    for (const auto& [keysym, vk] : keys) {
        const KeyCode keycode = XKeysymToKeycode(display, keysym);
        ASSERT_NE(keycode, 0) << keysym;
        EXPECT_EQ(table.codeOf[keycode], vk) << keysym;
        EXPECT_EQ(capturedCodeOfKeycode(table, keycode), vk) << keysym;
    }
    // A key the layout leaves empty is still a key pressed: it is recorded as one without a code.
    int empty = 8;
    while (empty < 256 && table.typedBy[empty] != NoSymbol) ++empty;
    ASSERT_LT(empty, 256);
    EXPECT_EQ(capturedCodeOfKeycode(table, empty), kKeyWithoutCode);
    XCloseDisplay(display);
}

// The codes of a layout's keys, from its first level as xkbcommon compiles it.
void codesOfLayout(const char* layout, int32_t (&codes)[256]) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{"evdev", "pc105", layout, "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    ASSERT_NE(keymap, nullptr) << layout;
    unsigned long typed[256] = {};
    for (xkb_keycode_t keycode = 8; keycode < 256; ++keycode) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, keycode, 0, 0, &syms) == 1) typed[keycode] = syms[0];
    }
    key_places::codesOfKeycodes(typed, codes);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
}

// Letters by what they type, + , - . by their character, the rest by place;
// a place whose code a character took gets the place the character left.
// Both ways: no two keys of the typing block share a code.
TEST(KeyPlaces, EachLayoutsKeysGetOneCodeEach) {
    struct Row {
        const char* layout;
        uint32_t evdevCode;
        int32_t code;
    };
    const Row rows[] = {
        {"us", KEY_Q, 'Q'},  {"us", KEY_Z, 'Z'},  {"us", KEY_MINUS, 0xBD},  {"us", KEY_EQUAL, 0xBB},
        {"us", KEY_RIGHTALT, 0xA5}, {"us", KEY_102ND, 0xE2}, {"us", KEY_KP1, 0x61},
        {"de", KEY_Y, 'Z'},  {"de", KEY_Z, 'Y'},  {"de", KEY_RIGHTBRACE, 0xBB},  {"de", KEY_EQUAL, 0xDD},
        {"de", KEY_SLASH, 0xBD}, {"de", KEY_MINUS, 0xBF}, {"de", KEY_LEFTBRACE, 0xDB}, {"de", KEY_RIGHTALT, 0xA5},
        {"de", KEY_1, '1'},
        {"fr", KEY_Q, 'A'},  {"fr", KEY_A, 'Q'},  {"fr", KEY_W, 'Z'},  {"fr", KEY_Z, 'W'},
        {"fr", KEY_SEMICOLON, 'M'}, {"fr", KEY_M, 0xBC}, {"fr", KEY_COMMA, 0xBA}, {"fr", KEY_1, '1'},
        {"fr", KEY_2, '2'},  {"fr", KEY_RIGHTALT, 0xA5},
        {"ru", KEY_Q, 'Q'},  {"ru", KEY_GRAVE, 0xC0}, {"ru", KEY_SLASH, 0xBE}, {"ru", KEY_DOT, 0xBF},
    };
    for (const char* layout : {"us", "de", "fr", "ru"}) {
        int32_t codes[256];
        codesOfLayout(layout, codes);
        for (const Row& row : rows) {
            if (std::string(row.layout) != layout) continue;
            EXPECT_EQ(codes[row.evdevCode + 8], row.code) << layout << " key " << row.evdevCode;
        }
        int keycodeOf[256] = {};
        for (int keycode = 8; keycode < 256; ++keycode) {
            const int32_t code = codes[keycode];
            // The typing block's codes; other keys may share one (two keys of Level 3).
            const bool typing = (code >= '0' && code <= 'Z') || (code >= 0xBA && code <= 0xE2);
            if (!typing) continue;
            EXPECT_EQ(keycodeOf[code], 0) << layout << ": keycodes " << keycodeOf[code] << " and " << keycode
                                          << " share code " << code;
            keycodeOf[code] = keycode;
        }
        for (int letter = 'A'; letter <= 'Z'; ++letter) EXPECT_NE(keycodeOf[letter], 0) << layout << " " << char(letter);
    }
}
