// Our four hotkeys as actions of the component "varnet" in KDE's shortcut
// service (org.kde.kglobalaccel, hosted by kwin). Changes are made with
// blocking calls from the capture thread; the presses arrive as signals of
// the component's object.
//
// The signals are waited for on a thread of their own that runs a GLib main
// loop on a private context: it sleeps in poll until GDBus's worker hands it
// a signal, costing nothing while idle. The capture thread's own poll cannot
// take this over, as GDBus reads the connection on its worker thread and
// offers no descriptor to wait on.
#include <gio/gio.h>

#include <cstdio>
#include <string>
#include <thread>

#include "bridge/pipe_server.h"
#include "platform/linux/kde_fake_input_linux.h"
#include "platform/linux/kde_shortcuts_linux.h"

namespace platform::kde_shortcuts {
namespace {

const char kService[] = "org.kde.kglobalaccel";
const char kPath[] = "/kglobalaccel";
const char kInterface[] = "org.kde.KGlobalAccel";
const char kComponentInterface[] = "org.kde.kglobalaccel.Component";
const char kComponent[] = "varnet";
const char kComponentName[] = "Varnet";

// setShortcut's flags: SetPresent makes the service grab the keys for a
// running program; NoAutoloading makes it take the keys we send rather than
// those its settings remember, as the page is where our hotkeys are chosen.
const guint32 kSetPresent = 2, kNoAutoloading = 4;
const int kCallTimeoutMs = 1000;

struct Listener {
    GDBusConnection* bus = nullptr;
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    guint subscription = 0;
    std::thread thread;
};

Listener listener;
DesktopHotkeys applied;

// What the service calls an action: component and action, each by its id
// and by the name its settings show.
GVariant* actionId(const DesktopHotkey& hotkey) {
    const std::string message = hotkey.message;
    const std::string action = message.substr(0, message.find('|'));
    const gchar* fields[] = {kComponent, action.c_str(), kComponentName, hotkey.name};
    return g_variant_new_strv(fields, 4);
}

// A blocking call of the service; its reply, or nullptr after saying why.
GVariant* call(const char* method, GVariant* arguments, const char* replyType) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(listener.bus, kService, kPath, kInterface, method, arguments,
                                                  replyType ? G_VARIANT_TYPE(replyType) : nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &error);
    if (!reply) {
        std::fprintf(stderr, "varnet: KDE's shortcut service refused %s: %s\n", method, error->message);
        g_error_free(error);
    }
    return reply;
}

bool callWithoutReply(const char* method, GVariant* arguments) {
    GVariant* reply = call(method, arguments, nullptr);
    if (reply) g_variant_unref(reply);
    return reply != nullptr;
}

// Sets the action's keys (none for key 0); false when the service failed.
bool setKey(const DesktopHotkey& hotkey, int32_t key) {
    GVariantBuilder keys;
    g_variant_builder_init(&keys, G_VARIANT_TYPE("ai"));
    if (key != 0) g_variant_builder_add(&keys, "i", key);
    GVariant* reply = call("setShortcut",
                           g_variant_new("(@asaiu)", actionId(hotkey), &keys, kSetPresent | kNoAutoloading), "(ai)");
    if (!reply) return false;
    GVariant* given = g_variant_get_child_value(reply, 0);
    gsize count = 0;
    const gint32* taken = static_cast<const gint32*>(g_variant_get_fixed_array(given, &count, sizeof(gint32)));
    if (key != 0 && (count == 0 || taken[0] != key))
        std::fprintf(stderr, "varnet: KDE did not give the hotkey \"%s\" its key; another shortcut may hold it\n",
                     hotkey.name);
    g_variant_unref(given);
    g_variant_unref(reply);
    return true;
}

// Carries out the hotkey as its message through the command pipe would.
void onShortcutPressed(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                       GVariant* parameters, gpointer) {
    const gchar *component = nullptr, *action = nullptr;
    gint64 timestamp = 0;
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssx)"))) return;
    g_variant_get(parameters, "(&s&sx)", &component, &action, &timestamp);
    const char* message = desktopHotkeyMessageOf(action);
    if (message && std::string(component) == kComponent) dispatchPanelCommand(message);
}

