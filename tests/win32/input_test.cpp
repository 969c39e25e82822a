// Synthetic input records, key names and the translation of hook data.
#include <gtest/gtest.h>

#include "model/mouse_buttons.h"
#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

using namespace platform::win32;

// Absolute moves over the virtual desktop: on one monitor they are the
// primary's as before; a monitor left of the primary (negative x) or a
// wider mixed-scale desktop is reached, and a point beyond the desktop goes
// to its edge instead of overflowing or wrapping.
TEST(AbsoluteMove, NormalisedOverTheVirtualDesktop) {
    struct Row {
        const char* name;
        VirtualDesktop desktop;
        int32_t x, y;
        LONG dx, dy;
    };
    const Row rows[] = {
        {"one monitor, the centre", {0, 0, 1920, 1080}, 960, 540, 32768, 32768},
        {"one monitor, the last pixel", {0, 0, 1920, 1080}, 1919, 1079, 65501, 65475},
        {"one monitor, a point left of it", {0, 0, 1920, 1080}, -100, 0, 0, 0},
        {"one monitor, far beyond it", {0, 0, 1920, 1080}, 40000, 5000, 65501, 65475},
        {"a monitor left of the primary", {-1920, 0, 3840, 1080}, -960, 540, 16384, 32768},
        {"the primary right of it", {-1920, 0, 3840, 1080}, 960, 540, 49152, 32768},
        {"a 4K monitor at 150 % above a 1080p primary", {0, -2160, 3840, 3240}, 1920, -1080, 32768, 21845},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        INPUT record{};
        ASSERT_TRUE(absoluteMoveRecord(row.x, row.y, row.desktop, record));
        EXPECT_EQ(record.type, DWORD(INPUT_MOUSE));
        EXPECT_EQ(record.mi.dx, row.dx);
        EXPECT_EQ(record.mi.dy, row.dy);
        EXPECT_EQ(record.mi.dwFlags, DWORD(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK));
    }
    INPUT record{};
    EXPECT_FALSE(absoluteMoveRecord(10, 10, {0, 0, 0, 1080}, record));
}

TEST(KeyRecord, ScanCodeFlagsAndTheExtendedSet) {
    EXPECT_EQ(keyEventFlags(0x25, true), DWORD(0x9));
    EXPECT_EQ(keyEventFlags(0x25, false), DWORD(0xB));
    EXPECT_EQ(keyEventFlags(0x41, false), DWORD(0xA));
    EXPECT_EQ(keyEventFlags(0x41, true), DWORD(0x8));
    for (uint32_t vk : {0x21u, 0x22u, 0x23u, 0x24u, 0x25u, 0x26u, 0x27u, 0x28u, 0x2Du, 0x2Eu})
        EXPECT_TRUE(isExtendedKey(vk)) << vk;
    // Right Ctrl, numeric-pad Enter's key, the Windows key and Divide are not.
    for (uint32_t vk : {0xA3u, 0x0Du, 0x5Bu, 0x6Fu, 0x20u, 0x2Cu, 0x2Fu})
        EXPECT_FALSE(isExtendedKey(vk)) << vk;
    INPUT record = keyRecord(0x25, 0x4B, 0x25, false);
    EXPECT_EQ(record.type, DWORD(INPUT_KEYBOARD));
    EXPECT_EQ(record.ki.wScan, 0x4B);
    EXPECT_EQ(record.ki.dwFlags, DWORD(0xB));
    EXPECT_EQ(record.ki.time, DWORD(0));
    EXPECT_EQ(record.ki.dwExtraInfo, ULONG_PTR(0));
}

TEST(KeyNames, FixedNamesAndTheFallback) {
    EXPECT_EQ(bindingName(1), "Left Mouse");
    EXPECT_EQ(bindingName(2), "Right Mouse");
    EXPECT_EQ(bindingName(4), "Middle Mouse");
    EXPECT_EQ(bindingName(5), "Mouse 4 (Side)");
    EXPECT_EQ(bindingName(6), "Mouse 5 (Side)");
    EXPECT_EQ(bindingName(0xC0), "`");
    EXPECT_EQ(bindingName(255), "Key[255]");
    EXPECT_FALSE(bindingName(0x41).empty());
}

