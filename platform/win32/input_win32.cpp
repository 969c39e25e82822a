// Synthetic input through SendInput, one record per call, and key names.
// Everything on the send path is free of allocation: the engines call it
// inside their timing loops.
#include <windows.h>

#include <algorithm>

#include "model/state.h"
#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace platform {
namespace win32 {

std::atomic<uint32_t> inputsSent{0};

// Keys whose scan code carries the 0xE0 prefix on every layout. The system's
// mapping leaves it off for some (NumLock, the pad's /, Right Ctrl), and a key
// sent without it is another key: NumLock plays as Pause, Right Ctrl as Left.
bool isExtendedKey(uint32_t vk) {
    switch (vk) {
    case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME:
    case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN:
    case VK_INSERT: case VK_DELETE:
    case VK_RCONTROL: case VK_RMENU: case VK_NUMLOCK: case VK_DIVIDE:
    case VK_LWIN: case VK_RWIN: case VK_APPS:
        return true;
    default:
        // The browser, volume, media and launch keys.
        return vk >= VK_BROWSER_BACK && vk <= VK_LAUNCH_APP2;
    }
}

uint32_t scanForVirtualKey(uint32_t vk, uint32_t mapped) {
    const uint32_t code = mapped & 0xFF;
    // A key the layout has no code for, and the one 0xE1 key (Pause), whose
    // scan-code form SendInput cannot express: sent by virtual key.
    if (code == 0 || (mapped >> 8) == 0xE1) return 0;
    return (isExtendedKey(vk) || (mapped >> 8) == 0xE0) ? 0xE000 | code : code;
}

uint32_t hookScanCode(const KBDLLHOOKSTRUCT& data) {
    const uint32_t code = data.scanCode & 0xFF;
    if (code == 0) return 0;
    return (data.flags & LLKHF_EXTENDED) ? 0xE000 | code : code;
}

INPUT keyRecord(uint32_t vk, uint32_t scan, WORD vkHint, bool down) {
    INPUT record{};
    record.type = INPUT_KEYBOARD;
    DWORD flags = down ? 0 : KEYEVENTF_KEYUP;
    if ((scan & 0xFF) == 0) {
        record.ki.wVk = WORD(vk);
        if (isExtendedKey(vk)) flags |= KEYEVENTF_EXTENDEDKEY;
    } else {
        record.ki.wVk = vkHint;
        record.ki.wScan = WORD(scan & 0xFF);
        flags |= KEYEVENTF_SCANCODE;
        if ((scan >> 8) == 0xE0) flags |= KEYEVENTF_EXTENDEDKEY;
    }
    record.ki.dwFlags = flags;
    return record;
}

VirtualDesktop virtualDesktop() {
    return {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
            GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// Wide arithmetic: a point far right of a large desktop must not overflow
// before the division.
bool absoluteMoveRecord(int32_t x, int32_t y, const VirtualDesktop& desktop, INPUT& record) {
    if (desktop.width <= 0 || desktop.height <= 0) return false;
    const int64_t inX = std::clamp<int64_t>(int64_t(x) - desktop.left, 0, desktop.width - 1);
    const int64_t inY = std::clamp<int64_t>(int64_t(y) - desktop.top, 0, desktop.height - 1);
    record = mouseRecord(int32_t(inX * 65536 / desktop.width), int32_t(inY * 65536 / desktop.height), 0,
                         MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK);
    return true;
}

INPUT mouseRecord(int32_t dx, int32_t dy, uint32_t mouseData, uint32_t flags) {
    INPUT record{};
    record.type = INPUT_MOUSE;
    record.mi.dx = dx;
    record.mi.dy = dy;
    record.mi.mouseData = mouseData;
    record.mi.dwFlags = flags;
    return record;
}

}  // namespace win32

void moveCursorAbsolute(int32_t x, int32_t y) {
    INPUT record;
    if (win32::absoluteMoveRecord(x, y, win32::virtualDesktop(), record))
        SendInput(1, &record, sizeof(INPUT));
}

namespace {

// The layout of the window that gets the keys: a key known by its virtual key
// alone is the key that layout gives it.
HKL foregroundLayout() {
    HWND window = GetForegroundWindow();
    return GetKeyboardLayout(window ? GetWindowThreadProcessId(window, nullptr) : 0);
}

uint32_t sendKeyRecord(uint32_t vk, uint32_t scan, WORD vkHint, bool down) {
    INPUT record = win32::keyRecord(vk, scan, vkHint, down);
    const UINT taken = SendInput(1, &record, sizeof(INPUT));
    win32::inputsSent.fetch_add(taken, std::memory_order_relaxed);
    return taken;
}

}  // namespace

namespace win32 {

uint32_t scanForVirtualKey(uint32_t vk) {
    return scanForVirtualKey(vk, MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC_EX, foregroundLayout()));
}

}  // namespace win32

// Windows reads only the scan code and the extended flag of a scan-code
// record; the virtual-key hint is for systems that would otherwise deliver
// vk 0 to windows, and names the left or right key of a generic modifier.
uint32_t sendKeyEvent(uint32_t vk, bool down) {
    const uint32_t scan = win32::scanForVirtualKey(vk);
    const WORD hint = scan ? WORD(MapVirtualKeyW(scan, MAPVK_VSC_TO_VK_EX)) : 0;
    return sendKeyRecord(vk, scan, hint ? hint : WORD(vk), down);
}

uint32_t sendKeyWithScan(uint32_t vk, uint32_t scan, bool down) {
    return sendKeyRecord(vk, scan, WORD(vk), down);
}

uint32_t sendMouseInput(int32_t dx, int32_t dy, uint32_t mouseData, uint32_t flags) {
    INPUT record = win32::mouseRecord(dx, dy, mouseData, flags);
    const UINT taken = SendInput(1, &record, sizeof(INPUT));
    win32::inputsSent.fetch_add(taken, std::memory_order_relaxed);
    return taken;
}

namespace {

// A key the layout types the character with, and its Shift and AltGr
// (Ctrl+Alt); false for a character it has no key for, or only a dead key
// (which would wait for the next character) or a Ctrl or Alt combination.
bool layoutKeyOf(char32_t character, HKL layout, UINT& vk, bool& shift, bool& altGr) {
    if (character > 0xFFFF || (character >= 0xD800 && character <= 0xDFFF)) return false;
    const SHORT found = VkKeyScanExW(wchar_t(character), layout);
    if (found == -1) return false;
    vk = UINT(found & 0xFF);
    const int state = (found >> 8) & 0xFF;
    shift = (state & 1) != 0;
    altGr = (state & 6) == 6;
    if ((state & ~7) != 0 || ((state & 6) != 0 && !altGr)) return false;
    return (MapVirtualKeyExW(vk, MAPVK_VK_TO_CHAR, layout) & 0x80000000u) == 0;
}

UINT sendRecords(INPUT* records, UINT count) {
    const UINT taken = SendInput(count, records, sizeof(INPUT));
    win32::inputsSent.fetch_add(taken, std::memory_order_relaxed);
    return taken;
}

INPUT layoutKeyRecord(UINT vk, bool down) {
    const uint32_t scan = win32::scanForVirtualKey(vk);
    const WORD hint = scan ? WORD(MapVirtualKeyW(scan, MAPVK_VSC_TO_VK_EX)) : 0;
    return win32::keyRecord(vk, scan, hint ? hint : WORD(vk), down);
}

// The keys a layout puts characters on, whose names follow the layout: the
// letters and the punctuation keys (the digit row keeps its digits).
bool namedByLayout(int32_t code) {
    return (code >= 'A' && code <= 'Z') || (code >= 0xBA && code <= 0xC0) || (code >= 0xDB && code <= 0xDE) ||
           code == 0xE2;
}

// What the key types with this keyboard state on the layout: its length, or
// -1 for a dead key, whose spacing accent ("´", "^") is then in text. Flag 4
// leaves the keyboard's dead-key buffer alone (Windows 10 1607 on); a system
// that ignores it keeps the dead key there, and the same key once more
// combines with it and empties the buffer again, where on a later system it
// changes nothing.
int typedByKey(UINT vk, const BYTE (&state)[256], HKL layout, wchar_t (&text)[8]) {
    const UINT scan = MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, layout);
    const int length = ToUnicodeEx(vk, scan, state, text, 8, 4, layout);
    if (length < 0) {
        wchar_t again[8];
        ToUnicodeEx(vk, scan, state, again, 8, 4, layout);
    }
    return length;
}

bool printable(const wchar_t* text, int length) {
    return length != 0 && text[0] > L' ' && text[0] != 0xFFFD;
}

// The character the key types alone, in capitals ("Ü", "É", "+"), or the
// accent of a dead key; "" when it types neither.
std::string layoutCharacterName(int32_t code) {
    const BYTE noModifiers[256] = {};
    wchar_t text[8] = {};
    int length = typedByKey(UINT(code), noModifiers, foregroundLayout(), text);
    if (length < 0) length = 1;
    if (!printable(text, length)) return "";
    CharUpperBuffW(text, DWORD(length));
    return win32::narrow(std::wstring(text, size_t(length)));
}

}  // namespace

