// Synthetic input through SendInput, one record per call, and key names.
// Everything on the send path is free of allocation: the engines call it
// inside their timing loops.
#include <windows.h>

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

// Wide arithmetic: a point far right of a large primary screen must not
// overflow before the division.
bool absoluteMoveRecord(int32_t x, int32_t y, int32_t screenWidth, int32_t screenHeight,
                        INPUT& record) {
    if (screenWidth <= 0 || screenHeight <= 0) return false;
    int64_t dx = int64_t(x) * 65536 / screenWidth;
    int64_t dy = int64_t(y) * 65536 / screenHeight;
    record = mouseRecord(int32_t(dx), int32_t(dy), 0, MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE);
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
    if (win32::absoluteMoveRecord(x, y, GetSystemMetrics(SM_CXSCREEN),
                                  GetSystemMetrics(SM_CYSCREEN), record))
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

std::string keyDisplayName(int32_t code) {
    if (code == 0xC0) return "`";
    const uint32_t scan = win32::scanForVirtualKey(uint32_t(code));
    LONG lParam = LONG((scan & 0xFF) << 16);
    if ((scan >> 8) == 0xE0) lParam |= 1 << 24;
    wchar_t buffer[128];
    int length = GetKeyNameTextW(lParam, buffer, 128);
    if (length > 0) return win32::narrow(std::wstring(buffer, size_t(length)));
    return "Key[" + std::to_string(code) + "]";
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
