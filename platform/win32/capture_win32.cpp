// Input capture on two threads. The hook thread, at time-critical priority,
// holds the low-level keyboard and mouse hooks: each native event becomes an
// InputEvent, the hook logic decides at once whether it is swallowed, and
// what passes is copied into a preallocated ring; nothing there waits for a
// lock or allocates, so Windows never finds the hooks too slow and removes
// them. The capture thread drains the ring into the recording, takes raw
// mouse input while relative motion is recorded (and only then), watches the
// session and keeps a watchdog over the hooks.
#include <windows.h>
#include <wtsapi32.h>

#include <atomic>

#include "capture/hook_logic.h"
#include "capture/input_ring.h"
#include "capture/hotkeys.h"
#include "model/state.h"
#include "model/state_changes.h"
#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace platform {
namespace win32 {

InputEvent keyboardEvent(WPARAM message, const KBDLLHOOKSTRUCT& data, uint32_t scanOfCode,
                         int64_t counter) {
    InputEvent event;
    event.kind = InputEvent::Key;
    event.injected = (data.flags & LLKHF_INJECTED) != 0;
    event.down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    event.code = int32_t(data.vkCode);
    const uint32_t scan = hookScanCode(data);
    event.scan = scan == scanOfCode ? 0 : scan;
    event.counter = counter;
    return event;
}

bool mouseEvent(WPARAM message, const MSLLHOOKSTRUCT& data, int64_t counter, InputEvent& event) {
    event = InputEvent{};
    event.injected = (data.flags & LLMHF_INJECTED) != 0;
    event.x = data.pt.x;
    event.y = data.pt.y;
    event.counter = counter;
    event.kind = InputEvent::Button;
    switch (message) {
    case WM_MOUSEMOVE: event.kind = InputEvent::PointerMove; return true;
    case WM_MOUSEWHEEL:
        event.kind = InputEvent::Wheel;
        event.delta = int16_t(HIWORD(data.mouseData));
        return true;
    case WM_LBUTTONDOWN: event.code = VK_LBUTTON; event.down = true; return true;
    case WM_LBUTTONUP: event.code = VK_LBUTTON; return true;
    case WM_RBUTTONDOWN: event.code = VK_RBUTTON; event.down = true; return true;
    case WM_RBUTTONUP: event.code = VK_RBUTTON; return true;
    case WM_MBUTTONDOWN: event.code = VK_MBUTTON; event.down = true; return true;
    case WM_MBUTTONUP: event.code = VK_MBUTTON; return true;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
        event.code = HIWORD(data.mouseData) == XBUTTON1 ? VK_XBUTTON1 : VK_XBUTTON2;
        event.down = message == WM_XBUTTONDOWN;
        return true;
    default: return false;
    }
}

bool rawMotionEvent(const RAWINPUT& input, int64_t counter, InputEvent& event) {
    if (input.header.dwType != RIM_TYPEMOUSE) return false;
    event = InputEvent{};
    event.kind = InputEvent::RawMotion;
    event.x = input.data.mouse.lLastX;
    event.y = input.data.mouse.lLastY;
    event.absolute = (input.data.mouse.usFlags & MOUSE_MOVE_ABSOLUTE) != 0;
    event.counter = counter;
    return true;
}

}  // namespace win32

