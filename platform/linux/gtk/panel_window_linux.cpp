// Pop-out panel windows on X11: no title bar, found by their exact title in
// any process, and dragged by their page header. GTK 4 cannot move a window
// and a window manager may be absent (as under Xvfb), so the drag follows the
// pointer itself and moves the X11 window.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/x11/gdkx.h>
#include <gtk/gtk.h>

#include "platform/platform.h"

namespace platform {
namespace {

constexpr guint kDragPollMs = 10;

// Windows of other processes may vanish while we look at them; errors on
// GDK's own connection are trapped so that this never ends the program.
struct XSession {
    GdkDisplay* gdk = nullptr;
    Display* x = nullptr;
};

XSession openSession() {
    XSession s;
    s.gdk = gdk_display_get_default();
    if (!s.gdk || !GDK_IS_X11_DISPLAY(s.gdk)) return XSession{};
    s.x = gdk_x11_display_get_xdisplay(s.gdk);
    gdk_x11_display_error_trap_push(s.gdk);
    return s;
}

void closeSession(XSession& s) {
    if (s.gdk) gdk_x11_display_error_trap_pop_ignored(s.gdk);
}

bool readTextProperty(Display* x, Window window, Atom property, Atom type, std::string& text) {
    Atom actualType;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(x, window, property, 0, 4096, False, type, &actualType, &format, &count,
                           &after, &data) != Success || !data) {
        return false;
    }
    bool ok = format == 8;
    if (ok) text.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
    return ok;
}

bool hasTitle(Display* x, Window window, const std::string& title) {
    std::string text;
    Atom utf8 = XInternAtom(x, "UTF8_STRING", False);
    if (readTextProperty(x, window, XInternAtom(x, "_NET_WM_NAME", False), utf8, text)) return text == title;
    return readTextProperty(x, window, XA_WM_NAME, AnyPropertyType, text) && text == title;
}

bool isViewable(Display* x, Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(x, window, &attributes) && attributes.map_state == IsViewable;
}

struct FoundWindow {
    Window client = 0;  // the window that bears the title
    Window frame = 0;   // its ancestor among the root's children (a manager's frame, or itself)
};

// Depth-limited: a client sits at most a few levels below the root, inside
// its window manager's frame. The topmost match wins.
bool searchTitled(Display* x, Window window, Window frame, int depth, const std::string& title,
                  Window exclude, bool requireViewable, FoundWindow& found) {
    if (window != exclude && hasTitle(x, window, title) && (!requireViewable || isViewable(x, window))) {
        found = FoundWindow{window, frame};
        return true;
    }
    if (depth == 0) return false;
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(x, window, &root, &parent, &children, &count)) return false;
    bool hit = false;
    for (unsigned i = count; i-- > 0 && !hit;) {
        Window childFrame = frame ? frame : children[i];
        hit = searchTitled(x, children[i], childFrame, depth - 1, title, exclude, requireViewable, found);
    }
    if (children) XFree(children);
    return hit;
}

bool findTitled(Display* x, const std::string& title, Window exclude, bool requireViewable,
                FoundWindow& found) {
    return searchTitled(x, DefaultRootWindow(x), 0, 3, title, exclude, requireViewable, found);
}

bool frameRect(Display* x, Window frame, ScreenRect& rect) {
    XWindowAttributes a;
    if (!frame || !XGetWindowAttributes(x, frame, &a)) return false;
    rect = ScreenRect{a.x, a.y, a.x + a.width + 2 * a.border_width, a.y + a.height + 2 * a.border_width};
    return true;
}

Window topLevelAncestor(Display* x, Window window) {
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    while (XQueryTree(x, window, &root, &parent, &children, &count)) {
        if (children) XFree(children);
        children = nullptr;
        if (parent == root || parent == 0) return window;
        window = parent;
    }
    return window;
}

Window nativeWindowOf(void* window) {
    if (!window) return 0;
    GtkWidget* widget = GTK_WIDGET(window);
    if (!gtk_widget_get_realized(widget)) gtk_widget_realize(widget);
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(widget));
    if (!surface || !GDK_IS_X11_SURFACE(surface)) return 0;
    return gdk_x11_surface_get_xid(surface);
}

bool pointerPosition(Display* x, int& px, int& py, unsigned& buttons) {
    Window root, child;
    int winX, winY;
    return XQueryPointer(x, DefaultRootWindow(x), &root, &child, &px, &py, &winX, &winY, &buttons);
}

bool contains(const ScreenRect& r, int px, int py) {
    return px >= r.left && px < r.right && py >= r.top && py < r.bottom;
}

struct PanelDrag {
    bool active = false;
    Window self = 0;
    Window targetFrame = 0;  // 0: no such window when the drag began
    int startPointerX = 0, startPointerY = 0;
    int startLeft = 0, startTop = 0;
    int left = 0, top = 0;
    bool over = false;
    void (*onHover)(bool, void*) = nullptr;
    void (*onDrop)(bool, void*) = nullptr;
    void* context = nullptr;
};

PanelDrag drag;

// Where the primary button last went down in a frameless window, in X pixels
// from its corner. The page asks for the drag only after its own mousedown
// handler ran; by then the pointer may have travelled, and the drag keeps the
// pressed point, not the late one, under the pointer.
struct PressPoint {
    void* window = nullptr;
    int x = 0, y = 0;
};

PressPoint lastPress;

gboolean rememberPress(GtkEventControllerLegacy* controller, GdkEvent* event, gpointer) {
    if (gdk_event_get_event_type(event) != GDK_BUTTON_PRESS ||
        gdk_button_event_get_button(event) != GDK_BUTTON_PRIMARY) {
        return FALSE;
    }
    double x = 0, y = 0;
    GtkWidget* window = gtk_event_controller_get_widget(GTK_EVENT_CONTROLLER(controller));
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window));
    if (surface && gdk_event_get_position(event, &x, &y)) {
        int scale = gdk_surface_get_scale_factor(surface);
        lastPress = PressPoint{window, int(x * scale), int(y * scale)};
    }
    return FALSE;  // the page still gets the press
}

