#include "tests/e2e/harness.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

extern char** environ;

namespace e2e {
namespace {

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
            int stdoutFd = -1, int stderrFd = -1) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // The given variables replace inherited ones of the same name: with two
    // DISPLAY entries the child would take the first, the caller's own.
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('=') + 1);
        bool overridden = false;
        for (const std::string& extra : extraEnv) overridden |= extra.compare(0, name.size(), name) == 0;
        if (!overridden) envText.push_back(entry);
    }
    for (const std::string& e : extraEnv) envText.push_back(e);
    std::vector<char*> env;
    for (std::string& e : envText) env.push_back(e.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int quiet = open("/dev/null", O_WRONLY);
    posix_spawn_file_actions_adddup2(&actions, stdoutFd >= 0 ? stdoutFd : quiet, 1);
    posix_spawn_file_actions_adddup2(&actions, stderrFd >= 0 ? stderrFd : quiet, 2);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), env.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(quiet);
    return pid;
}

std::string windowTitle(Display* display, Window window) {
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) == Success && data) {
        std::string title(reinterpret_cast<char*>(data), count);
        XFree(data);
        return title;
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        std::string title(name);
        XFree(name);
        return title;
    }
    return "";
}

Window findTitled(Display* display, Window root, const std::string& title) {
    if (windowTitle(display, root) == title) return root;
    Window parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, root, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i) found = findTitled(display, children[i], title);
        if (children) XFree(children);
    }
    return found;
}

int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

pid_t spawnProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                   int stdoutFd) {
    return spawn(argv, extraEnv, stdoutFd);
}

