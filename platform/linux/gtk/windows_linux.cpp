// Window placement on GTK 4 under X11. GTK 4 has no call to move a window or
// to read its position, so both go through the window's X11 id; the outer
// rectangle is the X window less GTK's invisible shadow margin
// (_GTK_FRAME_EXTENTS) plus the window manager's frame (_NET_FRAME_EXTENTS).
// Whatever needs a window manager (topmost, activation) asks it through the
// EWMH messages and does nothing when none is running.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/x11/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace platform {
namespace {

struct XTarget {
    GdkDisplay* gdk = nullptr;
    Display* display = nullptr;
    Window window = 0;
};

bool xTarget(void* window, XTarget& target) {
    if (!window || !GTK_IS_WINDOW(window)) return false;
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window));
    if (!surface || !GDK_IS_X11_SURFACE(surface)) return false;
    target.gdk = gdk_surface_get_display(surface);
    target.display = gdk_x11_display_get_xdisplay(target.gdk);
    target.window = gdk_x11_surface_get_xid(surface);
    return target.display && target.window;
}

// Up to four CARDINALs of a window property (left, right, top, bottom).
bool readExtents(const XTarget& t, const char* name, long extents[4]) {
    Atom property = XInternAtom(t.display, name, False);
    Atom type;
    int format;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool ok = XGetWindowProperty(t.display, t.window, property, 0, 4, False, XA_CARDINAL, &type,
                                 &format, &count, &after, &data) == Success &&
              data && format == 32 && count == 4;
    if (ok) {
        for (int i = 0; i < 4; ++i) extents[i] = reinterpret_cast<long*>(data)[i];
    }
    if (data) XFree(data);
    return ok;
}

// Offsets from the X window's rectangle to the outer one: negative where the
// window manager's frame extends it, positive where GTK's shadow shrinks it.
struct Margins {
    long left = 0, right = 0, top = 0, bottom = 0;
};

Margins outerMargins(const XTarget& t) {
    Margins m;
    long gtk[4] = {0, 0, 0, 0}, wm[4] = {0, 0, 0, 0};
    readExtents(t, "_GTK_FRAME_EXTENTS", gtk);
    readExtents(t, "_NET_FRAME_EXTENTS", wm);
    m.left = gtk[0] - wm[0];
    m.right = gtk[1] - wm[1];
    m.top = gtk[2] - wm[2];
    m.bottom = gtk[3] - wm[3];
    return m;
}

bool frameRectOf(const XTarget& t, ScreenRect& rect) {
    gdk_x11_display_error_trap_push(t.gdk);
    XWindowAttributes attributes;
    int rootX = 0, rootY = 0;
    Window child;
    bool ok = XGetWindowAttributes(t.display, t.window, &attributes) &&
              XTranslateCoordinates(t.display, t.window, attributes.root, 0, 0, &rootX, &rootY,
                                    &child);
    Margins m;
    if (ok) m = outerMargins(t);
    ok = gdk_x11_display_error_trap_pop(t.gdk) == 0 && ok;
    if (!ok) return false;
    rect.left = int32_t(rootX + m.left);
    rect.top = int32_t(rootY + m.top);
    rect.right = int32_t(rootX + attributes.width - m.right);
    rect.bottom = int32_t(rootY + attributes.height - m.bottom);
    return true;
}

bool windowManagerSupports(const XTarget& t, const char* name) {
    Atom supported = XInternAtom(t.display, "_NET_SUPPORTED", False);
    Atom wanted = XInternAtom(t.display, name, False);
    Atom type;
    int format;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(t.display, DefaultRootWindow(t.display), supported, 0, 4096, False,
                           XA_ATOM, &type, &format, &count, &after, &data) == Success && data) {
        Atom* atoms = reinterpret_cast<Atom*>(data);
        for (unsigned long i = 0; i < count && !found; ++i) found = atoms[i] == wanted;
    }
    if (data) XFree(data);
    return found;
}