bool pointerOverTarget(Display* x, int px, int py) {
    ScreenRect target;
    return drag.targetFrame && frameRect(x, drag.targetFrame, target) && contains(target, px, py);
}

void followPointer(Display* x, int px, int py) {
    int left = drag.startLeft + (px - drag.startPointerX);
    int top = drag.startTop + (py - drag.startPointerY);
    if (left == drag.left && top == drag.top) return;
    drag.left = left;
    drag.top = top;
    XMoveWindow(x, drag.self, left, top);
    XFlush(x);
}

// Polled while the drag lasts: the button's release ends it wherever the
// pointer is, as the press's implicit grab keeps the pointer's events ours.
gboolean dragStep(gpointer) {
    XSession s = openSession();
    int px = 0, py = 0;
    unsigned buttons = 0;
    bool known = s.x && pointerPosition(s.x, px, py, buttons);
    bool held = known && (buttons & Button1Mask);
    // Also on the release: the pointer may have moved since the last poll,
    // and the window lands where it was dropped.
    if (known) followPointer(s.x, px, py);
    bool over = known && pointerOverTarget(s.x, px, py);
    closeSession(s);
    if (over != drag.over) {
        drag.over = over;
        drag.onHover(over, drag.context);
    }
    if (held) return G_SOURCE_CONTINUE;
    drag.active = false;
    drag.onDrop(over, drag.context);
    return G_SOURCE_REMOVE;
}

bool startDrag(XSession& s, void* window, const std::string& hoverTargetTitle) {
    Window self = nativeWindowOf(window);
    if (!self) return false;
    ScreenRect own;
    unsigned buttons = 0;
    if (!frameRect(s.x, topLevelAncestor(s.x, self), own) ||
        !pointerPosition(s.x, drag.startPointerX, drag.startPointerY, buttons)) {
        return false;
    }
    drag.left = drag.startLeft = own.left;
    drag.top = drag.startTop = own.top;
    if (lastPress.window == window) {
        // Anchored at the press: the window's corner stays that far from the pointer.
        drag.startLeft = drag.startPointerX - lastPress.x;
        drag.startTop = drag.startPointerY - lastPress.y;
    }
    lastPress = PressPoint{};
    FoundWindow target;
    drag.targetFrame = findTitled(s.x, hoverTargetTitle, self, true, target) ? target.frame : 0;
    drag.self = self;
    drag.over = false;
    return true;
}

// Asks the window manager, through the root window, to change a client's
// window (EWMH client messages).
void askWindowManager(Display* x, Window client, const char* message, long l0, long l1, long l3) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = client;
    event.xclient.message_type = XInternAtom(x, message, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[3] = l3;
    XSendEvent(x, DefaultRootWindow(x), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
}

}  // namespace

// A frameless window is moved by its content, so its presses are watched
// before the content sees them.
void makeWindowFrameless(void* window) {
    if (!window) return;
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    GtkEventController* presses = gtk_event_controller_legacy_new();
    gtk_event_controller_set_propagation_phase(presses, GTK_PHASE_CAPTURE);
    g_signal_connect(presses, "event", G_CALLBACK(rememberPress), nullptr);
    gtk_widget_add_controller(GTK_WIDGET(window), presses);
}

bool findWindowRectByTitle(const std::string& title, ScreenRect& rect) {
    XSession s = openSession();
    FoundWindow found;
    bool ok = s.x && findTitled(s.x, title, 0, true, found) && frameRect(s.x, found.frame, rect);
    closeSession(s);
    return ok;
}

// A window manager brings a window forward on _NET_ACTIVE_WINDOW (also out of
// its minimized state); without one, raising and mapping does it.
bool raiseWindowByTitle(const std::string& title) {
    XSession s = openSession();
    FoundWindow found;
    bool ok = s.x && findTitled(s.x, title, 0, false, found);
    if (ok) {
        // Source 2: asked for by the user's action, through another program.
        askWindowManager(s.x, found.client, "_NET_ACTIVE_WINDOW", 2, CurrentTime, 0);
        XMapRaised(s.x, found.client);
        if (found.frame != found.client) XRaiseWindow(s.x, found.frame);
        XFlush(s.x);
    }
    closeSession(s);
    return ok;
}

// The window manager changes the state of a window of any client on request.
bool setAlwaysOnTopByTitle(const std::string& title, bool on) {
    XSession s = openSession();
    FoundWindow found;
    bool ok = s.x && findTitled(s.x, title, 0, false, found);
    if (ok) {
        // Action 1 adds, 0 removes; source 1 is a normal application.
        askWindowManager(s.x, found.client, "_NET_WM_STATE", on ? 1 : 0,
                         long(XInternAtom(s.x, "_NET_WM_STATE_ABOVE", False)), 1);
        XFlush(s.x);
    }
    closeSession(s);
    return ok;
}

void beginPanelDrag(void* window, const std::string& hoverTargetTitle,
                    void (*onHover)(bool over, void* context),
                    void (*onDrop)(bool overTarget, void* context), void* context) {
    if (drag.active || !onHover || !onDrop) return;
    XSession s = openSession();
    bool started = s.x && startDrag(s, window, hoverTargetTitle);
    closeSession(s);
    if (!started) return;
    drag.onHover = onHover;
    drag.onDrop = onDrop;
    drag.context = context;
    drag.active = true;
    g_timeout_add(kDragPollMs, dragStep, nullptr);
}

}  // namespace platform
