#include "tests/backend/x_session.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <stdlib.h>

#include "tests/e2e/harness.h"

namespace {

e2e::XServer server;
bool started = false;

// Lets go of the server before it ends, or GDK takes the lost connection
// for a fatal error and fails the process.
class XSessionEnd : public ::testing::Environment {
public:
    void TearDown() override {
        if (!started) return;
        pump(100);
        if (GdkDisplay* display = gdk_display_get_default()) gdk_display_close(display);
        e2e::stopXServer(server);
    }
};

const auto* registered = ::testing::AddGlobalTestEnvironment(new XSessionEnd);

}  // namespace

void useXSession() {
    if (started) return;
    started = true;
    server = e2e::startXServer();
    setenv("DISPLAY", server.display.c_str(), 1);
    setenv("GDK_BACKEND", "x11", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GTK_USE_PORTAL", "0", 1);
    gtk_init();
}

void pump(int milliseconds) {
    gint64 until = g_get_monotonic_time() + gint64(milliseconds) * 1000;
    while (g_get_monotonic_time() < until) {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        g_usleep(2000);
    }
}

bool pumpUntil(int milliseconds, bool (*condition)()) {
    gint64 until = g_get_monotonic_time() + gint64(milliseconds) * 1000;
    while (g_get_monotonic_time() < until) {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        if (condition()) return true;
        g_usleep(2000);
    }
    return condition();
}
