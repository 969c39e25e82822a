#include <gtest/gtest.h>

#include "bridge/page_calls.h"
#include "bridge/window_helpers.h"
#include "model/state.h"
#include "tests/fake/fake_platform.h"

// The fake monitor's work area is 0..1040 high, so 1020 pixels are available.
TEST(WindowHelpers, TallRequestIsScaledAndMovedUpIntoTheWorkArea) {
    fake::FakeWindow window{100, 100, 300, 300, 40};
    fitWindowToWorkArea(&window, 500, 1200);
    EXPECT_EQ(window.width, 500);
    EXPECT_EQ(window.height, 987);  // trunc(1020 / 1240 * 1200)
    EXPECT_EQ(window.left, 100);
    EXPECT_EQ(window.top, 1040 - 1027);
}

TEST(WindowHelpers, FittingRequestOnlyMovesUpWhenTheBottomSticksOut) {
    fake::FakeWindow window{10, 900, 300, 300, 40};
    fitWindowToWorkArea(&window, 420, 560);
    EXPECT_EQ(window.height, 560);
    EXPECT_EQ(window.top, 1040 - 600);
    window.top = 20;
    fitWindowToWorkArea(&window, 420, 500);
    EXPECT_EQ(window.top, 20);
}

TEST(WindowHelpers, ResizeWindowIgnoresBadRequests) {
    fake::FakeWindow window{0, 0, 300, 300, 40};
    appState().mainWebview = &window;
    for (const char* bad : {"[0,300]", "[600,\"tall\"]", "[600]", "[-5,100]"}) callResizeWindow(bad);
    EXPECT_EQ(window.width, 300);
    EXPECT_EQ(window.height, 300);
    EXPECT_EQ(callResizeWindow("[600,\"400\"]"), "");
    EXPECT_EQ(window.width, 600);
    EXPECT_EQ(window.height, 400);
    appState().mainWebview = nullptr;
    EXPECT_EQ(callResizeWindow("[600,400]"), "");
}
