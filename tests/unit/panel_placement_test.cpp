#include <gtest/gtest.h>

#include <vector>

#include "panels/panel_placement.h"

namespace {

platform::ScreenRect panelAt(PanelPoint p) {
    return {p.x, p.y, p.x + kPanelWindowWidth, p.y + kPanelWindowHeight};
}

bool overlaps(const platform::ScreenRect& a, const platform::ScreenRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

TEST(PanelPlacement, BesideTheMainWindowOnItsMonitorNeverOverIt) {
    const platform::ScreenRect screen{0, 0, 1920, 1040};
    struct Case {
        const char* what;
        platform::ScreenRect main;
        std::vector<platform::ScreenRect> taken;
        PanelPoint expected;
    };
    const Case cases[] = {
        {"room on the right", {100, 50, 520, 610}, {}, {528, 50}},
        {"the next one goes below the first", {100, 50, 520, 610}, {{528, 50, 978, 450}}, {528, 458}},
        {"a column full: the next column out",
         {100, 50, 520, 610}, {{528, 50, 978, 450}, {528, 458, 978, 858}}, {986, 50}},
        {"a panel dragged elsewhere frees its spot", {100, 50, 520, 610}, {{1400, 600, 1850, 1000}}, {528, 50}},
        {"no room on the right: left", {1400, 50, 1820, 610}, {}, {942, 50}},
        {"kept on the monitor at the bottom", {100, 900, 520, 1460}, {}, {528, 640}},
        {"neither side: the edge covering least", {300, 0, 1700, 1040}, {}, {0, 0}},
        {"a second monitor to the left", {-1500, 50, -1080, 610}, {}, {-1072, 50}},
    };
    for (const Case& c : cases) {
        const platform::ScreenRect area = c.main.left < 0 ? platform::ScreenRect{-1920, 0, 0, 1040} : screen;
        const PanelPoint at = panelPlacementBeside(c.main, area, kPanelWindowWidth, kPanelWindowHeight, c.taken);
        EXPECT_EQ(at.x, c.expected.x) << c.what;
        EXPECT_EQ(at.y, c.expected.y) << c.what;
        EXPECT_TRUE(c.main.right - c.main.left > 1000 || !panelPointCovers(c.main, at, kPanelWindowWidth, kPanelWindowHeight))
            << c.what;
    }
}

// Panels opened one after another, each told where the earlier ones are,
// never cover each other or the main window while the work area has room.
TEST(PanelPlacement, SuccessivePanelsCoverNeitherEachOtherNorTheMainWindow) {
    const platform::ScreenRect area{0, 0, 1920, 1040};
    for (const platform::ScreenRect main : {platform::ScreenRect{10, 10, 430, 570},
                                            platform::ScreenRect{1490, 300, 1910, 860},
                                            platform::ScreenRect{750, 232, 1170, 792}}) {
        std::vector<platform::ScreenRect> taken;
        for (int n = 0; n < 3; ++n) {
            const platform::ScreenRect placed =
                panelAt(panelPlacementBeside(main, area, kPanelWindowWidth, kPanelWindowHeight, taken));
            EXPECT_GE(placed.left, area.left);
            EXPECT_LE(placed.right, area.right);
            EXPECT_GE(placed.top, area.top);
            EXPECT_LE(placed.bottom, area.bottom);
            EXPECT_FALSE(overlaps(placed, main)) << "panel " << n << " at " << placed.left << "," << placed.top;
            for (const platform::ScreenRect& other : taken) EXPECT_FALSE(overlaps(placed, other)) << "panel " << n;
            taken.push_back(placed);
        }
    }
}

TEST(PanelPlacement, APointOnTheMainWindowIsNotKept) {
    const platform::ScreenRect main{0, 0, 420, 560};
    EXPECT_TRUE(panelPointCovers(main, {300, 20}, 450, 400));
    EXPECT_TRUE(panelPointCovers(main, {-400, 500}, 450, 400));
    EXPECT_FALSE(panelPointCovers(main, {420, 300}, 450, 400));
}
