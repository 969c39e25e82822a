#include "panels/panel_placement.h"

#include <algorithm>

namespace {

constexpr int32_t kGap = 8;
constexpr int32_t kStep = 40;

// 64-bit: rectangles from a hostile or odd desktop must not overflow.
int64_t overlapArea(int64_t left, int64_t top, int64_t width, int64_t height, const platform::ScreenRect& r) {
    const int64_t w = std::min<int64_t>(left + width, r.right) - std::max<int64_t>(left, r.left);
    const int64_t h = std::min<int64_t>(top + height, r.bottom) - std::max<int64_t>(top, r.top);
    return w > 0 && h > 0 ? w * h : 0;
}

int32_t clampInto(int64_t value, int64_t low, int64_t high) {
    return int32_t(std::max(low, std::min(value, std::max(low, high))));
}

}  // namespace

bool panelPointCovers(const platform::ScreenRect& main, PanelPoint at, int32_t width, int32_t height) {
    return overlapArea(at.x, at.y, width, height, main) > 0;
}

PanelPoint panelPlacementBeside(const platform::ScreenRect& main, const platform::ScreenRect& area,
                                int32_t width, int32_t height, int openPanels) {
    const int64_t top = clampInto(int64_t(main.top) + int64_t(std::max(0, openPanels)) * kStep, area.top,
                                  int64_t(area.bottom) - height);
    const int64_t right = int64_t(main.right) + kGap;
    const int64_t left = int64_t(main.left) - kGap - width;
    if (right + width <= area.right) return {int32_t(right), int32_t(top)};
    if (left >= area.left) return {int32_t(left), int32_t(top)};
    // Neither side has room: the monitor's edge that covers the main window least.
    const int32_t atRight = clampInto(int64_t(area.right) - width, area.left, area.right);
    const int32_t atLeft = area.left;
    const bool rightIsBetter =
        overlapArea(atRight, top, width, height, main) <= overlapArea(atLeft, top, width, height, main);
    return {rightIsBetter ? atRight : atLeft, int32_t(top)};
}