void sendToWindowManager(const XTarget& t, const char* message, long a0, long a1, long a2) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = t.window;
    event.xclient.message_type = XInternAtom(t.display, message, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = a0;
    event.xclient.data.l[1] = a1;
    event.xclient.data.l[2] = a2;
    event.xclient.data.l[3] = 1;  // from a normal application
    XSendEvent(t.display, DefaultRootWindow(t.display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(t.display);
}

ScreenRect toScreenRect(const GdkRectangle& r) {
    return ScreenRect{r.x, r.y, r.x + r.width, r.y + r.height};
}

GdkMonitor* monitorAt(GdkDisplay* display, int32_t x, int32_t y) {
    GListModel* monitors = gdk_display_get_monitors(display);
    for (guint i = 0; i < g_list_model_get_n_items(monitors); ++i) {
        GdkMonitor* monitor = GDK_MONITOR(g_list_model_get_item(monitors, i));
        GdkRectangle geometry;
        gdk_monitor_get_geometry(monitor, &geometry);
        g_object_unref(monitor);  // the display keeps its own reference
        if (x >= geometry.x && y >= geometry.y && x < geometry.x + geometry.width &&
            y < geometry.y + geometry.height)
            return monitor;
    }
    return nullptr;
}

GdkMonitor* firstMonitor(GdkDisplay* display) {
    GListModel* monitors = gdk_display_get_monitors(display);
    if (g_list_model_get_n_items(monitors) == 0) return nullptr;
    GdkMonitor* monitor = GDK_MONITOR(g_list_model_get_item(monitors, 0));
    g_object_unref(monitor);
    return monitor;
}

ScreenRect workAreaOf(GdkMonitor* monitor) {
    GdkRectangle area;
    if (GDK_IS_X11_MONITOR(monitor)) {
        gdk_x11_monitor_get_workarea(monitor, &area);
    } else {
        gdk_monitor_get_geometry(monitor, &area);
    }
    return toScreenRect(area);
}

ScreenRect wholeScreen(GdkDisplay* display) {
    if (!display || !GDK_IS_X11_DISPLAY(display)) return {};
    Display* x = gdk_x11_display_get_xdisplay(display);
    return ScreenRect{0, 0, DisplayWidth(x, DefaultScreen(x)), DisplayHeight(x, DefaultScreen(x))};
}

// What the placement watcher knows about one window.
struct PlacementWatch {
    GtkWindow* window = nullptr;
    void (*onSettled)(void*) = nullptr;
    void (*onDestroyed)(void*) = nullptr;
    guint timer = 0;
    bool haveLast = false, changed = false, gone = false;
    ScreenRect last;
    bool lastMaximized = false;
    gint64 stillSince = 0;
    bool settledIn = false;  // the window has come to rest once since it was mapped
    bool haveNormal = false;
    ScreenRect normal;  // the last rectangle seen while neither maximized nor minimized
};

std::vector<PlacementWatch*>& watches() {
    static std::vector<PlacementWatch*> all;
    return all;
}

PlacementWatch* watchOf(void* window) {
    for (PlacementWatch* w : watches())
        if (w->window == window && !w->gone) return w;
    return nullptr;
}

bool isMinimized(GtkWindow* window) {
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window));
    return surface && GDK_IS_TOPLEVEL(surface) &&
           (gdk_toplevel_get_state(GDK_TOPLEVEL(surface)) & GDK_TOPLEVEL_STATE_MINIMIZED);
}