namespace {

const wchar_t kRawInputClass[] = L"RawInputHiddenWindow";

// The record sizes the system expects of a 64-bit process.
static_assert(sizeof(WNDCLASSEXW) == 80);
static_assert(sizeof(RAWINPUTDEVICE) == 16);
static_assert(sizeof(RAWINPUT) == 48 && sizeof(RAWINPUTHEADER) == 24);

std::atomic<DWORD> captureThreadId{0};
std::atomic<DWORD> hookThreadId{0};
std::atomic<bool> captureStopRequested{false};
std::atomic<HHOOK> keyboardHook{nullptr};
std::atomic<HHOOK> mouseHook{nullptr};
// Calls of either hook and raw mouse reports, for the watchdog.
std::atomic<uint32_t> hookCalls{0};
std::atomic<uint32_t> rawReports{0};

// What the hooks saw and passed, on its way to the capture thread, which the
// event wakes. 65536 entries: over eight seconds of a 8000 Hz mouse with the
// capture thread held up.
constexpr size_t kRingEntries = 1 << 16;
InputRing ring;
// Made once and kept for the life of the process: the core may wake the
// capture thread at any time, also while it starts or ends.
std::atomic<HANDLE> captureWake{nullptr};
bool rawInputTaken = false;
// Asks the hook thread to put its hooks back.
constexpr UINT kReinstallHooks = WM_APP + 1;

// The hook logic is allocation-free but not declared noexcept; an exception
// must never unwind into the system's hook dispatcher.
template <typename Decide>
HookVerdict decide(Decide decideInput, const InputEvent& event) {
    try {
        return decideInput(event);
    } catch (...) {
        return {};
    }
}

// Hands what passed on to the capture thread; a full ring counts it lost.
void handOn(const InputEvent& event, HookVerdict verdict) {
    if (!needsRecordingStep(event, verdict)) return;
    ringPush(ring, {event, verdict});
    SetEvent(captureWake.load(std::memory_order_relaxed));
}

// On a layout with AltGr, Windows presses and releases a Left Ctrl of its own
// with Right Alt, marked by scan code 0x21D. It is passed on unseen: the
// hotkeys and the key spammer take Right Alt as AltGr, not as Ctrl+AltGr,
// and a recorded Right Alt brings the system's Ctrl again when it plays.
bool isAltGrsOwnControl(const KBDLLHOOKSTRUCT& data) {
    return data.vkCode == VK_LCONTROL && data.scanCode == 0x21D;
}

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
    hookCalls.fetch_add(1, std::memory_order_relaxed);
    if (code >= 0 && !isAltGrsOwnControl(*reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam))) {
        const auto& data = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const int64_t counter = perfCounter();
        // Our own keys are never recorded: no need to ask the layout for them.
        const bool injected = (data.flags & LLKHF_INJECTED) != 0;
        const uint32_t scanOfCode = injected ? 0 : win32::scanForVirtualKey(data.vkCode);
        const InputEvent event = win32::keyboardEvent(wParam, data, scanOfCode, counter);
        const HookVerdict verdict = decide(decideKeyboardInput, event);
        if (verdict.swallow) return 1;
        handOn(event, verdict);
    }
    return CallNextHookEx(keyboardHook.load(), code, wParam, lParam);
}

LRESULT CALLBACK MouseHookProc(int code, WPARAM wParam, LPARAM lParam) {
    hookCalls.fetch_add(1, std::memory_order_relaxed);
    if (code >= 0) {
        const auto& data = *reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
        InputEvent event;
        if (win32::mouseEvent(wParam, data, perfCounter(), event)) {
            const HookVerdict verdict = decide(decideMouseInput, event);
            if (verdict.swallow) return 1;
            handOn(event, verdict);
        }
    }
    return CallNextHookEx(mouseHook.load(), code, wParam, lParam);
}

void removeHooks() {
    if (HHOOK hook = mouseHook.exchange(nullptr)) UnhookWindowsHookEx(hook);
    if (HHOOK hook = keyboardHook.exchange(nullptr)) UnhookWindowsHookEx(hook);
}

// Installs both hooks, or puts them back: a hook the system removed is
// unhooked again harmlessly. Says so when either cannot be installed. Hook
// thread only: a hook belongs to the thread that installed it.
void installHooks() {
    removeHooks();
    mouseHook = SetWindowsHookExW(WH_MOUSE_LL, MouseHookProc, nullptr, 0);
    keyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHookProc, nullptr, 0);
    noteHooksMissing(!mouseHook.load() || !keyboardHook.load());
}

void reinstallHooks() {
    if (DWORD id = hookThreadId.load()) PostThreadMessageW(id, kReinstallHooks, 0, 0);
}

// The hooks are called on this thread, between its messages; it does
// nothing else.
DWORD WINAPI hookThreadMain(void* ready) {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the queue, before anyone posts to it
    hookThreadId = GetCurrentThreadId();
    installHooks();
    SetEvent(static_cast<HANDLE>(ready));
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == kReinstallHooks) installHooks();
    }
    removeHooks();
    hookThreadId = 0;
    return 0;
}

