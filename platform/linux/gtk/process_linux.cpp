// Process set-up on Linux: GTK on X11, the termination signals routed into the
// UI loop, the error box and the web view's lock-down.
#include <X11/Xlib.h>
#include <gdk/x11/gdkx.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <malloc.h>
#include <sys/prctl.h>

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "bridge/webview_api.h"
#include "platform/linux/gtk/web_data_linux.h"
#include "platform/platform.h"

namespace platform {
namespace {

std::atomic<bool> terminationPending{false};
void (*terminationCallback)(void*) = nullptr;
void* terminationContext = nullptr;

// Until the UI loop listens, a SIGTERM is only remembered, never fatal: a
// logout during start-up must still end in an orderly shutdown.
void rememberTermination(int) { terminationPending = true; }

gboolean deliverTermination(gpointer) {
    if (terminationCallback) terminationCallback(terminationContext);
    return G_SOURCE_CONTINUE;
}

gboolean deliverPendingTermination(gpointer) {
    deliverTermination(nullptr);
    return G_SOURCE_REMOVE;
}

gboolean refuseContextMenu(gpointer, gpointer, gpointer, gpointer) { return TRUE; }

// The menu entry's name for the program: its icon's name and the window
// class its StartupWMClass names, so a taskbar ties the windows to it.
constexpr char kApplicationId[] = "org.varnet.Varnet";
constexpr char kRunningIcon[] = "org.varnet.Varnet-running";

// Where the icons are when the program runs from its build folder; an
// installed program finds them in the icon theme.
void identifyWindows() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return;
    if (GDK_IS_X11_DISPLAY(display)) gdk_x11_display_set_program_class(display, kApplicationId);
    const std::string icons = executableDir() + "/icons";
    gtk_icon_theme_add_search_path(gtk_icon_theme_get_for_display(display), icons.c_str());
    gtk_window_set_default_icon_name(kApplicationId);
}

void onErrorBoxResponse(GtkDialog* dialog, int, gpointer loop) {
    gtk_window_destroy(GTK_WINDOW(dialog));
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
}

}  // namespace

void prepareProcess() {
    // GLib keeps the homes it reads first, so this comes before any GLib call.
    web_data::useUsableHomes();
    // A panel is this program started again through /proc/self/exe, which
    // the system would list as "exe"; every process of it is "varnet". The
    // name is also the first half of the windows' class.
    prctl(PR_SET_NAME, "varnet", 0, 0, 0);
    g_set_prgname("varnet");
    // The engines, the capture thread and the UI all talk to the X server from
    // their own threads; Xlib must know before its first call.
    XInitThreads();
    // GTK 4 must give us X11 windows even on a Wayland desktop (through XWayland).
    setenv("GDK_BACKEND", "x11", 0);
    // Where GL is drawn in software (virtual machines, remote desktops) the
    // web engine's compositor made the first paint of the page take seconds
    // (6.9 s against 1.6 s measured on such a display); a page this small
    // gains nothing from it elsewhere. A value the user set is kept.
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
    // GTK's GL renderer cost the main process 54 MB of its 98 MB at rest
    // (PSS, GL drawn in software), for a window that holds one web view:
    // cairo draws it as well. A renderer the user chose is kept.
    setenv("GSK_RENDERER", "cairo", 0);
    // A buffer of a megabyte or more gets a mapping of its own, given back
    // to the system when freed. By default the C library raises that bar to
    // the largest buffer freed so far, and a million events' save text and
    // side file text, freed on the saving and UI threads, then stayed in
    // their heaps (32 MB at rest measured).
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction remember {};
    remember.sa_handler = rememberTermination;
    sigaction(SIGTERM, &remember, nullptr);
    sigaction(SIGINT, &remember, nullptr);
}

void onTerminationRequest(void (*onSignal)(void* context), void* context) {
    terminationCallback = onSignal;
    terminationContext = context;
    g_unix_signal_add(SIGTERM, deliverTermination, nullptr);
    g_unix_signal_add(SIGINT, deliverTermination, nullptr);
    if (terminationPending) g_idle_add(deliverPendingTermination, nullptr);
}

// GTK 4 counts itself initialised after a first attempt that found no
// display, so the display itself is asked.
static bool displayReachable() { return gtk_init_check() && gdk_display_get_default(); }

void showErrorBox(const std::string& title, const std::string& text) {
    // Without a display to show it on, the box becomes a line on standard error.
    if (!displayReachable()) {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
        return;
    }
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                               GTK_BUTTONS_OK, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_signal_connect(dialog, "response", G_CALLBACK(onErrorBoxResponse), loop);
    gtk_window_present(GTK_WINDOW(dialog));
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
}

// The library is linked at build time; what can be missing is the X display
// its windows need, which a Wayland session provides only through XWayland.
bool loadWebviewLibrary(std::string& error) {
    if (displayReachable()) {
        identifyWindows();
        return true;
    }
    if (isWaylandSession()) {
        error = "This Wayland session has no XWayland (DISPLAY is not set or cannot be reached), "
                "and Varnet's windows need it: they place themselves, stay on top and dock, which "
                "a native Wayland window may not. Switch XWayland on in the compositor (for sway, "
                "remove \"xwayland disable\" from its configuration) and start Varnet again.";
    } else {
        error = "Varnet cannot reach an X display (DISPLAY is not set or cannot be reached), so it "
                "cannot show its window.";
    }
    return false;
}

std::string webViewEngineMissingText() {
    return "The web view could not be created, so Varnet cannot show its window.\n\n"
           "Varnet needs WebKitGTK 6.0 with GTK 4 (on Debian and Ubuntu the package "
           "libwebkitgtk-6.0-4) and a graphical session it can reach through DISPLAY.";
}

// The window's icon, which a taskbar shows also while it is minimised.
void showRunningInTaskbar(void* window, bool running) {
    if (window && GTK_IS_WINDOW(window))
        gtk_window_set_icon_name(GTK_WINDOW(window), running ? kRunningIcon : kApplicationId);
}

void lockDownWebView(void* webview) {
    // On WebKitGTK the browser controller is the WebKitWebView itself. It has
    // no zoom gestures or browser shortcuts of its own to switch off; the
    // context menu is the one browser feature a user could reach.
    void* view = webview_get_native_handle(webview, WEBVIEW_NATIVE_HANDLE_KIND_BROWSER_CONTROLLER);
    if (!view) return;
    g_signal_connect(view, "context-menu", G_CALLBACK(refuseContextMenu), nullptr);
}

}  // namespace platform