bool sameRect(const ScreenRect& a, const ScreenRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A move or resize has ended when the rectangle has stayed the same this long.
// Changes before the window first comes to rest are the window manager
// settling it in, not the user moving it.
constexpr gint64 kStillMicros = 300000;

// Looks every 100 ms while the window moves or settles and stops once it is
// at rest; X's notices of a change to the window start it again.
gboolean checkPlacement(gpointer data) {
    PlacementWatch* w = static_cast<PlacementWatch*>(data);
    XTarget t;
    ScreenRect rect;
    if (!gtk_widget_get_mapped(GTK_WIDGET(w->window)) || !xTarget(w->window, t) ||
        !frameRectOf(t, rect)) {
        w->timer = 0;  // mapping it is a notice too
        return G_SOURCE_REMOVE;
    }
    const gint64 now = g_get_monotonic_time();
    const bool maximized = gtk_window_is_maximized(w->window);
    if (!maximized && !isMinimized(w->window)) {
        w->normal = rect;
        w->haveNormal = true;
    }
    if (!w->haveLast || !sameRect(rect, w->last) || maximized != w->lastMaximized) {
        w->changed = w->settledIn;
        w->haveLast = true;
        w->last = rect;
        w->lastMaximized = maximized;
        w->stillSince = now;
    } else if (!w->settledIn && now - w->stillSince >= kStillMicros) {
        w->settledIn = true;
    } else if (w->changed && now - w->stillSince >= kStillMicros) {
        w->changed = false;
        if (w->onSettled) w->onSettled(w->window);
    } else if (w->settledIn && !w->changed && now - w->stillSince >= kStillMicros) {
        w->timer = 0;
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

void lookAgain(PlacementWatch* w) {
    if (!w->gone && !w->timer) w->timer = g_timeout_add(100, checkPlacement, w);
}

// A move, resize, map or change of state (maximized, minimized, the frame's
// extents) of a watched window: a window manager tells the client of a move
// of its frame with a synthetic ConfigureNotify.
gboolean onXEvent(GdkX11Display*, gpointer native, gpointer) {
    const XEvent* event = static_cast<const XEvent*>(native);
    if (event->type != ConfigureNotify && event->type != PropertyNotify && event->type != MapNotify &&
        event->type != ReparentNotify)
        return FALSE;
    for (PlacementWatch* w : watches()) {
        XTarget t;
        if (!w->gone && xTarget(w->window, t) && t.window == event->xany.window) lookAgain(w);
    }
    return FALSE;
}

void listenForXEvents(GtkWindow* window) {
    static bool listening = false;
    GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
    if (listening || !GDK_IS_X11_DISPLAY(display)) return;
    g_signal_connect(display, "xevent", G_CALLBACK(onXEvent), nullptr);
    listening = true;
}

void onWindowGoing(GtkWidget* widget, gpointer data) {
    PlacementWatch* w = static_cast<PlacementWatch*>(data);
    if (w->gone) return;
    if (w->onDestroyed) w->onDestroyed(widget);
    w->gone = true;
    if (w->timer) g_source_remove(w->timer);
    w->timer = 0;
}

// Asks for the frame's corner at (x, y). A window manager that places
// windows itself may ignore a plain move of a window it manages; the EWMH
// request, from a pager (source 2), is the one it honours. With north-west
// gravity it puts the frame's corner where asked, and without a manager the
// X window goes there itself: only GTK's shadow margin has to be allowed for.
void askForPosition(const XTarget& t, int32_t x, int32_t y) {
    long gtk[4] = {0, 0, 0, 0};
    readExtents(t, "_GTK_FRAME_EXTENTS", gtk);
    const long clientX = x - gtk[0], clientY = y - gtk[2];
    if (windowManagerSupports(t, "_NET_MOVERESIZE_WINDOW")) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = t.window;
        event.xclient.message_type = XInternAtom(t.display, "_NET_MOVERESIZE_WINDOW", False);
        event.xclient.format = 32;
        const long northWest = 1, xGiven = 1 << 8, yGiven = 1 << 9, fromPager = 2 << 12;
        event.xclient.data.l[0] = northWest | xGiven | yGiven | fromPager;
        event.xclient.data.l[1] = clientX;
        event.xclient.data.l[2] = clientY;
        XSendEvent(t.display, DefaultRootWindow(t.display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
    }
    gdk_x11_display_error_trap_push(t.gdk);
    XMoveWindow(t.display, t.window, int(clientX), int(clientY));
    XFlush(t.display);
    gdk_x11_display_error_trap_pop_ignored(t.gdk);
}

// A window manager places a window when it maps it, whatever position the
// window had before, and may take a moment to honour a request: the position
// is asked for again until the window stands there or the tries run out.
struct PendingMove {
    GtkWindow* window;
    int32_t x, y;
    int triesLeft;
};

std::vector<PendingMove*>& pendingMoves() {
    static std::vector<PendingMove*> all;
    return all;
}

bool standsAt(const XTarget& t, int32_t x, int32_t y) {
    ScreenRect rect;
    return frameRectOf(t, rect) && rect.left == x && rect.top == y;
}

gboolean applyPendingMove(gpointer data) {
    PendingMove* move = static_cast<PendingMove*>(data);
    XTarget t;
    const bool mapped = gtk_widget_get_mapped(GTK_WIDGET(move->window)) && xTarget(move->window, t);
    const bool there = mapped && standsAt(t, move->x, move->y);
    if (mapped && !there) askForPosition(t, move->x, move->y);
    if (there || --move->triesLeft <= 0) {
        auto& all = pendingMoves();
        all.erase(std::remove(all.begin(), all.end(), move), all.end());
        g_object_unref(move->window);
        delete move;
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

// A later move replaces one still pending for the same window.
void keepAskingForPosition(GtkWindow* window, int32_t x, int32_t y) {
    for (PendingMove* move : pendingMoves()) {
        if (move->window != window) continue;
        move->x = x;
        move->y = y;
        move->triesLeft = 40;
        return;
    }
    g_object_ref(window);
    PendingMove* move = new PendingMove{window, x, y, 40};
    pendingMoves().push_back(move);
    g_timeout_add(50, applyPendingMove, move);
}

}  // namespace

ScreenRect monitorWorkArea(void* window) {
    XTarget t;
    GdkDisplay* display = xTarget(window, t) ? t.gdk : gdk_display_get_default();
    if (!display) return {};
    GdkMonitor* monitor = nullptr;
    if (t.window) {
        monitor = gdk_display_get_monitor_at_surface(display,
                                                     gtk_native_get_surface(GTK_NATIVE(window)));
    }
    if (!monitor) monitor = monitorAt(display, 0, 0);
    if (!monitor) monitor = firstMonitor(display);
    return monitor ? workAreaOf(monitor) : wholeScreen(display);
}

bool monitorWorkAreaAt(int32_t x, int32_t y, ScreenRect& area) {
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return false;
    GdkMonitor* monitor = monitorAt(display, x, y);
    if (!monitor) return false;
    area = workAreaOf(monitor);
    return true;
}

// GTK applies a new size at its next layout, while callers (the fitting of
// the window to the work area) expect a set size to show at once, as it does
// on other systems. Until the layout has run, report the size GTK is about to
// give the window; it clamps that to the work area itself and then records
// the clamped size as the default, so the two agree again afterwards.
bool windowFrameRect(void* window, ScreenRect& rect) {
    XTarget t;
    if (!xTarget(window, t) || !frameRectOf(t, rect)) return false;
    int defaultWidth = 0, defaultHeight = 0;
    gtk_window_get_default_size(GTK_WINDOW(window), &defaultWidth, &defaultHeight);
    const int width = gtk_widget_get_width(GTK_WIDGET(window));
    const int height = gtk_widget_get_height(GTK_WIDGET(window));
    if (width > 0 && defaultWidth > 0) rect.right += defaultWidth - width;
    if (height > 0 && defaultHeight > 0) rect.bottom += defaultHeight - height;
    return true;
}

void moveWindowTo(void* window, int32_t x, int32_t y) {
    XTarget t;
    if (!xTarget(window, t)) return;
    askForPosition(t, x, y);
    keepAskingForPosition(GTK_WINDOW(window), x, y);
}

// The size goes through GTK, which owns the client area and would undo a
// size set behind its back. GTK's size leaves out its own shadow margin, so
// only the window manager's frame has to be taken off the outer size.
void placeWindow(void* window, int32_t x, int32_t y, int32_t width, int32_t height) {
    XTarget t;
    if (!xTarget(window, t)) return;
    long wm[4] = {0, 0, 0, 0};
    readExtents(t, "_NET_FRAME_EXTENTS", wm);
    const long clientWidth = width - wm[0] - wm[1];
    const long clientHeight = height - wm[2] - wm[3];
    if (clientWidth > 0 && clientHeight > 0)
        gtk_window_set_default_size(GTK_WINDOW(window), int(clientWidth), int(clientHeight));
    moveWindowTo(window, x, y);
}

namespace {

void applyAboveOnMap(GtkWidget* window, gpointer on) {
    g_signal_handlers_disconnect_by_func(window, reinterpret_cast<gpointer>(applyAboveOnMap), on);
    setAlwaysOnTop(window, on != nullptr);
}

}  // namespace

// A window manager changes the state of a mapped window on request only, so
// a window not shown yet is kept above once it is.
void setAlwaysOnTop(void* window, bool on) {
    if (window && GTK_IS_WIDGET(window) && !gtk_widget_get_mapped(GTK_WIDGET(window))) {
        g_signal_connect(window, "map", G_CALLBACK(applyAboveOnMap), on ? window : nullptr);
        return;
    }
    XTarget t;
    if (!xTarget(window, t) || !windowManagerSupports(t, "_NET_WM_STATE_ABOVE")) return;
    const long add = 1, remove = 0;
    sendToWindowManager(t, "_NET_WM_STATE", on ? add : remove,
                        long(XInternAtom(t.display, "_NET_WM_STATE_ABOVE", False)), 0);
}

void forceForeground(void* window) {
    XTarget t;
    if (!xTarget(window, t)) return;
    if (windowManagerSupports(t, "_NET_ACTIVE_WINDOW")) {
        // Source 2 (a pager) so focus-stealing prevention lets the request through.
        sendToWindowManager(t, "_NET_ACTIVE_WINDOW", 2, CurrentTime, 0);
    } else {
        gdk_x11_display_error_trap_push(t.gdk);
        XRaiseWindow(t.display, t.window);
        XFlush(t.display);
        gdk_x11_display_error_trap_pop_ignored(t.gdk);
    }
}

void showMaximized(void* window) {
    if (window && GTK_IS_WINDOW(window)) gtk_window_maximize(GTK_WINDOW(window));
}

void showMinimized(void* window) {
    if (window && GTK_IS_WINDOW(window)) gtk_window_minimize(GTK_WINDOW(window));
}

void restoreIfMaximized(void* window) {
    if (window && GTK_IS_WINDOW(window) && gtk_window_is_maximized(GTK_WINDOW(window)))
        gtk_window_unmaximize(GTK_WINDOW(window));
}

void restoreIfMinimized(void* window) {
    if (window && GTK_IS_WINDOW(window)) gtk_window_unminimize(GTK_WINDOW(window));
}

bool windowNormalPlacement(void* window, ScreenRect& rect, bool& maximized) {
    if (!window || !GTK_IS_WINDOW(window)) return false;
    PlacementWatch* watch = watchOf(window);
    // A window on its way out has been unmapped and its window manager frame
    // taken away: what the watcher saw last is the true placement.
    if (!gtk_widget_get_mapped(GTK_WIDGET(window)) && watch && watch->haveLast) {
        maximized = watch->lastMaximized;
        rect = watch->haveNormal ? watch->normal : watch->last;
        return true;
    }
    maximized = gtk_window_is_maximized(GTK_WINDOW(window));
    const bool restored = !maximized && !isMinimized(GTK_WINDOW(window));
    if (restored && windowFrameRect(window, rect)) return true;
    // X keeps no restored rectangle: use the last one the watcher saw.
    if (watch && watch->haveNormal) {
        rect = watch->normal;
        return true;
    }
    return windowFrameRect(window, rect);
}

void watchWindowPlacement(void* window, void (*onPlacementSettled)(void* window),
                          void (*onDestroyed)(void* window)) {
    if (!window || !GTK_IS_WINDOW(window)) return;
    // Lives as long as the process: a window is watched once.
    PlacementWatch* w = new PlacementWatch;
    w->window = GTK_WINDOW(window);
    w->onSettled = onPlacementSettled;
    w->onDestroyed = onDestroyed;
    lookAgain(w);
    listenForXEvents(GTK_WINDOW(window));
    g_signal_connect(window, "unrealize", G_CALLBACK(onWindowGoing), w);
    g_signal_connect(window, "destroy", G_CALLBACK(onWindowGoing), w);
    watches().push_back(w);
}

}  // namespace platform