namespace win32 {

// As UTF-16: a character beyond the first plane is two records a press.
int unicodeRecords(char32_t character, INPUT (&records)[4]) {
    wchar_t units[2];
    int count = 1;
    if (character > 0xFFFF) {
        const char32_t rest = character - 0x10000;
        units[0] = wchar_t(0xD800 + (rest >> 10));
        units[1] = wchar_t(0xDC00 + (rest & 0x3FF));
        count = 2;
    } else {
        units[0] = wchar_t(character);
    }
    for (int i = 0; i < count; ++i) {
        for (int up = 0; up < 2; ++up) {
            INPUT& record = records[up * count + i];
            record = INPUT{};
            record.type = INPUT_KEYBOARD;
            record.ki.wScan = WORD(units[i]);
            record.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
        }
    }
    return 2 * count;
}

}  // namespace win32

// One SendInput for the whole character, so nothing the person types lands
// between its modifiers and its key.
uint32_t typeCharacter(char32_t character) {
    if (character == 0 || character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF)) return 0;
    UINT vk = 0;
    bool shift = false, altGr = false;
    INPUT records[8];
    UINT count = 0;
    if (layoutKeyOf(character, foregroundLayout(), vk, shift, altGr)) {
        if (shift) records[count++] = layoutKeyRecord(VK_LSHIFT, true);
        if (altGr) records[count++] = layoutKeyRecord(VK_LCONTROL, true);
        if (altGr) records[count++] = layoutKeyRecord(VK_LMENU, true);
        records[count++] = layoutKeyRecord(vk, true);
        records[count++] = layoutKeyRecord(vk, false);
        if (altGr) records[count++] = layoutKeyRecord(VK_LMENU, false);
        if (altGr) records[count++] = layoutKeyRecord(VK_LCONTROL, false);
        if (shift) records[count++] = layoutKeyRecord(VK_LSHIFT, false);
    } else {
        INPUT unicode[4];
        count = UINT(win32::unicodeRecords(character, unicode));
        std::copy(unicode, unicode + count, records);
    }
    return sendRecords(records, count) == count ? 1 : 0;
}