// Windows removes a low-level hook whose call takes longer than its time-out
// and tells nobody. Every input the system takes passes the hooks, so input
// that our own SendInput sent or raw input reported while the hooks saw
// nothing, over two ticks in a row (an input on its way at a tick is not
// seen yet), means they are gone: they are put back.
constexpr UINT_PTR kWatchdogTimer = 1;
constexpr UINT kWatchdogTickMs = 1000;

struct WatchdogMarks {
    uint32_t hookCalls = 0, evidence = 0;
    int silentTicks = 0;
};
WatchdogMarks watchdog;

void watchHooks() {
    const uint32_t calls = hookCalls.load(std::memory_order_relaxed);
    const uint32_t evidence = win32::inputsSent.load(std::memory_order_relaxed) +
                              rawReports.load(std::memory_order_relaxed);
    const bool silent = calls == watchdog.hookCalls && evidence != watchdog.evidence;
    watchdog.silentTicks = silent ? watchdog.silentTicks + 1 : 0;
    watchdog.hookCalls = calls;
    watchdog.evidence = evidence;
    if (watchdog.silentTicks < 2) return;
    watchdog.silentTicks = 0;
    reinstallHooks();
    noteHooksReinstalled();
}

// Records what the hooks passed, in their order, and says how much a full
// ring kept out.
void drainRing() {
    RingEntry entry;
    while (ringPop(ring, entry)) {
        try {
            recordInput(entry.event, entry.verdict);
        } catch (...) {
        }
    }
    const uint64_t dropped = ring.dropped.load(std::memory_order_relaxed);
    if (dropped != inputDropped()) {
        noteInputDropped(dropped);
        announceStateChange();
    }
}

// Raw mouse input wakes this thread at the mouse's polling rate: it is taken
// only while relative motion is being recorded.
void takeRawInput(HWND window, bool wanted) {
    if (wanted == rawInputTaken) return;
    RAWINPUTDEVICE device{};
    device.usUsagePage = 1;  // generic desktop
    device.usUsage = 2;      // mouse
    device.dwFlags = wanted ? RIDEV_INPUTSINK : RIDEV_REMOVE;
    device.hwndTarget = wanted ? window : nullptr;
    if (RegisterRawInputDevices(&device, 1, sizeof device)) rawInputTaken = wanted;
}

void followRelativeRecording(HWND window) {
    const AppState& s = appState();
    takeRawInput(window, window && s.recording && s.tracker.tmv && s.tracker.trel);
}

