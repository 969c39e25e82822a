#include "bridge/window_helpers.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <vector>

#include "bridge/page_calls.h"
#include "bridge/webview_api.h"
#include "model/state.h"
#include "platform/platform.h"
#include "text/arguments.h"

void fitWindowToWorkArea(void* webview, int32_t width, int32_t height) {
    if (!webview || width <= 0 || height <= 0) return;
    void* window = webview_get_window(webview);
    if (!window) return;
    const platform::ScreenRect area = platform::monitorWorkArea(window);
    const int64_t avail = int64_t(area.bottom) - area.top - 20;
    if (avail <= 0) return;
    webview_set_size(webview, width, height, WEBVIEW_HINT_NONE);
    platform::ScreenRect r;
    if (!platform::windowFrameRect(window, r)) return;
    const int64_t outerHeight = int64_t(r.bottom) - r.top;
    if (outerHeight > avail) {
        // The frame adds to the requested client height: scale the request by
        // what fits of the outer height.
        const double scaled = std::trunc(double(avail) / double(outerHeight) * double(height));
        if (scaled > 0) {
            webview_set_size(webview, width, int32_t(scaled), WEBVIEW_HINT_NONE);
            if (!platform::windowFrameRect(window, r)) return;
        }
    }
    if (r.bottom > area.bottom) {
        const int64_t y = std::max<int64_t>(int64_t(area.bottom) - (int64_t(r.bottom) - r.top), area.top);
        platform::moveWindowTo(window, r.left, int32_t(y));
    }
}

void centreWindowInWorkArea(void* window) {
    if (!window) return;
    const platform::ScreenRect area = platform::monitorWorkArea(window);
    platform::ScreenRect r;
    if (!platform::windowFrameRect(window, r)) return;
    const int64_t areaWidth = int64_t(area.right) - area.left;
    const int64_t areaHeight = int64_t(area.bottom) - area.top;
    const int64_t x = area.left + (areaWidth - (int64_t(r.right) - r.left)) / 2;
    const int64_t y = area.top + (areaHeight - (int64_t(r.bottom) - r.top)) / 2;
    platform::moveWindowTo(window, int32_t(x), int32_t(y));
}

std::string callResizeWindow(const std::string& args) {
    const std::vector<std::string> fields = parseArgumentList(args);
    if (fields.size() < 2) return "";
    int32_t width, height;
    if (!parseInt32(fields[0], width) || !parseInt32(fields[1], height)) return "";
    fitWindowToWorkArea(appState().mainWebview, width, height);
    return "";
}

namespace {

// The main web view for bringMainWindowToFront, which other threads call.
std::atomic<void*> frontTarget{nullptr};

void showInFront(webview_t, void*) {
    void* window = appState().mainWindow;
    if (!window) return;
    platform::restoreIfMinimized(window);
    platform::forceForeground(window);
}

}  // namespace

void setFrontWindowTarget(void* webview) { frontTarget = webview; }

void bringMainWindowToFront() {
    if (void* w = frontTarget.load()) webview_dispatch(static_cast<webview_t>(w), showInFront, nullptr);
}

bool readScreenPoint(const std::string& args, int32_t& x, int32_t& y, std::string& refusal) {
    const std::vector<std::string> fields = parseArgumentList(args);
    if (fields.size() != 2 || !parseInt32(fields[0], x) || !parseInt32(fields[1], y)) {
        refusal = "X and Y must be whole numbers.";
        return false;
    }
    platform::ScreenRect monitor;
    refusal = platform::monitorWorkAreaAt(x, y, monitor)
                  ? ""
                  : "X " + std::to_string(x) + ", Y " + std::to_string(y) + " is on no screen.";
    return true;
}