// The component's object exists once an action of it was registered.
bool subscribe() {
    GVariant* reply = call("getComponent", g_variant_new("(s)", kComponent), "(o)");
    if (!reply) return false;
    const gchar* path = nullptr;
    g_variant_get(reply, "(&o)", &path);
    // The callback runs in the context that is the thread default here.
    g_main_context_push_thread_default(listener.context);
    listener.subscription = g_dbus_connection_signal_subscribe(
        listener.bus, kService, kComponentInterface, "globalShortcutPressed", path, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, onShortcutPressed, nullptr, nullptr);
    g_main_context_pop_thread_default(listener.context);
    g_variant_unref(reply);
    return true;
}

void startListening() {
    listener.context = g_main_context_new();
    listener.loop = g_main_loop_new(listener.context, FALSE);
    listener.thread = std::thread([] {
        g_main_context_push_thread_default(listener.context);
        g_main_loop_run(listener.loop);
        g_main_context_pop_thread_default(listener.context);
    });
}

bool connectToBus() {
    GError* error = nullptr;
    listener.bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!listener.bus) {
        std::fprintf(stderr, "varnet: no session bus for KDE's shortcut service: %s\n", error->message);
        g_error_free(error);
        return false;
    }
    startListening();
    return true;
}

bool contains(const DesktopHotkeys& hotkeys, const DesktopHotkey& hotkey) {
    for (size_t i = 0; i < hotkeys.count; ++i)
        if (hotkeys.bindings[i] == hotkey) return true;
    return false;
}

// Takes the keys from the actions that lose or change theirs before any
// action gets a key, so that two hotkeys may swap keys. False when the
// service failed; it said why.
bool apply(const DesktopHotkeys& wanted) {
    for (size_t i = 0; i < applied.count; ++i) {
        const DesktopHotkey& old = applied.bindings[i];
        if (!contains(wanted, old) && qtKeyCodeOf(old.code, old.modifiers) != 0 && !setKey(old, 0)) return false;
    }
    for (size_t i = 0; i < wanted.count; ++i) {
        const DesktopHotkey& hotkey = wanted.bindings[i];
        if (contains(applied, hotkey)) continue;
        const int32_t key = qtKeyCodeOf(hotkey.code, hotkey.modifiers);
        if (key == 0) {
            std::fprintf(stderr, "varnet: KDE binds no mouse button or lone modifier: the hotkey \"%s\" "
                                 "reaches X11 windows only\n", hotkey.name);
            continue;
        }
        if (!callWithoutReply("doRegister", g_variant_new("(@as)", actionId(hotkey))) || !setKey(hotkey, key))
            return false;
        if (listener.subscription == 0 && !subscribe()) return false;
    }
    return true;
}

}  // namespace

void follow(const DesktopHotkeys& wanted) {
    if (wanted == applied || !kde_fake_input::bound()) return;
    // A bus or service that failed is not tried again until the hotkeys change.
    if (listener.bus || connectToBus()) apply(wanted);
    applied = wanted;
}

void release() {
    if (!listener.bus) return;
    for (size_t i = 0; i < applied.count; ++i) {
        const DesktopHotkey& hotkey = applied.bindings[i];
        if (qtKeyCodeOf(hotkey.code, hotkey.modifiers) != 0 &&
            !callWithoutReply("setInactive", g_variant_new("(@as)", actionId(hotkey))))
            break;
    }
    applied = DesktopHotkeys{};
    if (listener.subscription) g_dbus_connection_signal_unsubscribe(listener.bus, listener.subscription);
    g_main_loop_quit(listener.loop);
    listener.thread.join();
    g_main_loop_unref(listener.loop);
    g_main_context_unref(listener.context);
    g_object_unref(listener.bus);
    listener = Listener{};
}

}  // namespace platform::kde_shortcuts
