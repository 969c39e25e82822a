// Synthetic input records, key names and the translation of hook data.
#include <gtest/gtest.h>

#include "model/mouse_buttons.h"
#include "platform/platform.h"
#include "platform/win32/win32_backend.h"
#include "tests/win32/person_input.h"

#include <string>

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

// Each key as the hook sees it, what the layout maps its virtual key to (as
// Windows answers MAPVK_VK_TO_VSC_EX), what is recorded, and the record that
// plays it: Windows reads only wScan and EXTENDEDKEY of a scan-code record.
TEST(KeyRecord, RecordedAndReplayedAsTheSameKey) {
    constexpr DWORD kScan = KEYEVENTF_SCANCODE, kExt = KEYEVENTF_EXTENDEDKEY;
    struct Row {
        const char* key;
        uint32_t vk, hookScan;
        bool hookExtended;
        uint32_t mapped;   // MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC_EX)
        uint32_t stored;   // MacroEvent::scan, 0 when the virtual key says it all
        WORD wVk, wScan;   // the press record
        DWORD flags;
    };
    const Row rows[] = {
        {"A", 'A', 0x1E, false, 0x1E, 0, 'A', 0x1E, kScan},
        {"Right Ctrl", VK_RCONTROL, 0x1D, true, 0x1D, 0, VK_RCONTROL, 0x1D, kScan | kExt},
        {"Right Alt (AltGr)", VK_RMENU, 0x38, true, 0xE038, 0, VK_RMENU, 0x38, kScan | kExt},
        {"NumLock, not Pause", VK_NUMLOCK, 0x45, true, 0x45, 0, VK_NUMLOCK, 0x45, kScan | kExt},
        {"pad /", VK_DIVIDE, 0x35, true, 0x35, 0, VK_DIVIDE, 0x35, kScan | kExt},
        {"Left Win", VK_LWIN, 0x5B, true, 0xE05B, 0, VK_LWIN, 0x5B, kScan | kExt},
        {"Apps", VK_APPS, 0x5D, true, 0x5D, 0, VK_APPS, 0x5D, kScan | kExt},
        {"Volume Up", VK_VOLUME_UP, 0x30, true, 0xE030, 0, VK_VOLUME_UP, 0x30, kScan | kExt},
        {"pad 7 with NumLock off", VK_HOME, 0x47, false, 0x47, 0x47, VK_HOME, 0x47, kScan},
        {"Home beside it", VK_HOME, 0x47, true, 0x47, 0, VK_HOME, 0x47, kScan | kExt},
        // Scan 0: what the layout cannot map, and Pause (0xE1), go by virtual key.
        {"Mail, unmapped", VK_LAUNCH_MAIL, 0x6C, true, 0, 0xE06C, VK_LAUNCH_MAIL, 0x6C, kScan | kExt},
        {"Mail, sent by vk", VK_LAUNCH_MAIL, 0, false, 0, 0, VK_LAUNCH_MAIL, 0, kExt},
        {"Pause", VK_PAUSE, 0, false, 0xE11D, 0, VK_PAUSE, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        KBDLLHOOKSTRUCT data{};
        data.vkCode = row.vk;
        data.scanCode = row.hookScan;
        data.flags = row.hookExtended ? LLKHF_EXTENDED : 0;
        const uint32_t scanOfCode = scanForVirtualKey(row.vk, row.mapped);
        const InputEvent seen = keyboardEvent(WM_KEYDOWN, data, scanOfCode, 1);
        EXPECT_EQ(seen.scan, row.stored);

        const uint32_t sent = seen.scan ? seen.scan : scanOfCode;
        const INPUT press = keyRecord(row.vk, sent, WORD(row.vk), true);
        EXPECT_EQ(press.type, DWORD(INPUT_KEYBOARD));
        EXPECT_EQ(press.ki.wVk, row.wVk);
        EXPECT_EQ(press.ki.wScan, row.wScan);
        EXPECT_EQ(press.ki.dwFlags, row.flags);
        const INPUT release = keyRecord(row.vk, sent, WORD(row.vk), false);
        EXPECT_EQ(release.ki.wScan, row.wScan);
        EXPECT_EQ(release.ki.dwFlags, row.flags | KEYEVENTF_KEYUP);
    }
}

TEST(KeyNames, FixedNamesAndTheFallback) {
    EXPECT_EQ(bindingName(1), "Left Mouse");
    EXPECT_EQ(bindingName(2), "Right Mouse");
    EXPECT_EQ(bindingName(4), "Middle Mouse");
    EXPECT_EQ(bindingName(5), "Mouse 4 (Side)");
    EXPECT_EQ(bindingName(6), "Mouse 5 (Side)");
    EXPECT_EQ(bindingName(0xC0), "`");
    EXPECT_EQ(bindingName(255), "Key without a code");  // as the hook gives such a key
    EXPECT_EQ(bindingName(-7), "Key[-7]");
    EXPECT_FALSE(bindingName(0x41).empty());
}

TEST(HookTranslation, KeysCarryTheirCodeDirectionAndInjectedMark) {
    KBDLLHOOKSTRUCT data{};
    data.vkCode = 0x77;
    InputEvent press = keyboardEvent(WM_SYSKEYDOWN, data, 0, 42);
    EXPECT_EQ(press.kind, InputEvent::Key);
    EXPECT_EQ(press.code, 0x77);
    EXPECT_TRUE(press.down);
    EXPECT_FALSE(press.injected);
    EXPECT_EQ(press.counter, 42);
    data.flags = LLKHF_INJECTED;
    InputEvent release = keyboardEvent(WM_KEYUP, data, 0, 43);
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
    EXPECT_EQ(platform::sendKeyWithScan(VK_RCONTROL, 0xE01D, true), 1u);
    EXPECT_EQ(platform::sendKeyWithScan(VK_RCONTROL, 0xE01D, false), 1u);
}

// A character the layout lacks goes as Unicode records: a press and a
// release of its UTF-16 unit, or of both halves beyond the first plane.
TEST(UnicodeRecord, OneUnitOrASurrogatePair) {
    INPUT records[4];
    ASSERT_EQ(unicodeRecords(U'\u0436', records), 2);
    EXPECT_EQ(records[0].ki.wScan, 0x0436);
    EXPECT_EQ(records[0].ki.dwFlags, DWORD(KEYEVENTF_UNICODE));
    EXPECT_EQ(records[1].ki.dwFlags, DWORD(KEYEVENTF_UNICODE | KEYEVENTF_KEYUP));
    ASSERT_EQ(unicodeRecords(U'\U0001F600', records), 4);
    const WORD units[] = {0xD83D, 0xDE00, 0xD83D, 0xDE00};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(records[i].type, DWORD(INPUT_KEYBOARD));
        EXPECT_EQ(records[i].ki.wVk, 0);
        EXPECT_EQ(records[i].ki.wScan, units[i]);
        EXPECT_EQ((records[i].ki.dwFlags & KEYEVENTF_KEYUP) != 0, i >= 2) << "both presses, then both releases";
    }
}

