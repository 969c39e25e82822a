// The window helpers and the start-up registration of the Linux backend, on a
// real web view window on a private X server without a window manager.
#include <gtest/gtest.h>

#include <gtk/gtk.h>
#include <stdlib.h>

#include <filesystem>

#include "bridge/webview_api.h"
#include "bridge/window_helpers.h"
#include "platform/platform.h"
#include "tests/backend/x_session.h"
#include "tests/e2e/harness.h"

namespace {

webview_t webview = nullptr;
void* window = nullptr;

platform::ScreenRect frame() {
    platform::ScreenRect r;
    EXPECT_TRUE(platform::windowFrameRect(window, r));
    return r;
}

class LinuxWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        useXSession();
        webview = webview_create(0, nullptr);
        ASSERT_NE(webview, nullptr);
        webview_set_title(webview, "Window helper test");
        webview_set_size(webview, 420, 560, WEBVIEW_HINT_NONE);
        window = webview_get_window(webview);
        pump(500);
    }
    static void TearDownTestSuite() {
        if (webview) webview_destroy(webview);
        webview = nullptr;
        pump(100);
    }
};

int settledCalls = 0;
void countSettled(void*) { ++settledCalls; }

}  // namespace

TEST_F(LinuxWindows, WorkAreaIsTheScreenWithoutAWindowManager) {
    platform::ScreenRect area = platform::monitorWorkArea(window);
    EXPECT_EQ(area.left, 0);
    EXPECT_EQ(area.top, 0);
    EXPECT_EQ(area.right, 1280);
    EXPECT_EQ(area.bottom, 1024);
    platform::ScreenRect primary = platform::monitorWorkArea(nullptr);
    EXPECT_EQ(primary.bottom, 1024);
    EXPECT_TRUE(platform::monitorWorkAreaAt(1279, 1023, area));
    EXPECT_FALSE(platform::monitorWorkAreaAt(1280, 10, area));
    EXPECT_FALSE(platform::monitorWorkAreaAt(-1, 10, area));
}

TEST_F(LinuxWindows, FrameRectFollowsMovesAndSizes) {
    platform::moveWindowTo(window, 37, 41);
    ASSERT_TRUE(pumpUntil(2000, [] {
        platform::ScreenRect r;
        return platform::windowFrameRect(window, r) && r.left == 37 && r.top == 41;
    }));
    platform::ScreenRect r = frame();
    EXPECT_EQ(r.right - r.left, 420);
    EXPECT_EQ(r.bottom - r.top, 560);
    platform::placeWindow(window, 100, 90, 500, 400);
    ASSERT_TRUE(pumpUntil(2000, [] {
        platform::ScreenRect r;
        return platform::windowFrameRect(window, r) && r.left == 100 && r.top == 90 &&
               r.right == 600 && r.bottom == 490;
    })) << frame().left << "," << frame().top << " " << frame().right << "," << frame().bottom;
}

TEST_F(LinuxWindows, FitKeepsTheWindowInsideTheWorkArea) {
    platform::moveWindowTo(window, 200, 700);
    pump(200);
    fitWindowToWorkArea(webview, 450, 2000);
    ASSERT_TRUE(pumpUntil(2000, [] {
        platform::ScreenRect r;
        return platform::windowFrameRect(window, r) && r.bottom - r.top == 1004 && r.bottom <= 1024;
    })) << frame().top << " " << frame().bottom;
    platform::ScreenRect r = frame();
    EXPECT_EQ(r.left, 200);  // never moved sideways
    EXPECT_EQ(r.right - r.left, 450);
    EXPECT_EQ(r.top, 20);
    fitWindowToWorkArea(webview, 420, 560);
    pump(300);
    EXPECT_EQ(frame().bottom - frame().top, 560);
}

TEST_F(LinuxWindows, WindowManagerRequestsAreHarmlessWithoutOne) {
    platform::setAlwaysOnTop(window, true);
    platform::setAlwaysOnTop(window, false);
    platform::forceForeground(window);
    platform::setAlwaysOnTop(nullptr, true);
    platform::forceForeground(nullptr);
    platform::restoreIfMaximized(window);
    pump(100);
    platform::ScreenRect r;
    bool maximized = true;
    ASSERT_TRUE(platform::windowNormalPlacement(window, r, maximized));
    EXPECT_FALSE(maximized);
    EXPECT_EQ(r.right - r.left, frame().right - frame().left);
}

TEST_F(LinuxWindows, PlacementWatcherReportsAMoveOnceItHasSettled) {
    platform::watchWindowPlacement(window, countSettled, nullptr);
    pump(1300);  // the watcher ignores the window settling in
    settledCalls = 0;
    platform::moveWindowTo(window, 310, 220);
    pump(150);
    EXPECT_EQ(settledCalls, 0);
    ASSERT_TRUE(pumpUntil(2000, [] { return settledCalls == 1; }));
    pump(600);
    EXPECT_EQ(settledCalls, 1);
}

TEST(LinuxStartup, AutostartEntryIsWrittenAndRemoved) {
    std::string root = (std::filesystem::temp_directory_path() /
                        ("varnet-autostart-" + std::to_string(getpid()))).string();
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    platform::setLaunchOnStartup(true);
    std::string entry = e2e::readFile(root + "/autostart/varnet.desktop");
    EXPECT_NE(entry.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(entry.find("\nExec=\"" + platform::executablePath() + "\"\n"), std::string::npos)
        << entry;
    platform::setLaunchOnStartup(false);
    EXPECT_FALSE(std::filesystem::exists(root + "/autostart/varnet.desktop"));
    platform::setLaunchOnStartup(false);  // nothing to remove: still silent
    std::filesystem::remove_all(root);
}

// The page is given GTK's interface font only where the font library has
// that family: a missing one would cost the page the slow miss it avoids.
TEST_F(LinuxWindows, DesktopFontIsGtksFamilyWhenInstalled) {
    GtkSettings* settings = gtk_settings_get_default();
    gchar* before = nullptr;
    g_object_get(settings, "gtk-font-name", &before, nullptr);
    const std::pair<const char*, const char*> cases[] = {
        {"DejaVu Sans 10", "DejaVu Sans"}, {"No Such Family Here 10", ""}, {"DejaVu Sans Mono Bold 9", "DejaVu Sans Mono"}};
    for (const auto& [fontName, family] : cases) {
        g_object_set(settings, "gtk-font-name", fontName, nullptr);
        EXPECT_EQ(platform::desktopFontFamily(), family) << fontName;
    }
    g_object_set(settings, "gtk-font-name", before, nullptr);
    g_free(before);
}
