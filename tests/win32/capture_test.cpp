// The input-capture thread installs its watch and stops on request.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "model/state.h"
#include "platform/platform.h"

TEST(CaptureThread, BecomesReadyAndStopsPromptly) {
    appState().captureReady = false;
    std::thread capture(platform::captureThreadMain);
    for (int i = 0; i < 5000 && !appState().captureReady; ++i) Sleep(1);
    ASSERT_TRUE(appState().captureReady);
    // Input passes through the installed hooks without getting stuck.
    platform::sendMouseInput(1, 1, 0, MOUSEEVENTF_MOVE);
    platform::sendKeyEvent(VK_SHIFT, true);
    platform::sendKeyEvent(VK_SHIFT, false);
    Sleep(20);
    platform::captureThreadStop();
    capture.join();
}

TEST(CaptureThread, AStopBeforeTheLoopIsNotLost) {
    appState().captureReady = false;
    platform::captureThreadStop();
    std::thread capture(platform::captureThreadMain);
    capture.join();
    EXPECT_TRUE(appState().captureReady);
}
