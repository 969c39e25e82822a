#include "tests/e2e/mutter_session.h"

#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "tests/e2e/harness.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

const char kMutter[] = "/usr/bin/mutter";
const char kDbusDaemon[] = "/usr/bin/dbus-daemon";
const char kPipewire[] = "/usr/bin/pipewire";
const char kGdbus[] = "/usr/bin/gdbus";
const char kPortal[] = "/usr/libexec/xdg-desktop-portal";
const char kPortalBackend[] = "/usr/libexec/xdg-desktop-portal-gnome";
const char kMutterRemoteDesktop[] = "org.gnome.Mutter.RemoteDesktop";

GDBusConnection* connectionOf(MutterSession& session) { return static_cast<GDBusConnection*>(session.connection); }

// Until the name has an owner on the session's bus (without starting it).
bool waitForName(const MutterSession& session, const char* name) {
    const pid_t pid = spawnProcess({kGdbus, "wait", "--session", "--timeout", "20", name}, session.env);
    return pid > 0 && waitForExit(pid, 25000) == 0;
}

GVariant* callMutter(MutterSession& session, const std::string& path, const char* interface, const char* method,
                     GVariant* parameters) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(connectionOf(session), kMutterRemoteDesktop, path.c_str(),
                                                  interface, method, parameters, nullptr, G_DBUS_CALL_FLAGS_NONE,
                                                  5000, nullptr, &error);
    if (!reply) {
        std::fprintf(stderr, "mutter_session: %s failed: %s\n", method, error->message);
        g_error_free(error);
    }
    return reply;
}

// mutter ends the session with the connection that made it: the test keeps
// its own for the suite's life.
bool startKeyboardSession(MutterSession& session, const std::string& busAddress) {
    session.connection = g_dbus_connection_new_for_address_sync(
        busAddress.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    if (!session.connection) return false;
    g_dbus_connection_set_exit_on_close(connectionOf(session), FALSE);
    GVariant* reply = callMutter(session, "/org/gnome/Mutter/RemoteDesktop", kMutterRemoteDesktop,
                                 "CreateSession", nullptr);
    if (!reply) return false;
    const char* path = nullptr;
    g_variant_get(reply, "(&o)", &path);
    session.keyboard = path;
    g_variant_unref(reply);
    reply = callMutter(session, session.keyboard, "org.gnome.Mutter.RemoteDesktop.Session", "Start", nullptr);
    if (reply) g_variant_unref(reply);
    return reply != nullptr;
}

}  // namespace

bool nudgePointer(MutterSession& session, double dx, double dy) {
    GVariant* reply = callMutter(session, session.keyboard, "org.gnome.Mutter.RemoteDesktop.Session",
                                 "NotifyPointerMotionRelative", g_variant_new("(dd)", dx, dy));
    if (reply) g_variant_unref(reply);
    return reply != nullptr;
}

namespace {

const uint32_t kReturn = 0xff0d, kTab = 0xff09, kSpace = 0x20, kAltLeft = 0xffe9, kLetterS = 0x73;

bool lineStartingWith(WindowLog& log, const std::string& prefix, size_t from) {
    std::unique_lock lock(log.lock);
    return log.grew.wait_for(lock, std::chrono::seconds(5), [&] {
        for (size_t i = from; i < log.lines.size(); ++i)
            if (log.lines[i].rfind(prefix, 0) == 0) return true;
        return false;
    });
}

// The dialog drops keys for its first few frames, and shows nothing one
// could wait for: the wait is ten motions of the pointer the compositor
// hands the window beside it, each in a frame of its own.
bool letTheDialogSettle(MutterSession& session) {
    for (int step = 0; step < 10; ++step) {
        const size_t from = session.log->size();
        if (!nudgePointer(session, step % 2 == 0 ? 1 : -1, 0) || !lineStartingWith(*session.log, "motion ", from))
            return false;
    }
    return true;
}

bool failed(std::string& failure, const char* why) {
    failure = why;
    return false;
}

}  // namespace

// Return picks the monitor, Tab and space turn on "Allow remote
// interaction", Alt+S shares.
bool allowInputOnDesktop(MutterSession& session, size_t before, std::string& failure) {
    if (!session.log->waitFor("focus out", before, 20000)) return failed(failure, "the desktop never asked");
    const size_t asked = session.log->size();
    if (!letTheDialogSettle(session)) return failed(failure, "the pointer's motion stopped reaching the window");
    if (!typeOnDesktop(session, {{kReturn, true}, {kReturn, false}, {kTab, true}, {kTab, false}, {kSpace, true},
                                 {kSpace, false}, {kAltLeft, true}, {kLetterS, true}, {kLetterS, false},
                                 {kAltLeft, false}}))
        return failed(failure, "could not type on the desktop");
    if (!session.log->waitFor("focus in", asked, 10000)) return failed(failure, "the desktop's dialog did not close");
    return true;
}

