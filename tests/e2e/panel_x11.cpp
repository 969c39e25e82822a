#include "tests/e2e/panel_x11.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace e2e {
namespace {

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

Display* connect(const XServer& server) {
    Display* display = XOpenDisplay(server.display.c_str());
    if (display) XSetErrorHandler(ignoreErrors);
    return display;
}

std::string titleOf(Display* d, Window w) {
    Atom type;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False), 0, 1024, False,
                           XInternAtom(d, "UTF8_STRING", False), &type, &format, &count, &after,
                           &data) == Success && data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return title;
}

// Titled windows sit among the root's children, or one level further down
// inside a window manager's frame.
void collectTitled(Display* d, Window window, int depth, const std::string& title,
                   std::vector<Window>& found) {
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, window, &root, &parent, &children, &count)) return;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable &&
            titleOf(d, children[i]) == title) {
            found.push_back(children[i]);
        } else if (depth > 0) {
            collectTitled(d, children[i], depth - 1, title, found);
        }
    }
    if (children) XFree(children);
}

std::vector<Window> viewableTitled(Display* d, const std::string& title) {
    std::vector<Window> found;
    collectTitled(d, DefaultRootWindow(d), 1, title, found);
    return found;
}

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void moveInSteps(Display* d, int fromX, int fromY, int toX, int toY, int steps) {
    for (int i = 1; i <= steps; ++i) {
        XTestFakeMotionEvent(d, -1, fromX + (toX - fromX) * i / steps, fromY + (toY - fromY) * i / steps, 0);
        XFlush(d);
        pause(30);
    }
}

}  // namespace

bool windowBox(const XServer& server, const std::string& title, WindowBox& box) {
    Display* d = connect(server);
    if (!d) return false;
    std::vector<Window> found = viewableTitled(d, title);
    XWindowAttributes a;
    int rootX = 0, rootY = 0;
    Window child;
    bool ok = !found.empty() && XGetWindowAttributes(d, found[0], &a) &&
              XTranslateCoordinates(d, found[0], DefaultRootWindow(d), 0, 0, &rootX, &rootY, &child);
    if (ok) box = WindowBox{rootX, rootY, a.width, a.height};
    XCloseDisplay(d);
    return ok;
}

bool waitForWindowBox(const XServer& server, const std::string& title, int width, int height,
                      int timeoutMs, WindowBox& box) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (windowBox(server, title, box) && box.width == width && box.height == height) return true;
        pause(20);
    }
    return false;
}

bool waitForWindowAt(const XServer& server, const std::string& title, int x, int y, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    WindowBox box;
    while (!windowBox(server, title, box) || box.x != x || box.y != y) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        pause(20);
    }
    return true;
}

std::string windowClass(const XServer& server, const std::string& title) {
    Display* d = connect(server);
    if (!d) return "";
    std::vector<Window> found = viewableTitled(d, title);
    XClassHint hint{};
    std::string text;
    if (!found.empty() && XGetClassHint(d, found[0], &hint)) {
        text = std::string(hint.res_name ? hint.res_name : "") + "." + (hint.res_class ? hint.res_class : "");
        if (hint.res_name) XFree(hint.res_name);
        if (hint.res_class) XFree(hint.res_class);
    }
    XCloseDisplay(d);
    return text;
}

int countWindows(const XServer& server, const std::string& title) {
    Display* d = connect(server);
    if (!d) return 0;
    int count = int(viewableTitled(d, title).size());
    XCloseDisplay(d);
    return count;
}

pid_t windowProcess(const XServer& server, const std::string& title) {
    Display* d = connect(server);
    if (!d) return -1;
    pid_t pid = -1;
    std::vector<Window> found = viewableTitled(d, title);
    Atom type;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (!found.empty() &&
        XGetWindowProperty(d, found[0], XInternAtom(d, "_NET_WM_PID", False), 0, 1, False,
                           XA_CARDINAL, &type, &format, &count, &after, &data) == Success && data) {
        if (count == 1) pid = pid_t(*reinterpret_cast<unsigned long*>(data));
        XFree(data);
    }
    XCloseDisplay(d);
    return pid;
}

bool waitForNoWindow(const XServer& server, const std::string& title, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (countWindows(server, title) > 0) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        pause(20);
    }
    return true;
}

struct StandInWindow {
    Display* display = nullptr;
    Window window = 0;
};

StandInWindow* openStandInWindow(const XServer& server, const std::string& title, int x, int y,
                                 int width, int height) {
    Display* d = connect(server);
    if (!d) return nullptr;
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, unsigned(width), unsigned(height),
                                   0, 0, WhitePixel(d, DefaultScreen(d)));
    XStoreName(d, w, title.c_str());
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False), XInternAtom(d, "UTF8_STRING", False),
                    8, PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                    int(title.size()));
    XMapWindow(d, w);
    XSync(d, False);
    return new StandInWindow{d, w};
}

void closeStandInWindow(StandInWindow* window) {
    if (!window) return;
    XDestroyWindow(window->display, window->window);
    XCloseDisplay(window->display);
    delete window;
}

void pressAndMove(const XServer& server, int fromX, int fromY, int toX, int toY, int steps) {
    Display* d = connect(server);
    if (!d) return;
    XTestFakeMotionEvent(d, -1, fromX, fromY, 0);
    XFlush(d);
    pause(100);
    XTestFakeButtonEvent(d, 1, True, 0);
    XFlush(d);
    // The page asks for the drag from its mousedown handler: give it time,
    // as a hand on a real mouse does.
    pause(500);
    moveInSteps(d, fromX, fromY, toX, toY, steps);
    XCloseDisplay(d);
}

void movePointer(const XServer& server, int fromX, int fromY, int toX, int toY, int steps) {
    Display* d = connect(server);
    if (!d) return;
    moveInSteps(d, fromX, fromY, toX, toY, steps);
    XCloseDisplay(d);
}

void releasePointer(const XServer& server) {
    Display* d = connect(server);
    if (!d) return;
    pause(300);
    XTestFakeButtonEvent(d, 1, False, 0);
    XFlush(d);
    XCloseDisplay(d);
}

void dragWithPointer(const XServer& server, int fromX, int fromY, int toX, int toY, int steps) {
    pressAndMove(server, fromX, fromY, toX, toY, steps);
    releasePointer(server);
}

// A zombie has ended: only its exit status waits to be collected.
bool processAlive(pid_t pid) {
    if (pid <= 0) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t end = text.rfind(')');
    return end != std::string::npos && end + 2 < text.size() && text[end + 2] != 'Z';
}


bool waitForProcessGone(pid_t pid, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::filesystem::exists("/proc/" + std::to_string(pid))) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        pause(20);
    }
    return true;
}

pid_t startWindowManager(const XServer& server) {
    const char openbox[] = "/usr/bin/openbox";
    if (access(openbox, X_OK) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        setenv("DISPLAY", server.display.c_str(), 1);
        int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        execl(openbox, openbox, static_cast<char*>(nullptr));
        _exit(127);
    }
    pause(500);  // it has taken over the root window
    return pid;
}

void stopWindowManager(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

}  // namespace e2e
