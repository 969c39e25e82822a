// The window helpers under a real window manager (openbox), where there is
// one: frames are counted, topmost and activation are honoured, and the
// restored rectangle of a maximized window is still known. Skipped when no
// openbox is installed.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/x11/gdkx.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bridge/webview_api.h"
#include "platform/platform.h"
#include "tests/backend/x_session.h"

extern char** environ;

namespace {

const char kOpenbox[] = "/usr/bin/openbox";

Display* xDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

Window xidOf(void* window) {
    return gdk_x11_surface_get_xid(gtk_native_get_surface(GTK_NATIVE(window)));
}

std::vector<unsigned long> property(Window on, const char* name) {
    Atom type;
    int format;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> values;
    if (XGetWindowProperty(xDisplay(), on, XInternAtom(xDisplay(), name, False), 0, 64, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success && data) {
        for (unsigned long i = 0; i < count; ++i) values.push_back(reinterpret_cast<unsigned long*>(data)[i]);
    }
    if (data) XFree(data);
    return values;
}

bool hasValue(const std::vector<unsigned long>& values, unsigned long wanted) {
    for (unsigned long v : values)
        if (v == wanted) return true;
    return false;
}

void* window = nullptr;

bool windowManagerRunning() {
    return !property(DefaultRootWindow(xDisplay()), "_NET_SUPPORTING_WM_CHECK").empty();
}

bool frameAt(int32_t x, int32_t y) {
    platform::ScreenRect r;
    return platform::windowFrameRect(window, r) && r.left == x && r.top == y;
}

bool isAbove() {
    return hasValue(property(xidOf(window), "_NET_WM_STATE"),
                    XInternAtom(xDisplay(), "_NET_WM_STATE_ABOVE", False));
}

bool isActive() {
    return hasValue(property(DefaultRootWindow(xDisplay()), "_NET_ACTIVE_WINDOW"), xidOf(window));
}

bool isMaximized() { return gtk_window_is_maximized(GTK_WINDOW(window)); }

}  // namespace

TEST(LinuxWindowManager, FramesTopmostActivationAndRestoredRectangle) {
    if (access(kOpenbox, X_OK) != 0) GTEST_SKIP() << "openbox is not installed";
    useXSession();
    pid_t wm = -1;
    const char* argv[] = {kOpenbox, nullptr};
    ASSERT_EQ(posix_spawn(&wm, kOpenbox, nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    ASSERT_TRUE(pumpUntil(5000, windowManagerRunning));

    webview_t webview = webview_create(0, nullptr);
    ASSERT_NE(webview, nullptr);
    window = webview_get_window(webview);
    webview_set_size(webview, 420, 560, WEBVIEW_HINT_NONE);
    platform::watchWindowPlacement(window, nullptr, nullptr);
    pump(800);

    platform::moveWindowTo(window, 100, 50);
    ASSERT_TRUE(pumpUntil(2000, [] { return frameAt(100, 50); }));
    platform::ScreenRect before;
    ASSERT_TRUE(platform::windowFrameRect(window, before));
    EXPECT_GT(before.bottom - before.top, 560);  // the title bar is counted

    platform::setAlwaysOnTop(window, true);
    EXPECT_TRUE(pumpUntil(2000, isAbove));
    platform::setAlwaysOnTop(window, false);
    EXPECT_TRUE(pumpUntil(2000, [] { return !isAbove(); }));
    platform::forceForeground(window);
    EXPECT_TRUE(pumpUntil(2000, isActive));

    pump(400);  // the watcher has seen the restored rectangle
    platform::showMaximized(window);
    ASSERT_TRUE(pumpUntil(2000, isMaximized));
    pump(300);
    platform::ScreenRect normal;
    bool maximized = false;
    ASSERT_TRUE(platform::windowNormalPlacement(window, normal, maximized));
    EXPECT_TRUE(maximized);
    EXPECT_EQ(normal.left, 100);
    EXPECT_EQ(normal.top, 50);
    EXPECT_EQ(normal.bottom - normal.top, before.bottom - before.top);
    platform::restoreIfMaximized(window);
    EXPECT_TRUE(pumpUntil(2000, [] { return !isMaximized() && frameAt(100, 50); }));

    webview_destroy(webview);
    pump(200);
    kill(wm, SIGTERM);
    waitpid(wm, nullptr, 0);
}
