// Dragging a panel window by hand: xdotool holds the primary button and moves
// the pointer as a person would, and Wine delivers it to the dragged window.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/win32/person_input.h"

namespace {

LRESULT CALLBACK plainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

struct DragLog {
    std::vector<bool> hovers;
    std::vector<bool> drops;
};

void onHover(bool over, void* context) { static_cast<DragLog*>(context)->hovers.push_back(over); }
void onDrop(bool over, void* context) { static_cast<DragLog*>(context)->drops.push_back(over); }

class PanelDrag : public ::testing::Test {
protected:
    HWND target = nullptr, panel = nullptr;
    DragLog log;

    void SetUp() override {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = plainWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VarnetDragTest";
        RegisterClassA(&windowClass);
        target = CreateWindowExA(0, "VarnetDragTest", "Varnet Drag Target", WS_OVERLAPPEDWINDOW,
                                 700, 100, 400, 400, nullptr, nullptr, windowClass.hInstance,
                                 nullptr);
        panel = CreateWindowExA(0, "VarnetDragTest", "Varnet (Drag Panel)", WS_OVERLAPPEDWINDOW,
                                100, 100, 300, 200, nullptr, nullptr, windowClass.hInstance,
                                nullptr);
        ShowWindow(target, SW_SHOWNORMAL);
        platform::makeWindowFrameless(panel);
        pumpFor(200);
    }
    void TearDown() override {
        xdotool("mouseup 1");
        pumpFor(100);
        DestroyWindow(panel);
        DestroyWindow(target);
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

    template <typename Done>
    static bool waitFor(Done done) {
        for (ULONGLONG end = GetTickCount64() + 10000; GetTickCount64() < end;) {
            if (done()) return true;
            pumpFor(20);
        }
        return done();
    }

    static bool cursorAt(int32_t x, int32_t y) {
        int32_t cx = 0, cy = 0;
        return platform::cursorPosition(cx, cy) && cx == x && cy == y;
    }

    // Presses the primary button on the panel at (150, 120) and starts a drag.
    void grabPanel() {
        xdotool("mousemove 150 120 mousedown 1");
        ASSERT_TRUE(waitFor([] { return cursorAt(150, 120); }));
        pumpFor(200);
        platform::beginPanelDrag(panel, "Varnet Drag Target", onHover, onDrop, &log);
    }
};

}  // namespace

TEST_F(PanelDrag, FollowsThePointerAndDocksOnTheTarget) {
    platform::ScreenRect start;
    ASSERT_TRUE(platform::windowFrameRect(panel, start));
    grabPanel();
    xdotool("mousemove 200 150");
    ASSERT_TRUE(waitFor([&] {
        platform::ScreenRect now;
        return platform::windowFrameRect(panel, now) && now.left == start.left + 50 &&
               now.top == start.top + 30;
    }));
    EXPECT_TRUE(log.hovers.empty());
    xdotool("mousemove 800 200");
    ASSERT_TRUE(waitFor([&] { return !log.hovers.empty(); }));
    xdotool("mousemove 820 210");
    pumpFor(200);
    xdotool("mouseup 1");
    ASSERT_TRUE(waitFor([&] { return !log.drops.empty(); }));
    EXPECT_EQ(log.hovers, (std::vector<bool>{true, false}));  // once over, once off at the end
    EXPECT_EQ(log.drops, (std::vector<bool>{true}));
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(PanelDrag, ReleasedElsewhereItStaysWhereItWasDropped) {
    grabPanel();
    xdotool("mousemove 800 200");
    ASSERT_TRUE(waitFor([&] { return log.hovers.size() == 1; }));
    xdotool("mousemove 400 600");
    ASSERT_TRUE(waitFor([&] { return log.hovers.size() == 2; }));
    xdotool("mouseup 1");
    ASSERT_TRUE(waitFor([&] { return !log.drops.empty(); }));
    EXPECT_EQ(log.hovers, (std::vector<bool>{true, false}));
    EXPECT_EQ(log.drops, (std::vector<bool>{false}));
    platform::ScreenRect now;
    ASSERT_TRUE(platform::windowFrameRect(panel, now));
    EXPECT_EQ(now.left, 100 + 250);
    EXPECT_EQ(now.top, 100 + 480);
}
