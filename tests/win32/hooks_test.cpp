// The hooks and raw input with the real hook logic, fed by input that looks
// like the user's: xdotool types and clicks on the X display while a window
// of ours has the focus, and Wine hands that to the hooks unmarked.
#include <gtest/gtest.h>
#include <windows.h>
#include <wtsapi32.h>

#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "capture/hook_logic.h"
#include "capture/status_report.h"
#include "input/engines.h"
#include "model/state.h"
#include "platform/platform.h"
#include "platform/win32/win32_backend.h"
#include "tests/win32/person_input.h"

namespace {

int keyDownsSeen[256] = {};

// The focused window counts the key presses that reach it.
LRESULT CALLBACK countingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN && wParam < 256) ++keyDownsSeen[wParam];
    return DefWindowProcA(window, message, wParam, lParam);
}

class UserInput : public ::testing::Test {
protected:
    HWND window = nullptr;
    std::thread capture;

    void SetUp() override {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = countingWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VarnetHookTest";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "VarnetHookTest", "Varnet Hook Test", WS_OVERLAPPEDWINDOW, 200,
                                 200, 400, 300, nullptr, nullptr, windowClass.hInstance, nullptr);
        ShowWindow(window, SW_SHOWNORMAL);
        platform::forceForeground(window);
        pumpFor(100);
        xdotool("search --name \"^Varnet Hook Test$\" windowfocus");
        pumpFor(300);

        for (int& count : keyDownsSeen) count = 0;
        AppState& s = appState();
        s.captureReady = false;
        s.perfFrequency = platform::perfCounterFrequency();
        s.app.hotkeysEnabled = false;
        {
            std::lock_guard<std::mutex> lock(s.profilesLock);
            s.profiles.assign(1, Profile{"Test", "", {}});
            s.currentProfile = 0;
        }
        capture = std::thread(platform::captureThreadMain);
        for (int i = 0; i < 5000 && !s.captureReady; ++i) Sleep(1);
    }

    void TearDown() override {
        appState().recording = false;
        platform::captureThreadStop();
        capture.join();
        DestroyWindow(window);
    }

    static void pumpFor(int milliseconds) {
        for (ULONGLONG end = GetTickCount64() + milliseconds; GetTickCount64() < end;) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            Sleep(5);
        }
    }

    static void startRecording() {
        AppState& s = appState();
        s.recordStart = platform::perfCounter();
        s.recording = true;
        platform::captureThreadWake();  // as the control thread does
    }

    static std::vector<MacroEvent> recorded() {
        AppState& s = appState();
        std::lock_guard<std::mutex> lock(s.profilesLock);
        return s.profiles[0].events;
    }

    template <typename Done>
    static bool waitFor(Done done) {
        for (ULONGLONG end = GetTickCount64() + 10000; GetTickCount64() < end;) {
            if (done()) return true;
            pumpFor(20);
        }
        return done();
    }
};

std::vector<MacroEvent> keyStrokes(const std::vector<MacroEvent>& events) {
    std::vector<MacroEvent> keys;
    for (const MacroEvent& e : events)
        if (e.kind == KeyStroke) keys.push_back(e);
    return keys;
}

}  // namespace

TEST_F(UserInput, TypedKeysAreRecordedAndOurOwnAreNot) {
    startRecording();
    platform::sendKeyEvent('B', true);  // injected: never recorded
    platform::sendKeyEvent('B', false);
    xdotool("key a");
    ASSERT_TRUE(waitFor([] { return keyStrokes(recorded()).size() >= 2; }));
    pumpFor(200);
    std::vector<MacroEvent> keys = keyStrokes(recorded());
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].vk, 'A');
    EXPECT_TRUE(keys[0].down);
    EXPECT_EQ(keys[1].vk, 'A');
    EXPECT_FALSE(keys[1].down);
    EXPECT_LE(keys[0].time, keys[1].time);
    EXPECT_EQ(keyDownsSeen['A'], 1);  // recording passes keys on
}

