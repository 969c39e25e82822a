#include "panels/panel_placement.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int32_t kGap = 8;

// 64-bit: rectangles from a hostile or odd desktop must not overflow.
int64_t overlapArea(int64_t left, int64_t top, int64_t width, int64_t height, const platform::ScreenRect& r) {
    const int64_t w = std::min<int64_t>(left + width, r.right) - std::max<int64_t>(left, r.left);
    const int64_t h = std::min<int64_t>(top + height, r.bottom) - std::max<int64_t>(top, r.top);
    return w > 0 && h > 0 ? w * h : 0;
}

int64_t clampInto(int64_t value, int64_t low, int64_t high) {
    return std::max(low, std::min(value, std::max(low, high)));
}

struct Spot {
    int64_t x, y;
};

int64_t coveredBy(Spot s, int64_t width, int64_t height, const platform::ScreenRect& main,
                  const std::vector<platform::ScreenRect>& taken) {
    int64_t covered = overlapArea(s.x, s.y, width, height, main);
    for (const platform::ScreenRect& r : taken) covered += overlapArea(s.x, s.y, width, height, r);
    return covered;
}

// The columns a panel can stand in: touching the main window or a panel
// already out on either side, nearest the main window first; one above or
// below the main window only after every one beside it.
std::vector<int64_t> columns(const platform::ScreenRect& main, int64_t width,
                             const std::vector<platform::ScreenRect>& taken) {
    std::vector<int64_t> xs{int64_t(main.right) + kGap, int64_t(main.left) - kGap - width};
    for (const platform::ScreenRect& r : taken) {
        xs.push_back(int64_t(r.right) + kGap);
        xs.push_back(int64_t(r.left) - kGap - width);
    }
    const int64_t middle = (int64_t(main.left) + main.right) / 2;
    auto distance = [&](int64_t x) {
        const bool aboveOrBelow = x < main.right && x + width > main.left;
        return std::abs(x + width / 2 - middle) + (aboveOrBelow ? int64_t(1) << 40 : 0);
    };
    std::stable_sort(xs.begin(), xs.end(), [&](int64_t a, int64_t b) { return distance(a) < distance(b); });
    return xs;
}

// The heights a panel can start at in a column: level with the main window,
// the work area's top, or just below a window already there.
std::vector<int64_t> rows(const platform::ScreenRect& main, const platform::ScreenRect& area,
                          const std::vector<platform::ScreenRect>& taken) {
    std::vector<int64_t> ys{main.top};
    for (const platform::ScreenRect& r : taken) ys.push_back(int64_t(r.bottom) + kGap);
    std::sort(ys.begin(), ys.end());
    ys.push_back(area.top);
    return ys;
}

}  // namespace

bool panelPointCovers(const platform::ScreenRect& main, PanelPoint at, int32_t width, int32_t height) {
    return overlapArea(at.x, at.y, width, height, main) > 0;
}

PanelPoint panelPlacementBeside(const platform::ScreenRect& main, const platform::ScreenRect& area,
                                int32_t width, int32_t height, const std::vector<platform::ScreenRect>& taken) {
    const int64_t lowestTop = int64_t(area.bottom) - height;
    for (int64_t x : columns(main, width, taken)) {
        if (x < area.left || x + width > area.right) continue;
        for (int64_t y : rows(main, area, taken)) {
            const Spot s{x, clampInto(y, area.top, lowestTop)};
            if (coveredBy(s, width, height, main, taken) == 0) return {int32_t(s.x), int32_t(s.y)};
        }
    }
    // No free spot: on the monitor, beside the main window where it covers least.
    const int64_t top = clampInto(main.top, area.top, lowestTop);
    const std::vector<Spot> fallbacks{
        {clampInto(int64_t(main.right) + kGap, area.left, int64_t(area.right) - width), top},
        {clampInto(int64_t(main.left) - kGap - width, area.left, int64_t(area.right) - width), top},
        {clampInto(int64_t(area.right) - width, area.left, area.right), top},
        {area.left, top}};
    Spot best = fallbacks.front();
    for (const Spot& s : fallbacks)
        if (coveredBy(s, width, height, main, taken) < coveredBy(best, width, height, main, taken)) best = s;
    return {int32_t(best.x), int32_t(best.y)};
}
