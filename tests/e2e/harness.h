// Shared pieces of the end-to-end tests: a private X server per test, the real
// binary started with private folders, and waiting on what it leaves behind.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace e2e {

// Starts a program with these variables added to (or replacing) the
// environment, standard output to stdoutFd (-1: nowhere), standard error
// nowhere; -1 when it could not start.
pid_t spawnProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                   int stdoutFd = -1);

// A private Xvfb on a display number the server picks itself, so tests can
// run side by side.
struct XServer {
    pid_t pid = -1;
    std::string display;  // ":N"
};
XServer startXServer();
void stopXServer(XServer& server);

// Private XDG folders under one temporary root.
struct Folders {
    std::string root, config, data, runtime;
    std::string sideFile(const std::string& name) const;  // config/varnet/name
    std::string sessionFile() const;                       // data/Varnet/session.mcr
};
Folders makeFolders();
void removeFolders(const Folders& folders);

// Starts the program (VARNET_BINARY unless another is given) on the display;
// its standard error goes to stderrFd (-1: nowhere).
pid_t startVarnet(const XServer& server, const Folders& folders,
                  const std::vector<std::string>& args = {}, const std::string& binary = "",
                  const std::vector<std::string>& extraEnv = {}, int stderrFd = -1);

// Runs the program with these arguments and the folders' environment (and
// extraEnv) to its end; code is its exit code (-1 on a signal or time-out).
struct Finished {
    int code = -1;
    std::string errors;  // what it wrote on standard error
};
Finished runVarnetToEnd(const Folders& folders, const std::vector<std::string>& args, int timeoutMs,
                        const std::vector<std::string>& extraEnv = {});

// A copy of the binary in a folder of its own, with the given page as
// ui/index.html (no ui folder when page is empty). Returns the copy's path.
std::string binaryWithPage(const Folders& folders, const std::string& pageHtml);

// What the real page does when a panel process's script asks it to show one
// panel, for the small test pages to put in their script: the panel alone,
// its header dragging the window, the page shown and fitted (the page
// defines resizeHostWindow, and applyTheme if it follows the theme).
inline constexpr char kEnterPanelModeScript[] = R"(
  function enterPanelMode(id, theme) {
    if (typeof applyTheme === 'function') applyTheme(theme);
    document.querySelectorAll('.panel').forEach((p) => { p.style.display = p.id === id ? 'block' : 'none'; });
    const panel = document.getElementById(id);
    const header = panel && panel.querySelector('.panel-header');
    if (header) header.addEventListener('mousedown', (e) => {
      if (e.button !== 0 || e.target.closest('.panel-btn')) return;
      e.preventDefault();
      window.beginWindowDrag('');
    });
    document.body.style.visibility = 'visible';
    resizeHostWindow();
  })";

bool waitUntil(int timeoutMs, bool (*condition)(const void*), const void* context);
bool waitForFile(const std::string& path, int timeoutMs);
bool waitForFileContent(const std::string& path, const std::string& content, int timeoutMs);
// Until the file holds part somewhere in it.
bool waitForFileHolding(const std::string& path, const std::string& part, int timeoutMs);
// Waits for the process to end; the exit code, or -1 on a signal or time-out.
int waitForExit(pid_t pid, int timeoutMs);
int terminateAndWait(pid_t pid, int timeoutMs);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// X11 helpers on their own connection to the display.
bool waitForWindow(const XServer& server, const std::string& title, int timeoutMs);
bool windowExists(const XServer& server, const std::string& title);
// Asks the window to close as a window manager's close button does.
bool closeWindow(const XServer& server, const std::string& title);

}  // namespace e2e
