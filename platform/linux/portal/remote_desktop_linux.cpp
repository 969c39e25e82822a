// The remote desktop of the desktop portal, over GDBus. A thread of its own
// opens a private connection to the session bus, asks for a session with a
// keyboard, a pointer and one shared monitor (absolute motion is given
// against the monitor's stream), and then keeps the connection open: the
// desktop ends the session when it closes. Engine threads send on that
// connection, one event at a time (see notify).
//
// Keys go as keysyms: the compositor presses the key that types the keysym in
// the person's own keymap, which a client cannot read, and a recorded modifier
// key goes as its own keysym and is held like a key, so a recorded Shift+1
// plays as Shift held with the key of 1, the same "!" the person typed. The
// numeric pad's digits are the exception (see padKeyOf).
#include "platform/linux/portal/remote_desktop_linux.h"

#include <gio/gio.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

namespace platform::remote_desktop_portal {
namespace {

const char kPortalBus[] = "org.freedesktop.portal.Desktop";
const char kPortalPath[] = "/org/freedesktop/portal/desktop";
const char kRemoteDesktop[] = "org.freedesktop.portal.RemoteDesktop";
const char kScreenCast[] = "org.freedesktop.portal.ScreenCast";
const char kRequest[] = "org.freedesktop.portal.Request";
const uint32_t kKeyboardAndPointer = 1 | 2;
const uint32_t kMonitor = 1;
const uint32_t kPersistUntilRevoked = 2;
const char kTokenFile[] = "/remote-desktop-token";
const int kNotifyTimeoutMs = 1000;
const uint32_t kNumLock = 0xff7f, kPadZero = 0xffb0, kPadDecimal = 0xffae;

struct Stream {
    uint32_t node = 0;
    int32_t x = 0, y = 0, width = 0, height = 0;
};

// Written by the asking thread before permission turns Granted, read-only after.
GDBusConnection* bus = nullptr;
std::string session;
Stream stream;
GVariant* noOptions = nullptr;
std::atomic<InputPermission> current{InputPermission::NotAsked};
// As far as our own NumLock presses tell; off when the program starts.
std::atomic<bool> numLockOn{false};

// One request's answer, filled by its Response signal.
struct Answer {
    std::string path;  // the request object to listen on
    bool arrived = false;
    uint32_t response = 2;  // 0 granted, 1 cancelled by the person, 2 other
    GVariant* results = nullptr;
};

// The asking thread's own: the default context belongs to the page's loop.
GMainContext* context = nullptr;
bool busClosed = false;

void onResponse(GDBusConnection*, const char*, const char* path, const char*, const char*,
                GVariant* parameters, gpointer data) {
    Answer& answer = *static_cast<Answer*>(data);
    if (answer.arrived || answer.path != path) return;
    g_variant_get(parameters, "(u@a{sv})", &answer.response, &answer.results);
    answer.arrived = true;
}

// The session ends with the connection.
void onBusClosed(GDBusConnection*, gboolean, GError*, gpointer) {
    busClosed = true;
    InputPermission granted = InputPermission::Granted;
    if (current.compare_exchange_strong(granted, InputPermission::Refused))
        std::fprintf(stderr, "varnet: the session bus closed; input goes to X11 windows\n");
}

void onSessionClosed(GDBusConnection*, const char*, const char*, const char*, const char*, GVariant*,
                     gpointer) {
    current = InputPermission::Refused;
    std::fprintf(stderr, "varnet: the desktop ended the remote desktop session; input goes to X11 windows\n");
}

// The part of a request's object path that names us: our unique bus name
// without its ':' and with '_' for each '.'.
std::string senderPart() {
    std::string name = g_dbus_connection_get_unique_name(bus) + 1;
    std::replace(name.begin(), name.end(), '.', '_');
    return name;
}

// Calls a portal method that answers through a Request object and waits on
// this thread for that answer. The token makes the request's path known
// before the call, so the subscription is in place before any answer can come.
// The results (to unref) when granted, else nullptr.
GVariant* request(const char* interface, const char* method, GVariantBuilder* options) {
    static int requests = 0;
    const std::string token = "varnet" + std::to_string(++requests);
    g_variant_builder_add(options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    Answer answer;
    answer.path = std::string(kPortalPath) + "/request/" + senderPart() + "/" + token;
    const guint subscription = g_dbus_connection_signal_subscribe(
        bus, kPortalBus, kRequest, "Response", nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, onResponse, &answer,
        nullptr);
    GVariant* parameters = nullptr;
    if (std::string(method) == "CreateSession")
        parameters = g_variant_new("(a{sv})", options);
    else if (std::string(method) == "Start")
        parameters = g_variant_new("(osa{sv})", session.c_str(), "", options);
    else
        parameters = g_variant_new("(oa{sv})", session.c_str(), options);
    GError* error = nullptr;
    GVariant* handle = g_dbus_connection_call_sync(bus, kPortalBus, kPortalPath, interface, method, parameters,
                                                   G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                                                   &error);
    if (handle) {
        // A portal older than handle tokens answers on a path of its choosing.
        const char* path = nullptr;
        g_variant_get(handle, "(&o)", &path);
        answer.path = path;
        g_variant_unref(handle);
        while (!answer.arrived && !busClosed) g_main_context_iteration(context, TRUE);
    } else {
        std::fprintf(stderr, "varnet: the remote desktop portal refused %s: %s\n", method, error->message);
        g_error_free(error);
    }
    g_dbus_connection_signal_unsubscribe(bus, subscription);
    if (answer.arrived && answer.response == 0) return answer.results;
    if (answer.results) g_variant_unref(answer.results);
    return nullptr;
}

uint32_t portalVersion() {
    GVariant* reply = g_dbus_connection_call_sync(
        bus, kPortalBus, kPortalPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", kRemoteDesktop, "version"), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, -1,
        nullptr, nullptr);
    if (!reply) return 0;
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    const uint32_t version = g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32) ? g_variant_get_uint32(value) : 0;
    g_variant_unref(value);
    g_variant_unref(reply);
    return version;
}

std::string tokenPath() { return sideFileDir() + kTokenFile; }

bool createSession() {
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "session_handle_token", g_variant_new_string("varnet"));
    GVariant* results = request(kRemoteDesktop, "CreateSession", &options);
    if (!results) return false;
    // A string by the portal's documentation, an object path in some versions.
    GVariant* handle = g_variant_lookup_value(results, "session_handle", nullptr);
    if (handle && (g_variant_is_of_type(handle, G_VARIANT_TYPE_STRING) ||
                   g_variant_is_of_type(handle, G_VARIANT_TYPE_OBJECT_PATH)))
        session = g_variant_get_string(handle, nullptr);
    if (handle) g_variant_unref(handle);
    g_variant_unref(results);
    return !session.empty();
}

// From version 2 the desktop may remember the grant: the token of the last
// one lets the next start go without the dialog.
bool selectDevices(uint32_t version) {
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "types", g_variant_new_uint32(kKeyboardAndPointer));
    std::string token;
    if (version >= 2) {
        g_variant_builder_add(&options, "{sv}", "persist_mode", g_variant_new_uint32(kPersistUntilRevoked));
        if (readFile(tokenPath(), token) && !token.empty())
            g_variant_builder_add(&options, "{sv}", "restore_token", g_variant_new_string(token.c_str()));
    }
    GVariant* results = request(kRemoteDesktop, "SelectDevices", &options);
    if (results) g_variant_unref(results);
    return results != nullptr;
}