// WM_INPUT goes on to DefWindowProcW as well, which frees the system's
// copy of the input.
LRESULT CALLBACK RawInputWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kWatchdogTimer) {
        watchHooks();
        followRelativeRecording(hwnd);
        return 0;
    }
    if (message != WM_INPUT) return DefWindowProcW(hwnd, message, wParam, lParam);
    rawReports.fetch_add(1, std::memory_order_relaxed);
    drainRing();  // what the hooks saw before comes first
    int64_t counter = perfCounter();
    RAWINPUT input;
    UINT size = sizeof input;
    InputEvent event;
    if (GetRawInputData(reinterpret_cast<HRAWINPUT>(lParam), RID_INPUT, &input, &size,
                        sizeof(RAWINPUTHEADER)) != UINT(-1) &&
        win32::rawMotionEvent(input, counter, event)) {
        try {
            handleRawMotion(event);
        } catch (...) {
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND createRawInputWindow(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = RawInputWndProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kRawInputClass;
    RegisterClassExW(&windowClass);
    return CreateWindowExW(0, kRawInputClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
}

// A hidden top-level window (a message-only one gets no broadcasts; the UI
// thread has a window of its own for the end of the session) that
// hears of the session's lock and unlock and of sleep and resume, and a
// desktop-switch event hook: key releases on the secure desktop never reach
// the hooks, so the way back forgets the modifiers held before.
const wchar_t kSessionWatchClass[] = L"VarnetInputSessionWatch";

LRESULT CALLBACK SessionWatchProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_WTSSESSION_CHANGE) {
        if (wParam == WTS_SESSION_LOCK) noteSessionAway(true);
        if (wParam == WTS_SESSION_UNLOCK) {
            noteSessionAway(false);
            reinstallHooks();  // a hook can be lost while the session is away
        }
        return 0;
    }
    if (message == WM_POWERBROADCAST) {
        if (wParam == PBT_APMSUSPEND) noteSessionAway(true);
        if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) {
            noteSessionAway(false);
            reinstallHooks();
        }
        return TRUE;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void CALLBACK DesktopSwitched(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) {
    // Either way round: to the secure desktop the releases go unseen, and
    // back from it the session may still be locked (its own message says).
    forgetHeldModifiers();
}

struct SessionWatch {
    HWND window = nullptr;
    HWINEVENTHOOK desktopHook = nullptr;
};

SessionWatch watchSession(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = SessionWatchProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kSessionWatchClass;
    RegisterClassExW(&windowClass);
    SessionWatch watch;
    watch.window = CreateWindowExW(WS_EX_TOOLWINDOW, kSessionWatchClass, L"", WS_POPUP, 0, 0, 0, 0,
                                   nullptr, nullptr, instance, nullptr);
    if (watch.window) WTSRegisterSessionNotification(watch.window, NOTIFY_FOR_THIS_SESSION);
    watch.desktopHook = SetWinEventHook(EVENT_SYSTEM_DESKTOPSWITCH, EVENT_SYSTEM_DESKTOPSWITCH, nullptr,
                                        DesktopSwitched, 0, 0, WINEVENT_OUTOFCONTEXT);
    return watch;
}

void endSessionWatch(const SessionWatch& watch, HINSTANCE instance) {
    if (watch.desktopHook) UnhookWinEvent(watch.desktopHook);
    if (watch.window) {
        WTSUnRegisterSessionNotification(watch.window);
        DestroyWindow(watch.window);
    }
    UnregisterClassW(kSessionWatchClass, instance);
}

// Waits for the hooks' ring, a wake from the core or a message, whichever
// comes first, and never longer.
void runCaptureLoop(HWND window) {
    for (;;) {
        drainRing();
        followRelativeRecording(window);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        HANDLE wake = captureWake.load();
        MsgWaitForMultipleObjectsEx(1, &wake, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

// The hook thread, started and ready (its hooks installed or found missing).
HANDLE startHookThread() {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, hookThreadMain, ready, 0, nullptr);
    if (thread) WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
    return thread;
}

void stopHookThread(HANDLE thread) {
    if (!thread) return;
    PostThreadMessageW(GetThreadId(thread), WM_QUIT, 0, 0);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

}  // namespace

void captureThreadMain() {
    MSG queue;
    PeekMessageW(&queue, nullptr, 0, 0, PM_NOREMOVE);  // the queue, before the stop is posted to it
    captureThreadId = GetCurrentThreadId();
    if (!ring.slots) ringReserve(ring, kRingEntries);
    if (!captureWake.load()) captureWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND window = createRawInputWindow(instance);
    const SessionWatch sessionWatch = watchSession(instance);
    HANDLE hookThread = startHookThread();
    if (!hookThread) noteHooksMissing(true);
    if (window) SetTimer(window, kWatchdogTimer, kWatchdogTickMs, nullptr);
    // Ready even when a hook failed: start-up must not wait for what never comes.
    appState().captureReady = true;

    // A stop that came before this thread had a message queue could not be
    // posted; it is remembered instead.
    if (!captureStopRequested) runCaptureLoop(window);

    stopHookThread(hookThread);
    drainRing();
    takeRawInput(window, false);
    if (window) {
        KillTimer(window, kWatchdogTimer);
        DestroyWindow(window);
    }
    endSessionWatch(sessionWatch, instance);
    UnregisterClassW(kRawInputClass, instance);
    captureThreadId = 0;
    captureStopRequested = false;
}

namespace win32 {
HHOOK installedKeyboardHook() { return keyboardHook; }
HHOOK installedMouseHook() { return mouseHook; }
}  // namespace win32

// The capture thread looks at the state again: whether to take raw input.
void captureThreadWake() {
    if (HANDLE wake = captureWake.load()) SetEvent(wake);
}

void captureThreadStop() {
    captureStopRequested = true;
    if (DWORD id = captureThreadId.load()) PostThreadMessageW(id, WM_QUIT, 0, 0);
}

}  // namespace platform