XServer startXServer() {
    int pipeFds[2];
    XServer server;
    if (pipe(pipeFds) != 0) return server;
    server.pid = spawn({"/usr/bin/Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0",
                        "1280x1024x24", "-noreset", "-nolisten", "tcp"},
                       {});
    close(pipeFds[1]);
    std::string number;
    char c;
    while (read(pipeFds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
    close(pipeFds[0]);
    server.display = ":" + number;
    return server;
}

void stopXServer(XServer& server) {
    if (server.pid > 0) {
        kill(server.pid, SIGTERM);
        waitForExit(server.pid, 5000);
    }
    server.pid = -1;
}

std::string Folders::sideFile(const std::string& name) const { return config + "/varnet/" + name; }
std::string Folders::sessionFile() const { return data + "/Varnet/session.mcr"; }

Folders makeFolders() {
    static std::mt19937_64 random{std::random_device{}()};
    Folders f;
    f.root = (std::filesystem::temp_directory_path() / ("varnet-e2e-" + std::to_string(random()))).string();
    f.config = f.root + "/config";
    f.data = f.root + "/data";
    f.runtime = f.root + "/runtime";
    for (const std::string& dir : {f.config, f.data, f.runtime}) std::filesystem::create_directories(dir);
    chmod(f.runtime.c_str(), 0700);
    return f;
}

void removeFolders(const Folders& folders) {
    std::error_code ignored;
    std::filesystem::remove_all(folders.root, ignored);
}

pid_t startVarnet(const XServer& server, const Folders& folders, const std::vector<std::string>& args,
                  const std::string& binary, const std::vector<std::string>& extraEnv, int stderrFd) {
    std::vector<std::string> argv{binary.empty() ? std::string(VARNET_BINARY) : binary};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env{"DISPLAY=" + server.display, "XDG_CONFIG_HOME=" + folders.config,
                                 "XDG_DATA_HOME=" + folders.data, "XDG_RUNTIME_DIR=" + folders.runtime,
                                 "HOME=" + folders.root, "NO_AT_BRIDGE=1", "GDK_BACKEND=x11"};
    for (const std::string& extra : extraEnv) {
        const std::string name = extra.substr(0, extra.find('=') + 1);
        std::erase_if(env, [&](const std::string& entry) { return entry.rfind(name, 0) == 0; });
        env.push_back(extra);
    }
    return spawn(argv, env, -1, stderrFd);
}

Finished runVarnetToEnd(const Folders& folders, const std::vector<std::string>& args, int timeoutMs,
                        const std::vector<std::string>& extraEnv) {
    std::vector<std::string> argv{VARNET_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    Finished finished;
    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0) return finished;
    std::vector<std::string> env{"XDG_CONFIG_HOME=" + folders.config, "XDG_DATA_HOME=" + folders.data,
                                 "XDG_RUNTIME_DIR=" + folders.runtime, "HOME=" + folders.root};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    pid_t pid = spawn(argv, env, -1, errorPipe[1]);
    close(errorPipe[1]);
    char buffer[512];
    for (ssize_t n; (n = read(errorPipe[0], buffer, sizeof buffer)) > 0;) finished.errors.append(buffer, size_t(n));
    close(errorPipe[0]);
    if (pid > 0) finished.code = waitForExit(pid, timeoutMs);
    return finished;
}

std::string binaryWithPage(const Folders& folders, const std::string& pageHtml) {
    std::string dir = folders.root + "/app";
    std::filesystem::create_directories(dir);
    std::string copy = dir + "/varnet";
    std::filesystem::copy_file(VARNET_BINARY, copy, std::filesystem::copy_options::overwrite_existing);
    if (!pageHtml.empty()) {
        std::filesystem::create_directories(dir + "/ui");
        writeFile(dir + "/ui/index.html", pageHtml);
    }
    return copy;
}

bool waitUntil(int timeoutMs, bool (*condition)(const void*), const void* context) {
    int64_t deadline = nowMs() + timeoutMs;
    while (!condition(context)) {
        if (nowMs() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool waitForFile(const std::string& path, int timeoutMs) {
    return waitUntil(timeoutMs, [](const void* p) {
        return std::filesystem::exists(*static_cast<const std::string*>(p));
    }, &path);
}

bool waitForFileContent(const std::string& path, const std::string& content, int timeoutMs) {
    std::pair<const std::string*, const std::string*> both{&path, &content};
    return waitUntil(timeoutMs, [](const void* p) {
        auto* pair = static_cast<const std::pair<const std::string*, const std::string*>*>(p);
        return readFile(*pair->first) == *pair->second;
    }, &both);
}

bool waitForFileHolding(const std::string& path, const std::string& part, int timeoutMs) {
    std::pair<const std::string*, const std::string*> both{&path, &part};
    return waitUntil(timeoutMs, [](const void* p) {
        auto* pair = static_cast<const std::pair<const std::string*, const std::string*>*>(p);
        return readFile(*pair->first).find(*pair->second) != std::string::npos;
    }, &both);
}

int waitForExit(pid_t pid, int timeoutMs) {
    int64_t deadline = nowMs() + timeoutMs;
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (done < 0 || nowMs() > deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int terminateAndWait(pid_t pid, int timeoutMs) {
    kill(pid, SIGTERM);
    int code = waitForExit(pid, timeoutMs);
    if (code == -1) {
        kill(pid, SIGKILL);
        waitForExit(pid, 2000);
    }
    return code;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool windowExists(const XServer& server, const std::string& title) {
    Display* display = XOpenDisplay(server.display.c_str());
    if (!display) return false;
    XSetErrorHandler(ignoreXErrors);
    bool found = findTitled(display, DefaultRootWindow(display), title) != 0;
    XCloseDisplay(display);
    return found;
}

bool waitForWindow(const XServer& server, const std::string& title, int timeoutMs) {
    std::pair<const XServer*, const std::string*> both{&server, &title};
    return waitUntil(timeoutMs, [](const void* p) {
        auto* pair = static_cast<const std::pair<const XServer*, const std::string*>*>(p);
        return windowExists(*pair->first, *pair->second);
    }, &both);
}

bool closeWindow(const XServer& server, const std::string& title) {
    Display* display = XOpenDisplay(server.display.c_str());
    if (!display) return false;
    XSetErrorHandler(ignoreXErrors);
    Window window = findTitled(display, DefaultRootWindow(display), title);
    if (window) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XSync(display, False);
    }
    XCloseDisplay(display);
    return window != 0;
}

}  // namespace e2e