bool selectMonitor() {
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "types", g_variant_new_uint32(kMonitor));
    g_variant_builder_add(&options, "{sv}", "multiple", g_variant_new_boolean(FALSE));
    GVariant* results = request(kScreenCast, "SelectSources", &options);
    if (results) g_variant_unref(results);
    return results != nullptr;
}

void takeStream(GVariant* results) {
    GVariant* streams = g_variant_lookup_value(results, "streams", G_VARIANT_TYPE("a(ua{sv})"));
    if (!streams) return;
    if (g_variant_n_children(streams) > 0) {
        GVariant* properties = nullptr;
        g_variant_get_child(streams, 0, "(u@a{sv})", &stream.node, &properties);
        g_variant_lookup(properties, "position", "(ii)", &stream.x, &stream.y);
        g_variant_lookup(properties, "size", "(ii)", &stream.width, &stream.height);
        g_variant_unref(properties);
    }
    g_variant_unref(streams);
}

bool start() {
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    GVariant* results = request(kRemoteDesktop, "Start", &options);
    if (!results) return false;
    // Shared without "Allow remote interaction": no input may go through.
    uint32_t devices = 0;
    g_variant_lookup(results, "devices", "u", &devices);
    if ((devices & kKeyboardAndPointer) != kKeyboardAndPointer) {
        g_variant_unref(results);
        g_dbus_connection_call(bus, kPortalBus, session.c_str(), "org.freedesktop.portal.Session", "Close", nullptr,
                               nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
        return false;
    }
    takeStream(results);
    const char* token = nullptr;
    if (g_variant_lookup(results, "restore_token", "&s", &token)) {
        createDirectory(sideFileDir());
        replaceFileDurably(tokenPath(), token);
    }
    g_variant_unref(results);
    return true;
}

bool connectToBus() {
    char* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!address) return false;
    bus = g_dbus_connection_new_for_address_sync(
        address,
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    g_free(address);
    if (!bus) return false;
    // The process ends with the session; the connection must not end it first.
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    g_signal_connect(bus, "closed", G_CALLBACK(onBusClosed), nullptr);
    return true;
}

void askAndServe() {
    context = g_main_context_new();
    g_main_context_push_thread_default(context);
    const uint32_t version = connectToBus() ? portalVersion() : 0;
    if (version == 0) {
        current = InputPermission::NotAsked;
        return;
    }
    noOptions = g_variant_ref_sink(g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0));
    const bool started = createSession() && selectDevices(version) && selectMonitor() && start();
    if (!started) {
        current = InputPermission::Refused;
        std::fprintf(stderr, "varnet: no remote desktop session was granted; input goes to X11 windows\n");
        return;
    }
    g_dbus_connection_signal_subscribe(bus, kPortalBus, "org.freedesktop.portal.Session", "Closed",
                                       session.c_str(), nullptr, G_DBUS_SIGNAL_FLAGS_NONE, onSessionClosed,
                                       nullptr, nullptr);
    current = InputPermission::Granted;
    // Waits for the session's end; the connection stays open meanwhile.
    GMainLoop* loop = g_main_loop_new(context, FALSE);
    g_main_loop_run(loop);
}