// The hooks only decide and hand on: with the recording held up (its lock
// taken), a burst of typing still reaches the window at once, and is
// recorded whole and in order once the lock is free.
TEST_F(UserInput, ABurstWhileTheRecordingIsHeldUpPassesAtOnceAndIsRecordedInOrder) {
    startRecording();
    const std::string typed = "qwertzuiop";
    std::unique_lock<std::mutex> held(appState().profilesLock);
    xdotool("type --delay 5 " + typed);
    EXPECT_TRUE(waitFor([] { return keyDownsSeen['P'] == 1; }));
    held.unlock();
    ASSERT_TRUE(waitFor([&] { return keyStrokes(recorded()).size() >= 2 * typed.size(); }));
    std::string downs;
    for (const MacroEvent& key : keyStrokes(recorded()))
        if (key.down) downs += char(key.vk - 'A' + 'a');
    EXPECT_EQ(downs, typed);
    EXPECT_EQ(inputDropped(), 0u);
}

TEST_F(UserInput, AClickIsRecordedWhereItHappened) {
    startRecording();
    xdotool("mousemove 300 250 click 1");
    auto clicks = [] {
        std::vector<MacroEvent> buttons;
        for (const MacroEvent& e : recorded())
            if (e.kind == MouseButton) buttons.push_back(e);
        return buttons;
    };
    ASSERT_TRUE(waitFor([&] { return clicks().size() >= 2; }));
    std::vector<MacroEvent> buttons = clicks();
    EXPECT_EQ(buttons[0].flags, 0x0002u);
    EXPECT_EQ(buttons[1].flags, 0x0004u);
    EXPECT_EQ(buttons[0].x, 300);
    EXPECT_EQ(buttons[0].y, 250);
}

TEST_F(UserInput, AKeyPressedForAReassignmentIsCaughtAndSwallowed) {
    appState().capturedKey = 0;
    appState().reassignSlot = ReassignSlot::Record;
    xdotool("key F2");
    EXPECT_TRUE(waitFor([] { return appState().capturedKey == VK_F2; }));
    appState().reassignSlot = ReassignSlot::NoSlot;
    xdotool("key F3");
    EXPECT_TRUE(waitFor([] { return keyDownsSeen[VK_F3] == 1; }));
    EXPECT_EQ(keyDownsSeen[VK_F2], 0);  // the caught key never reached the window
}

TEST_F(UserInput, RelativeMotionComesFromRawInput) {
    AppState& s = appState();
    s.tracker.tmv = true;
    s.tracker.trel = true;
    // Wine hears of pointer motion only while the pointer is over one of its
    // windows: put it over ours first, before the recording starts.
    xdotool("mousemove 400 350");
    ASSERT_TRUE(waitFor([] {
        int32_t x = 0, y = 0;
        return platform::cursorPosition(x, y) && x == 400 && y == 350;
    }));
    pumpFor(100);
    startRecording();
    xdotool("mousemove_relative 15 10");
    auto travelled = [] {
        int32_t x = 0, y = 0;
        bool absolute = false;
        for (const MacroEvent& e : recorded()) {
            if (e.kind == RelMove) {
                x += e.x;
                y += e.y;
            }
            absolute |= e.kind == AbsMove;
        }
        return std::make_tuple(x, y, absolute);
    };
    EXPECT_TRUE(waitFor([&] { return std::get<0>(travelled()) >= 15; }));
    pumpFor(200);
    EXPECT_EQ(travelled(), std::make_tuple(15, 10, false));
    s.tracker.trel = false;
}

TEST_F(UserInput, AHotkeyRaisesItsRequestAndNeverReachesTheWindow) {
    AppState& s = appState();
    s.toggleSpammerRequested = false;
    s.app.hotkeysEnabled = true;
    xdotool("key F6");
    EXPECT_TRUE(waitFor([&] { return s.toggleSpammerRequested.load(); }));
    s.app.hotkeysEnabled = false;
    xdotool("key F3");
    EXPECT_TRUE(waitFor([] { return keyDownsSeen[VK_F3] == 1; }));
    EXPECT_EQ(keyDownsSeen[VK_F6], 0);

    // With Ctrl as its modifier, F6 alone is the window's and Ctrl+F6 the hotkey.
    s.app.hotkeysEnabled = true;
    s.hotkeys.hkAutoMods = modifier_bit::Ctrl;
    s.toggleSpammerRequested = false;
    xdotool("key F6");
    EXPECT_TRUE(waitFor([] { return keyDownsSeen[VK_F6] == 1; }));
    EXPECT_FALSE(s.toggleSpammerRequested);
    xdotool("key ctrl+F6");
    EXPECT_TRUE(waitFor([&] { return s.toggleSpammerRequested.load(); }));
    EXPECT_EQ(keyDownsSeen[VK_F6], 1);
    s.hotkeys.hkAutoMods = 0;
    s.app.hotkeysEnabled = false;
}

