#include <gtest/gtest.h>

#include "panels/panel_placement.h"

TEST(PanelPlacement, BesideTheMainWindowOnItsMonitorNeverOverIt) {
    const platform::ScreenRect screen{0, 0, 1920, 1040};
    struct Case {
        const char* what;
        platform::ScreenRect main;
        int openPanels;
        PanelPoint expected;
    };
    const Case cases[] = {
        {"room on the right", {100, 50, 520, 610}, 0, {528, 50}},
        {"the next one steps down", {100, 50, 520, 610}, 2, {528, 130}},
        {"no room on the right: left", {1400, 50, 1820, 610}, 0, {942, 50}},
        {"kept on the monitor at the bottom", {100, 900, 520, 1460}, 0, {528, 640}},
        {"neither side: the edge covering least", {300, 0, 1700, 1040}, 0, {0, 0}},
        {"a second monitor to the left", {-1500, 50, -1080, 610}, 0, {-1072, 50}},
    };
    for (const Case& c : cases) {
        const platform::ScreenRect area = c.main.left < 0 ? platform::ScreenRect{-1920, 0, 0, 1040} : screen;
        const PanelPoint at = panelPlacementBeside(c.main, area, kPanelWindowWidth, kPanelWindowHeight, c.openPanels);
        EXPECT_EQ(at.x, c.expected.x) << c.what;
        EXPECT_EQ(at.y, c.expected.y) << c.what;
        EXPECT_TRUE(c.main.right - c.main.left > 1000 || !panelPointCovers(c.main, at, kPanelWindowWidth, kPanelWindowHeight))
            << c.what;
    }
}

TEST(PanelPlacement, APointOnTheMainWindowIsNotKept) {
    const platform::ScreenRect main{0, 0, 420, 560};
    EXPECT_TRUE(panelPointCovers(main, {300, 20}, 450, 400));
    EXPECT_TRUE(panelPointCovers(main, {-400, 500}, 450, 400));
    EXPECT_FALSE(panelPointCovers(main, {420, 300}, 450, 400));
}