// Each event waits for the portal's reply before the next goes: the portal
// handles calls on several threads at once, and a release sent on the heels
// of its press may otherwise reach the compositor first.
void notify(const char* method, GVariant* parameters) {
    GVariant* reply = g_dbus_connection_call_sync(bus, kPortalBus, kPortalPath, kRemoteDesktop, method, parameters,
                                                  nullptr, G_DBUS_CALL_FLAGS_NONE, kNotifyTimeoutMs, nullptr,
                                                  nullptr);
    if (reply) g_variant_unref(reply);
}

void sendKeysym(uint32_t keysym, bool down) {
    notify("NotifyKeyboardKeysym",
           g_variant_new("(o@a{sv}iu)", session.c_str(), noOptions, int32_t(keysym), uint32_t(down ? 1 : 0)));
}

// mutter reaches a keysym's second level with Shift, which on the numeric
// pad types the navigation key (KP_End for KP_1): the pad's digits go as the
// pad's keys, by their Linux input event codes, with NumLock on.
int32_t padKeyOf(uint32_t keysym) {
    static const int32_t kDigitKeys[10] = {82, 79, 80, 81, 75, 76, 77, 71, 72, 73};  // KP_0 .. KP_9
    if (keysym >= kPadZero && keysym <= kPadZero + 9) return kDigitKeys[keysym - kPadZero];
    return keysym == kPadDecimal ? 83 : 0;
}

}  // namespace

void ask() {
    static std::atomic<bool> asked{false};
    if (asked.exchange(true)) return;
    current = InputPermission::Asking;
    std::thread(askAndServe).detach();
}

// Acquires what the asking thread wrote before granting: the session and its stream.
InputPermission permission() { return current.load(std::memory_order_acquire); }

bool granted() { return permission() == InputPermission::Granted; }

void moveAbsolute(int32_t x, int32_t y) {
    if (stream.width <= 0 || stream.height <= 0) return;
    const double inX = std::clamp(x - stream.x, 0, stream.width - 1);
    const double inY = std::clamp(y - stream.y, 0, stream.height - 1);
    notify("NotifyPointerMotionAbsolute",
           g_variant_new("(o@a{sv}udd)", session.c_str(), noOptions, stream.node, inX, inY));
}

void moveNormalised(int32_t x, int32_t y) {
    moveAbsolute(stream.x + int32_t(int64_t(x) * stream.width / 65536),
                 stream.y + int32_t(int64_t(y) * stream.height / 65536));
}

void moveRelative(int32_t dx, int32_t dy) {
    notify("NotifyPointerMotion", g_variant_new("(o@a{sv}dd)", session.c_str(), noOptions, double(dx), double(dy)));
}

void button(uint32_t code, bool down) {
    notify("NotifyPointerButton",
           g_variant_new("(o@a{sv}iu)", session.c_str(), noOptions, int32_t(code), uint32_t(down ? 1 : 0)));
}

void wheel(bool horizontal, int32_t steps) {
    if (steps == 0) return;
    // The portal's vertical axis grows downwards; a turn away from the user is up.
    const uint32_t axis = horizontal ? 1 : 0;
    notify("NotifyPointerAxisDiscrete", g_variant_new("(o@a{sv}ui)", session.c_str(), noOptions, axis,
                                                      horizontal ? steps : -steps));
}

void key(uint32_t keysym, bool down) {
    if (keysym == kNumLock && down) numLockOn = !numLockOn;
    const int32_t padKey = padKeyOf(keysym);
    if (!padKey) return sendKeysym(keysym, down);
    // Pressed and released each between two taps of NumLock, unless a
    // recorded NumLock press left it on, as the path through kwin does.
    const bool tap = !numLockOn.load(std::memory_order_relaxed);
    if (tap) sendKeysym(kNumLock, true), sendKeysym(kNumLock, false);
    notify("NotifyKeyboardKeycode",
           g_variant_new("(o@a{sv}iu)", session.c_str(), noOptions, padKey, uint32_t(down ? 1 : 0)));
    if (tap) sendKeysym(kNumLock, true), sendKeysym(kNumLock, false);
}

void keyAtPlace(uint32_t evdevCode, bool down) {
    notify("NotifyKeyboardKeycode", g_variant_new("(o@a{sv}iu)", session.c_str(), noOptions, int32_t(evdevCode),
                                                  uint32_t(down ? 1 : 0)));
}

}  // namespace platform::remote_desktop_portal