TEST(HookTranslation, KeysCarryTheirCodeDirectionAndInjectedMark) {
    KBDLLHOOKSTRUCT data{};
    data.vkCode = 0x77;
    InputEvent press = keyboardEvent(WM_SYSKEYDOWN, data, 42);
    EXPECT_EQ(press.kind, InputEvent::Key);
    EXPECT_EQ(press.code, 0x77);
    EXPECT_TRUE(press.down);
    EXPECT_FALSE(press.injected);
    EXPECT_EQ(press.counter, 42);
    data.flags = LLKHF_INJECTED;
    InputEvent release = keyboardEvent(WM_KEYUP, data, 43);
    EXPECT_FALSE(release.down);
    EXPECT_TRUE(release.injected);
}

TEST(HookTranslation, MouseButtonsWheelAndMoves) {
    MSLLHOOKSTRUCT data{};
    data.pt = POINT{800, -600};
    InputEvent event;
    ASSERT_TRUE(mouseEvent(WM_MOUSEMOVE, data, 1, event));
    EXPECT_EQ(event.kind, InputEvent::PointerMove);
    EXPECT_EQ(event.x, 800);
    EXPECT_EQ(event.y, -600);

    ASSERT_TRUE(mouseEvent(WM_RBUTTONDOWN, data, 1, event));
    EXPECT_EQ(event.kind, InputEvent::Button);
    EXPECT_EQ(event.code, 2);
    EXPECT_TRUE(event.down);
    ASSERT_TRUE(mouseEvent(WM_MBUTTONUP, data, 1, event));
    EXPECT_EQ(event.code, 4);
    EXPECT_FALSE(event.down);

    data.mouseData = DWORD(XBUTTON1) << 16;
    ASSERT_TRUE(mouseEvent(WM_XBUTTONDOWN, data, 1, event));
    EXPECT_EQ(event.code, 5);
    EXPECT_TRUE(event.down);
    data.mouseData = DWORD(XBUTTON2) << 16;
    ASSERT_TRUE(mouseEvent(WM_XBUTTONUP, data, 1, event));
    EXPECT_EQ(event.code, 6);
    EXPECT_FALSE(event.down);

    data.mouseData = DWORD(uint16_t(-120)) << 16;
    data.flags = LLMHF_INJECTED;
    ASSERT_TRUE(mouseEvent(WM_MOUSEWHEEL, data, 1, event));
    EXPECT_EQ(event.kind, InputEvent::Wheel);
    EXPECT_EQ(event.delta, -120);
    EXPECT_TRUE(event.injected);

    EXPECT_FALSE(mouseEvent(WM_MOUSEHWHEEL, data, 1, event));
}

TEST(HookTranslation, RawMouseMotionAndItsAbsoluteMark) {
    RAWINPUT input{};
    input.header.dwType = RIM_TYPEMOUSE;
    input.data.mouse.lLastX = -3;
    input.data.mouse.lLastY = 7;
    InputEvent event;
    ASSERT_TRUE(rawMotionEvent(input, 5, event));
    EXPECT_EQ(event.kind, InputEvent::RawMotion);
    EXPECT_EQ(event.x, -3);
    EXPECT_EQ(event.y, 7);
    EXPECT_FALSE(event.absolute);
    input.data.mouse.usFlags = MOUSE_MOVE_ABSOLUTE;
    ASSERT_TRUE(rawMotionEvent(input, 5, event));
    EXPECT_TRUE(event.absolute);
    input.header.dwType = RIM_TYPEKEYBOARD;
    EXPECT_FALSE(rawMotionEvent(input, 5, event));
}

TEST(SyntheticInput, AnAbsoluteMoveReachesTheCursorAtOnce) {
    int32_t width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_GT(width, 300);
    ASSERT_GT(height, 300);
    platform::moveCursorAbsolute(240, 160);
    int32_t x = 0, y = 0;
    ASSERT_TRUE(platform::cursorPosition(x, y));
    EXPECT_NEAR(x, 240, 1);
    EXPECT_NEAR(y, 160, 1);
    EXPECT_EQ(platform::sendKeyEvent(VK_SHIFT, true), 1u);
    EXPECT_EQ(platform::sendKeyEvent(VK_SHIFT, false), 1u);
}
