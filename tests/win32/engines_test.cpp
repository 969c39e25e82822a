// The engines on the real Windows input: a counted auto-click run at a fixed
// point and a counted key-spam run land in a window of ours.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "input/engine_wait.h"
#include "input/engines.h"
#include "model/state.h"
#include "platform/platform.h"
#include "tests/win32/message_pump.h"

namespace {

std::atomic<int> clicksSeen{0}, keysSeen{0};

LRESULT CALLBACK countingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN) ++clicksSeen;
    if (message == WM_KEYDOWN && wParam == 'A') ++keysSeen;
    return DefWindowProcA(window, message, wParam, lParam);
}

class Engines : public ::testing::Test {
protected:
    HWND window = nullptr;

    void SetUp() override {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = countingWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VarnetEngineTest";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "VarnetEngineTest", "Varnet Engine Test", WS_POPUP | WS_VISIBLE,
                                 200, 200, 400, 300, nullptr, nullptr, windowClass.hInstance,
                                 nullptr);
        platform::forceForeground(window);
        clicksSeen = 0;
        keysSeen = 0;
        appState().running = true;
        appState().perfFrequency = platform::perfCounterFrequency();
    }
    void TearDown() override {
        appState().running = false;
        wakeIdleEngines();
        DestroyWindow(window);
    }
};

}  // namespace

TEST_F(Engines, ACountedClickRunAtAFixedPoint) {
    ClickerSettings& c = appState().clicker;
    c.locMode = 1;
    c.fixedX = 300;
    c.fixedY = 320;
    c.sbtn = 0;
    c.stype = 0;
    c.sms = 20;
    c.rptMode = 0;
    c.rptTimes = 5;
    appState().autoClicking = true;
    std::thread engine(autoClickerThread);
    EXPECT_TRUE(pumpUntil([] { return !appState().autoClicking && clicksSeen == 5; }));
    appState().running = false;
    wakeIdleEngines();
    engine.join();
    EXPECT_EQ(clicksSeen, 5);
    int32_t x = 0, y = 0;
    ASSERT_TRUE(platform::cursorPosition(x, y));
    EXPECT_NEAR(x, 300, 1);
    EXPECT_NEAR(y, 320, 1);
}

TEST_F(Engines, ACountedKeySpamRun) {
    KeySpamSettings& k = appState().keySpam;
    k.keySpamTarget = 'A';
    k.ksms = 20;
    k.ksRptMode = 0;
    k.ksRptTimes = 4;
    appState().keySpamming = true;
    std::thread engine(keySpamThread);
    EXPECT_TRUE(pumpUntil([] { return !appState().keySpamming && keysSeen == 4; }));
    appState().running = false;
    wakeIdleEngines();
    engine.join();
    EXPECT_EQ(keysSeen, 4);
}