// The way out that works whatever the hotkeys: Escape held by the user for a
// second, seen by the keyboard hook; our own Escape never counts.
TEST_F(UserInput, EscapeHeldASecondStopsTheEnginesAndOurOwnEscapeDoesNot) {
    AppState& s = appState();
    s.toggleSpammerRequested = s.toggleKeySpamRequested = false;
    s.toggleRecordingRequested = s.togglePlaybackRequested = false;
    s.autoClicking = true;
    platform::sendKeyEvent(VK_ESCAPE, true);
    platform::sendKeyEvent(VK_ESCAPE, false);
    platform::sendKeyEvent(VK_ESCAPE, true);  // held by us: no hold of the user's
    pumpFor(1300);
    controlPass();
    EXPECT_TRUE(s.autoClicking);
    platform::sendKeyEvent(VK_ESCAPE, false);
    xdotool("keydown Escape");
    ASSERT_TRUE(waitFor([&] { return s.escapeHeld.load(); }));
    pumpFor(1100);
    controlPass();
    xdotool("keyup Escape");
    EXPECT_FALSE(s.autoClicking);
    EXPECT_TRUE(waitFor([&] { return !s.escapeHeld.load(); }));
}

TEST_F(UserInput, EscapeCancelsAPickAndNeverReachesTheWindow) {
    AppState& s = appState();
    s.pickingLocation = true;
    xdotool("key Escape");
    EXPECT_TRUE(waitFor([&] { return !s.pickingLocation.load(); }));
    xdotool("key F3");
    EXPECT_TRUE(waitFor([] { return keyDownsSeen[VK_F3] == 1; }));
    EXPECT_EQ(keyDownsSeen[VK_ESCAPE], 0);
}

// The capture thread hears of a lock and of sleep through its hidden window,
// and the way back forgets the modifiers whose releases it could not see.
TEST_F(UserInput, LockAndSleepSetTheSessionAwayAndTheReturnForgetsModifiers) {
    HWND watch = FindWindowW(L"VarnetInputSessionWatch", nullptr);
    ASSERT_NE(watch, nullptr);
    struct Row {
        UINT message;
        WPARAM what;
        bool away;
    } const rows[] = {
        {WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, true},
        {WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, false},
        {WM_POWERBROADCAST, PBT_APMSUSPEND, true},
        {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, false},
    };
    AppState& s = appState();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        // Left Ctrl's bit, set while the capture thread waits in its loop.
        if (row.away) s.modifierKeysDown = 1u << 7;
        SendMessageW(watch, row.message, row.what, 0);
        EXPECT_EQ(s.sessionAway.load(), row.away);
        EXPECT_EQ(s.modifierKeysDown != 0, row.away);
    }
}

// Windows removes a hook that keeps it waiting and tells nobody: with both
// removed as the system would, our own input goes by unseen, and the
// watchdog puts the hooks back, says so in the status report, and the user's
// keys are recorded again.
TEST_F(UserInput, TheWatchdogPutsBackHooksTheSystemRemoved) {
    using namespace platform::win32;
    ASSERT_NE(installedKeyboardHook(), nullptr);
    ASSERT_NE(installedMouseHook(), nullptr);
    const uint32_t reinstallsBefore = hookReinstalls();
    UnhookWindowsHookEx(installedKeyboardHook());
    UnhookWindowsHookEx(installedMouseHook());
    ASSERT_TRUE(waitFor([&] {
        platform::sendKeyEvent(VK_SHIFT, true);  // input the hooks would have seen
        platform::sendKeyEvent(VK_SHIFT, false);
        return hookReinstalls() > reinstallsBefore;
    }));
    EXPECT_FALSE(hooksMissing());
    EXPECT_NE(gatherStatus().hookProblem.find("put back"), std::string::npos);
    startRecording();
    xdotool("key a");
    EXPECT_TRUE(waitFor([] { return keyStrokes(recorded()).size() >= 2; }));
}