namespace {

std::wstring charactersSeen;

LRESULT CALLBACK characterWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR) charactersSeen += wchar_t(wParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

void pumpUntil(ULONGLONG milliseconds, size_t length) {
    for (ULONGLONG end = GetTickCount64() + milliseconds; GetTickCount64() < end && charactersSeen.size() < length;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
}

}  // namespace

// Typed characters reach the focused window as the characters themselves:
// those of the layout through its keys (with Shift), the others as Unicode
// records, a character beyond the first plane as its two halves.
TEST(TypeCharacter, TheFocusedWindowGetsEachCharacter) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = characterWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VarnetTypeTest";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"VarnetTypeTest", L"Varnet Type Test", WS_OVERLAPPEDWINDOW, 200, 200, 400, 300,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    platform::forceForeground(window);
    xdotool("search --name \"^Varnet Type Test$\" windowfocus");
    pumpUntil(300, SIZE_MAX);
    charactersSeen.clear();
    for (char32_t c : std::u32string(U"aZ!\u0436\U0001F600")) EXPECT_EQ(platform::typeCharacter(c), 1u);
    const std::wstring expected = L"aZ!\u0436\xD83D\xDE00";
    pumpUntil(5000, expected.size());
    EXPECT_EQ(charactersSeen, expected);
    DestroyWindow(window);
}
