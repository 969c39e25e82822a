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

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bridge/pipe_server.h"
#include "platform/linux/kde/fake_input_linux.h"
#include "platform/linux/kde/global_shortcuts_linux.h"

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
std::vector<std::string> registered;  // our actions, by id, removed at exit

// An action's id: its message's command ("toggleSpammer").
std::string actionOf(const DesktopHotkey& hotkey) {
    const std::string message = hotkey.message;
    return message.substr(0, message.find('|'));
}

// What the service calls an action: component and action, each by its id
// and by the name its settings show.
GVariant* actionId(const DesktopHotkey& hotkey) {
    const std::string action = actionOf(hotkey);
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

// Runs the loop that dispatches the presses; they queue in the context
// until it runs.
void startListening() {
    listener.loop = g_main_loop_new(listener.context, FALSE);
    listener.thread = std::thread([] {
        g_main_context_push_thread_default(listener.context);
        g_main_loop_run(listener.loop);
        g_main_context_pop_thread_default(listener.context);
    });
}

// Ends the loop from within, so that a loop that has not begun to run yet
// still ends: a quit from outside before it runs would be forgotten.
void stopListening() {
    GSource* idle = g_idle_source_new();
    g_source_set_callback(
        idle,
        [](gpointer loop) {
            g_main_loop_quit(static_cast<GMainLoop*>(loop));
            return gboolean(G_SOURCE_REMOVE);
        },
        listener.loop, nullptr);
    g_source_attach(idle, listener.context);
    g_source_unref(idle);
}

// The component's object exists once an action of it was registered. The
// callback runs in the context that is the thread default where it is
// subscribed: ours, owned by no thread until the listener starts.
bool subscribe() {
    GVariant* reply = call("getComponent", g_variant_new("(s)", kComponent), "(o)");
    if (!reply) return false;
    const gchar* path = nullptr;
    g_variant_get(reply, "(&o)", &path);
    listener.context = g_main_context_new();
    g_main_context_push_thread_default(listener.context);
    listener.subscription = g_dbus_connection_signal_subscribe(
        listener.bus, kService, kComponentInterface, "globalShortcutPressed", path, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, onShortcutPressed, nullptr, nullptr);
    g_main_context_pop_thread_default(listener.context);
    g_variant_unref(reply);
    startListening();
    return true;
}

bool connectToBus() {
    GError* error = nullptr;
    listener.bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!listener.bus) {
        std::fprintf(stderr, "varnet: no session bus for KDE's shortcut service: %s\n", error->message);
        g_error_free(error);
        return false;
    }
    return true;
}

bool contains(const DesktopHotkeys& hotkeys, const DesktopHotkey& hotkey) {
    for (size_t i = 0; i < hotkeys.count; ++i)
        if (hotkeys.bindings[i] == hotkey) return true;
    return false;
}

bool registerAction(const DesktopHotkey& hotkey) {
    if (!callWithoutReply("doRegister", g_variant_new("(@as)", actionId(hotkey)))) return false;
    const std::string action = actionOf(hotkey);
    if (std::find(registered.begin(), registered.end(), action) == registered.end()) registered.push_back(action);
    return true;
}

bool bindable(const DesktopHotkey& hotkey) { return qtKeyCodeOf(hotkey.code, hotkey.modifiers) != 0; }

// Among one program's actions KDE gives no key that another action holds, so
// every action that changes loses its key before any gets its new one: two
// hotkeys may swap keys, and keys an earlier run left behind when it crashed
// are out of the way. False when the service failed; it said why.
bool apply(const DesktopHotkeys& wanted) {
    for (size_t i = 0; i < applied.count; ++i) {
        const DesktopHotkey& old = applied.bindings[i];
        if (!contains(wanted, old) && bindable(old) && !setKey(old, 0)) return false;
    }
    for (size_t i = 0; i < wanted.count; ++i) {
        const DesktopHotkey& hotkey = wanted.bindings[i];
        if (contains(applied, hotkey) || !bindable(hotkey)) continue;
        if (!registerAction(hotkey) || !setKey(hotkey, 0)) return false;
    }
    for (size_t i = 0; i < wanted.count; ++i) {
        const DesktopHotkey& hotkey = wanted.bindings[i];
        if (contains(applied, hotkey)) continue;
        if (!bindable(hotkey)) {
            std::fprintf(stderr, "varnet: KDE binds no mouse button, numeric-pad key or lone modifier: the "
                                 "hotkey \"%s\" reaches X11 windows only\n", hotkey.name);
            continue;
        }
        if (!setKey(hotkey, qtKeyCodeOf(hotkey.code, hotkey.modifiers))) return false;
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
    // Removed with their keys, our actions leave nothing held behind; the
    // next run registers them afresh.
    for (const std::string& action : registered) {
        GVariant* reply = call("unregister", g_variant_new("(ss)", kComponent, action.c_str()), "(b)");
        if (!reply) break;
        g_variant_unref(reply);
    }
    registered.clear();
    applied = DesktopHotkeys{};
    if (listener.subscription) {
        g_dbus_connection_signal_unsubscribe(listener.bus, listener.subscription);
        stopListening();
        listener.thread.join();
        g_main_loop_unref(listener.loop);
        g_main_context_unref(listener.context);
    }
    g_object_unref(listener.bus);
    listener = Listener{};
}

}  // namespace platform::kde_shortcuts
