// Memory at rest and the time to the first painted page, the program beside
// its floors, in one run on a private X server: proportional set size (PSS)
// of every process each one started, read from /proc after it has rested;
// the first paint seen from outside, in screenshots of its window. Prints
// figures; asserts nothing. Beside PSS, the private dirty memory, which
// other programs on the shared machine hardly move.
//   varnet_memory_bench [rest seconds, 20] [starts for the paint medians, 5]
// GSK_RENDERER and the like, set when it starts, reach every program measured.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench/process_tree.h"
#include "model/state.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/raw_observer.h"

namespace {

const char kVarnetTitle[] = "Varnet (Kestrine Edition)";

// ---- Memory ---------------------------------------------------------------

// The sum of a process's lines in smaps_rollup that start with one of the
// prefixes, in MB.
double rollupMegabytes(pid_t pid, std::initializer_list<const char*> prefixes) {
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string line;
    double kilobytes = 0;
    while (std::getline(rollup, line))
        for (const char* prefix : prefixes)
            if (line.rfind(prefix, 0) == 0) kilobytes += std::atof(line.c_str() + std::strlen(prefix));
    return kilobytes / 1024.0;
}

double pssMegabytes(pid_t pid) { return rollupMegabytes(pid, {"Pss:"}); }

// What the process wrote itself and holds alone. PSS also gives it a share
// of the libraries every web engine process on the machine maps, and a
// library's clean pages count as private while no other process maps them:
// both move with what else runs there (tens of MB); this hardly does.
double privateDirtyMegabytes(pid_t pid) { return rollupMegabytes(pid, {"Private_Dirty:"}); }

std::string commandName(pid_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

struct Footprint {
    double main = 0, web = 0, network = 0, other = 0;
    double dirty = 0;  // the private dirty memory of them all
    double all() const { return main + web + network + other; }
};

// The process itself, the web engine's processes it started, and anything
// else below it (a pop-out panel's process, with its own web processes
// counted as web and network).
Footprint footprintOf(pid_t root) {
    Footprint f;
    for (pid_t pid : processTree(root)) {
        const double pss = pssMegabytes(pid);
        f.dirty += privateDirtyMegabytes(pid);
        const std::string name = commandName(pid);
        if (pid == root) {
            f.main += pss;
        } else if (name.rfind("WebKitWeb", 0) == 0) {
            f.web += pss;
        } else if (name.rfind("WebKitNet", 0) == 0) {
            f.network += pss;
        } else {
            f.other += pss;
        }
    }
    return f;
}

// ---- First paint, from outside ----------------------------------------------

Window findWindow(Display* display, Window from, const std::string& title) {
    char* name = nullptr;
    if (XFetchName(display, from, &name) && name) {
        const bool match = title == name;
        XFree(name);
        if (match) return from;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, from, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) found = findWindow(display, children[i], title);
    if (children) XFree(children);
    return found;
}

// A window counts as painted once its pixels are no longer one colour: the
// background GTK clears it to before the page is drawn is.
bool windowPainted(Display* display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) return false;
    XImage* image = XGetImage(display, window, 0, 0, unsigned(attributes.width), unsigned(attributes.height),
                              AllPlanes, ZPixmap);
    if (!image) return false;
    std::set<unsigned long> colours;
    for (int y = 0; y < image->height && colours.size() < 3; y += 4)
        for (int x = 0; x < image->width && colours.size() < 3; x += 4) colours.insert(XGetPixel(image, x, y));
    XDestroyImage(image);
    return colours.size() >= 3;
}

int silenceXErrors(Display*, XErrorEvent*) { return 0; }

// Milliseconds from start to the first screenshot of its window that shows
// a page; -1 when none did within a minute.
double msToFirstPaint(const std::string& displayName, int64_t start, const std::string& title) {
    Display* display = XOpenDisplay(displayName.c_str());
    if (!display) return -1;
    XSetErrorHandler(silenceXErrors);  // the window may go between two calls
    double ms = -1;
    while (e2e::monotonicNs() - start < 60000000000LL) {
        const Window window = findWindow(display, DefaultRootWindow(display), title);
        if (window && windowPainted(display, window)) {
            ms = double(e2e::monotonicNs() - start) / 1e6;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    XCloseDisplay(display);
    return ms;
}

double median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// ---- The programs measured --------------------------------------------------

struct Program {
    pid_t pid = -1;
    e2e::Folders folders;
    bool ownsFolders = false;
};

Program startFloor(const e2e::XServer& x, const char* binary) {
    Program p;
    p.pid = e2e::spawnProcess({binary}, {"DISPLAY=" + x.display, "NO_AT_BRIDGE=1", "GDK_BACKEND=x11"});
    return p;
}

void writeSession(const e2e::Folders& folders, size_t count) {
    std::string text =
        "SETTINGS:0,0,0,100,0,0,1,10,0,0,0,1,1,1,1,0,1,0,500,119,118,0,117,0,0,0,100,1,10,120,32\r\n"
        "CURRENT:0\r\nPROFILE:Bench\r\n";
    text.reserve(text.size() + count * 32);
    char line[96];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, "0,%.3f,%d,%d,0,0,0,0\r\n", double(i) * 0.002, int(i % 1280),
                      int(i / 1280 % 1024));
        text += line;
    }
    std::filesystem::create_directories(folders.data + "/Varnet");
    e2e::writeFile(folders.sessionFile(), text);
}

Program startVarnet(const e2e::XServer& x, size_t events) {
    Program p;
    p.folders = e2e::makeFolders();
    p.ownsFolders = true;
    if (events > 0) writeSession(p.folders, events);
    p.pid = e2e::startVarnet(x, p.folders);
    return p;
}

// A pop-out panel as the program starts one: its own process, with the
// panel's title, id and place and the theme on its command line.
pid_t popOut(const e2e::XServer& x, const Program& main, const std::string& panel) {
    return e2e::startVarnet(x, main.folders, {"--child", panel + "|100|100|" + kDefaultTheme});
}

void stop(Program& p) {
    if (p.pid > 0) e2e::terminateAndWait(p.pid, 10000);
    if (p.ownsFolders) e2e::removeFolders(p.folders);
    p = Program{};
}

void rest(int seconds) { std::this_thread::sleep_for(std::chrono::seconds(seconds)); }

void printFootprint(const char* label, const Footprint& f) {
    std::printf("%-40s %9.1f %9.1f %9.1f %9.1f %9.1f %9.1f\n", label, f.main, f.web, f.network, f.other, f.all(),
                f.dirty);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int restSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int starts = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const char* renderer = std::getenv("GSK_RENDERER");
    e2e::XServer x = e2e::startXServer();
    std::printf("PSS at rest (%d s after start), MB, on Xvfb; GSK_RENDERER %s\n", restSeconds,
                renderer ? renderer : "not set (every program measured draws with cairo)");
    std::printf("(dirty: the private dirty memory of them all, which other programs on the machine hardly move)\n");
    std::printf("%-40s %9s %9s %9s %9s %9s %9s\n", "", "main", "web", "network", "other", "all", "dirty");

    Program gtk = startFloor(x, VARNET_FLOOR_GTK);
    rest(restSeconds);
    printFootprint("(a) a plain GTK 4 window", footprintOf(gtk.pid));
    stop(gtk);

    Program floor = startFloor(x, VARNET_FLOOR_WEBVIEW);
    rest(restSeconds);
    const Footprint floorFootprint = footprintOf(floor.pid);
    printFootprint("(b) the web view library, a static page", floorFootprint);
    stop(floor);

    Program empty = startVarnet(x, 0);
    rest(restSeconds);
    const Footprint emptyFootprint = footprintOf(empty.pid);
    printFootprint("(c) Varnet, empty profile", emptyFootprint);
    const std::vector<std::pair<const char*, const char*>> panels = {
        {"(d) + pop-out Auto Clicker", "Auto Clicker|clicker-panel"},
        {"(d) + pop-out Key Spammer", "Key Spammer|keyspam-panel"},
    };
    for (const auto& [label, panel] : panels) {
        const pid_t panelPid = popOut(x, empty, panel);
        rest(restSeconds);
        const Footprint withPanel = footprintOf(panelPid);
        printFootprint(label, withPanel);
        std::printf("%-40s %+9.1f (dirty %+.1f; floor of a further web view: %.1f, dirty %.1f)\n",
                    "    added to (c)", withPanel.all(), withPanel.dirty, floorFootprint.all(),
                    floorFootprint.dirty);
        e2e::terminateAndWait(panelPid, 10000);
    }
    stop(empty);

    Program million = startVarnet(x, 1000000);
    rest(restSeconds + 10);  // the load and the first save come first
    const Footprint millionFootprint = footprintOf(million.pid);
    printFootprint("(e) Varnet, 1,000,000 events", millionFootprint);
    std::printf("%-40s %+9.1f (dirty %+.1f)\n", "    above (c)", millionFootprint.all() - emptyFootprint.all(),
                millionFootprint.dirty - emptyFootprint.dirty);
    stop(million);
    std::printf("targets: (c) all <= 120; a pop-out <= 60 added; (e) <= 100 above (c)\n\n");

    std::vector<double> floorPaints, varnetPaints;
    for (int i = 0; i < starts; ++i) {
        int64_t start = e2e::monotonicNs();
        Program f = startFloor(x, VARNET_FLOOR_WEBVIEW);
        floorPaints.push_back(msToFirstPaint(x.display, start, "Floor webview"));
        stop(f);
        e2e::Folders folders = e2e::makeFolders();
        start = e2e::monotonicNs();
        Program v;
        v.folders = folders;
        v.ownsFolders = true;
        v.pid = e2e::startVarnet(x, folders);
        varnetPaints.push_back(msToFirstPaint(x.display, start, kVarnetTitle));
        stop(v);
    }
    std::printf("Start to the first painted page, ms, median of %d starts (each start's figure)\n", starts);
    const auto printPaints = [](const char* label, const std::vector<double>& values) {
        std::printf("%-40s %9.0f   (", label, median(values));
        for (double v : values) std::printf(" %.0f", v);
        std::printf(" )\n");
    };
    printPaints("(b) the web view library, a static page", floorPaints);
    printPaints("(c) Varnet, empty profile", varnetPaints);
    std::printf("target: (c) within 1.2x (b)\n");
    e2e::stopXServer(x);
    return 0;
}