bool mutterInstalled() {
    for (const char* program : {kMutter, kDbusDaemon, kPipewire, kGdbus, kPortal, kPortalBackend})
        if (access(program, X_OK) != 0) return false;
    return true;
}

bool startMutter(MutterSession& session, const std::string& root, const std::string& runtime,
                 const std::string& loggerBinary, std::string& failure) {
    fs::create_directories(runtime);
    chmod(runtime.c_str(), 0700);
    const std::string busPath = root + "/bus";
    const std::string busAddress = "unix:path=" + busPath;
    session.env = {"XDG_RUNTIME_DIR=" + runtime, "WAYLAND_DISPLAY=" + std::string(kMutterSocket),
                   "DBUS_SESSION_BUS_ADDRESS=" + busAddress, "XDG_CURRENT_DESKTOP=GNOME"};
    // What the bus starts on demand (the portal's permission store) lives in the session too.
    std::vector<std::string> env = session.env;
    env.insert(env.end(), {"HOME=" + root, "XDG_CONFIG_HOME=" + root + "/.config",
                           "XDG_DATA_HOME=" + root + "/.local/share", "NO_AT_BRIDGE=1", "GTK_A11Y=none"});
    session.bus = spawnProcess({kDbusDaemon, "--session", "--nofork", "--address=" + busAddress}, env);
    if (session.bus < 0 || !waitForFile(busPath, 10000)) {
        failure = "the session bus did not start";
        return false;
    }
    session.pipewire = spawnProcess({kPipewire}, env);
    if (session.pipewire < 0 || !waitForFile(runtime + "/pipewire-0", 10000)) {
        failure = "PipeWire did not start";
        return false;
    }
    session.mutter = spawnProcess({kMutter, "--headless", "--wayland", "--no-x11", "--virtual-monitor", "1280x800",
                                   "--wayland-display", kMutterSocket},
                                  env);
    if (session.mutter < 0 || !waitForFile(runtime + "/" + kMutterSocket, 20000) ||
        !waitForName(session, kMutterRemoteDesktop)) {
        failure = "mutter did not start";
        return false;
    }
    session.portalBackend = spawnProcess({kPortalBackend}, env);
    if (session.portalBackend < 0 || !waitForName(session, "org.freedesktop.impl.portal.desktop.gnome")) {
        failure = "the portal's GNOME backend did not start";
        return false;
    }
    session.portal = spawnProcess({kPortal}, env);
    if (session.portal < 0 || !waitForName(session, "org.freedesktop.portal.Desktop")) {
        failure = "the desktop portal did not start";
        return false;
    }
    session.log = startLoggingWindow(loggerBinary, session.env, session.logger, failure);
    if (!failure.empty()) return false;
    // The seat has a keyboard and a pointer once a session sends its first event.
    if (!startKeyboardSession(session, busAddress) || !typeOnDesktop(session, {{0xffe1, true}, {0xffe1, false}}) ||
        !nudgePointer(session, 1, 0) || !nudgePointer(session, 1, 0)) {
        failure = "no remote desktop session of the test's own on mutter";
        return false;
    }
    if (!session.log->waitFor("focus in", 0, 10000)) failure = "the logging window never had the keyboard's focus";
    return failure.empty();
}

bool typeOnDesktop(MutterSession& session, const std::vector<std::pair<uint32_t, bool>>& keys) {
    for (const auto& [keysym, down] : keys) {
        GVariant* reply = callMutter(session, session.keyboard, "org.gnome.Mutter.RemoteDesktop.Session",
                                     "NotifyKeyboardKeysym", g_variant_new("(ub)", keysym, down));
        if (!reply) return false;
        g_variant_unref(reply);
    }
    return true;
}

void stopMutter(MutterSession& session) {
    stopLoggingWindow(session.log, session.logger);
    if (session.connection) {
        g_dbus_connection_close_sync(connectionOf(session), nullptr, nullptr);
        g_object_unref(connectionOf(session));
        session.connection = nullptr;
    }
    for (pid_t* pid : {&session.portal, &session.portalBackend, &session.mutter, &session.pipewire, &session.bus})
        if (*pid > 0) terminateAndWait(*pid, 5000), *pid = -1;
}

}  // namespace e2e