std::string keyDisplayName(int32_t code) {
    if (namedByLayout(code)) {
        std::string name = layoutCharacterName(code);
        if (!name.empty()) return name;
    }
    const uint32_t scan = code > 0 ? win32::scanForVirtualKey(uint32_t(code)) : 0;
    LONG lParam = LONG((scan & 0xFF) << 16);
    if ((scan >> 8) == 0xE0) lParam |= 1 << 24;
    wchar_t buffer[128];
    int length = scan ? GetKeyNameTextW(lParam, buffer, 128) : 0;
    if (length > 0) return win32::narrow(std::wstring(buffer, size_t(length)));
    return "Key[" + std::to_string(code) + "]";
}

// By the layout of the window in front, which the keys are sent to.
std::string keyTypedText(int32_t code, int32_t modifiers) {
    constexpr int32_t kNoText = modifier_bit::Ctrl | modifier_bit::Alt | modifier_bit::Super;
    if (code <= 0 || code > 255 || (modifiers & kNoText)) return "";
    BYTE state[256] = {};
    if (modifiers & modifier_bit::Shift) state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
    if (modifiers & modifier_bit::AltGr) state[VK_CONTROL] = state[VK_LCONTROL] = state[VK_MENU] = state[VK_RMENU] = 0x80;
    wchar_t text[8] = {};
    const int length = typedByKey(UINT(code), state, foregroundLayout(), text);
    if (length <= 0 || !printable(text, length)) return "";
    return win32::narrow(std::wstring(text, size_t(length)));
}

// The high bit: down now. A secure desktop's key releases reach this state
// when the session returns, though the hooks never saw them.
KeyState keyStateNow(int32_t vk) {
    if (vk <= 0 || vk > 255) return KeyState::Unknown;
    return (GetAsyncKeyState(vk) & 0x8000) ? KeyState::Down : KeyState::Up;
}

bool cursorPosition(int32_t& x, int32_t& y) {
    POINT point;
    if (!GetCursorPos(&point)) return false;
    x = point.x;
    y = point.y;
    return true;
}

}  // namespace platform
