// The seam between Varnet's portable core and the operating system. One set of
// free functions, implemented once per backend (platform/linux, platform/win32,
// and the fake backend that only tests link); the build picks one. Everything
// that differs between systems is here, and nothing else is. It is the one
// header outside their own and lower folders that the core's layers see, from
// text/ and model/ at the bottom to bridge/ and app/ at the top (CMakeLists.txt
// names them in order); a backend may include any header of the core, the
// core none of a backend's. The Linux backend's rooms (platform/linux/x11,
// wayland, gtk, system...) are listed in cmake/backend_linux.cmake.
//
// Unless a comment says otherwise a function is safe from any thread. Window
// functions take the native window of a web view (webview_get_window: the
// GtkWindow* on Linux, the HWND on Windows) and must run on the UI thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ChildProcess;  // a pop-out panel process; declared in model/state.h too
struct InputEvent;    // capture/input_event.h

namespace platform {

// ---- Process start and end -----------------------------------------------

// Per-process preparation before anything else (COM, DPI awareness, the X11
// backend for GTK) and its undoing at the very end.
void prepareProcess();
void finishProcess();

// Asks for 1 ms timer resolution, and gives it back; each begin needs its end.
// An engine holds it while it runs.
void beginTimerResolution();
void endTimerResolution();
// Raises the calling thread's scheduling priority: for the engine threads,
// whose waits must end on time while the program's windows are hidden.
void raiseEngineThreadPriority();

// Calls onSignal on the UI thread when the session asks the program to end
// (SIGINT/SIGTERM, a console close or a logout), so shutdown runs in order.
void onTerminationRequest(void (*onSignal)(void* context), void* context);

// Installs a last-chance handler that runs save() once on a crash and then lets
// the crash proceed as it would have.
void installCrashHandler(void (*save)());

// Shows the program's only message box, modal, and returns when it is closed.
void showErrorBox(const std::string& title, const std::string& text);

// Loads the web view library where it is loaded at run time; on failure fills
// in a text for the user.
bool loadWebviewLibrary(std::string& error);
// What to tell the user when the library loaded but could not create a
// browser: which engine this system lacks, and how to get it.
std::string webViewEngineMissingText();

// Switches off the browser's own context menu, zoom and accelerator keys.
void lockDownWebView(void* webview);
// The family of the desktop's interface font where the page should name it
// itself: a web engine that looks "system-ui" up through the font library's
// own list of interface fonts pays a slow miss for each family of that list
// the system lacks, on the page's first layout. Empty where the engine finds
// the font by "system-ui" cheaply, or the family is not installed. Called
// once the window's toolkit is up.
std::string desktopFontFamily();

// ---- Time ----------------------------------------------------------------

int64_t perfCounter();          // monotonic ticks
int64_t perfCounterFrequency(); // ticks per second
void sleepMs(int milliseconds);
// Sleeps until perfCounter() reaches deadline, waking on the deadline itself
// rather than on the next scheduler tick.
void sleepUntilCounter(int64_t deadline);
// Sleeps while word still holds seen, at most timeoutMs; wakeWaiters ends the
// sleep of every thread waiting on word. Lets an idle worker sleep without
// waking every few milliseconds to look at its flags.
void waitWhileEqual(const std::atomic<uint32_t>& word, uint32_t seen, int timeoutMs);
void wakeWaiters(std::atomic<uint32_t>& word);

// ---- Places and files --------------------------------------------------------

char pathSeparator();
std::string executablePath();
std::string executableDir();   // the folder of the running executable
std::string dataDir();         // per-user folder of the session file
std::string sideFileDir();     // folder of appsettings, theme, status, event side files
// Paths are UTF-8 text everywhere; the Windows backend converts them for its
// wide-character calls.
bool createDirectory(const std::string& path);
bool pathExists(const std::string& path);
// Moves a file, never over an existing one (false then).
bool moveFile(const std::string& from, const std::string& to);
// The whole content of a file; false when it cannot be opened or read.
bool readFile(const std::string& path, std::string& bytes);
// Creates or truncates the file and writes bytes; no flush to disk.
bool writeFile(const std::string& path, const std::string& bytes);
// Writes a temporary file beside path, flushes it to disk and renames it over
// path, so a crash or power loss leaves either the old or the new file whole.
// The temporary file is path + ".tmp" + process id + "-" + a number, created
// exclusively so that a name planted in the folder is never written through.
// On failure, failure (when given) says which step failed and why.
// A gate, when given, is entered once the new text is on disk, just before
// the rename: when enter says no, the temporary file goes, the file stays as
// it is and the call returns false with failure untouched. Otherwise leave
// follows the rename, told whether it succeeded.
struct RenameGate {
    bool (*enter)(void* context);
    void (*leave)(void* context, bool renamed);
    void* context;
};
bool replaceFileDurably(const std::string& path, const std::string& bytes,
                        std::string* failure = nullptr, const RenameGate* gate = nullptr);
// The names of the plain files in a folder (no "." or "..").
std::vector<std::string> filesInFolder(const std::string& folder);
bool removeFile(const std::string& path);
// Whether a process with this id runs now; true when that cannot be told.
bool processRunning(uint64_t processId);

// Takes this user session's one-main-process lock for the life of the process
// (a lock file beside the command socket, or a named mutex). A lock that
// cannot be set up is Failed, with the reason in problem: the program does
// not know whether it would be the only one.
enum class InstanceClaim { Won, HeldByAnother, Failed };
InstanceClaim claimMainInstance(std::string& problem);

// Start-at-logon registration of the quoted executable path; silent on failure.
void setLaunchOnStartup(bool enable);

// Modal file dialogs filtered to "Macro Profile (*.mcr)" and "All Files".
// Saving offers suggestedName (a plain file name), adds ".mcr" to a name
// without extension and confirms overwriting; opening requires an existing
// file. False when cancelled. Each is modal to owner (the window whose page
// asked; nullptr: none) and titled for what it does.
bool chooseProfileFileToSave(void* owner, const std::string& suggestedName, std::string& path);
bool chooseProfileFileToOpen(void* owner, std::string& path);

// ---- Synthetic input (allocation-free, one record per call) ------------------

void moveCursorAbsolute(int32_t x, int32_t y);
// The number of records the system took: 0 when it refused the input (a
// locked session, a secure desktop, a prompt of a higher integrity level).
uint32_t sendKeyEvent(uint32_t vk, bool down);
// A recorded key by its scan code (MacroEvent::scan, not 0), the virtual key
// going with it for systems that need it; where scan codes mean nothing, as
// sendKeyEvent.
uint32_t sendKeyWithScan(uint32_t vk, uint32_t scan, bool down);
// The number of records taken, as sendKeyEvent's.
uint32_t sendMouseInput(int32_t dx, int32_t dy, uint32_t mouseData, uint32_t flags);
// The system's name of a key by virtual-key code, "Key[code]" when it has
// none; mouse buttons are named by the core (bindingName, model/mouse_buttons.h).
std::string keyDisplayName(int32_t code);
// What the key types with these modifiers (modifier_bit values) on the
// active layout ("@" for Q with AltGr on a German keyboard); empty when that
// is no printable text (Ctrl, Alt or Super among them, a dead key, nothing).
std::string keyTypedText(int32_t code, int32_t modifiers);
// Types one character (a Unicode code point): a press and release of the
// key that types it on the active layout, with Shift or AltGr held around it
// as the layout needs, else through the system's own way of typing any
// character (a spare key lent that character, a Unicode record). The number
// of records the system took: 0 when it refused the input or the character
// cannot be typed at all. Control characters are the core's to turn into keys.
uint32_t typeCharacter(char32_t character);
bool cursorPosition(int32_t& x, int32_t& y);
// Whether the system holds a key down now, by virtual-key code; Unknown
// where it cannot say, and the hooks' own tracking stands.
enum class KeyState { Unknown, Up, Down };
KeyState keyStateNow(int32_t vk);

// ---- Input capture -------------------------------------------------------

// Body of the input-capture thread: watches all input of the desktop, turns
// each native event into an InputEvent for the hook logic and carries out its
// swallows. Sets appState().captureReady once the watch is installed, and
// returns after captureThreadStop().
void captureThreadMain();
void captureThreadStop();
// Has the capture thread look at the state again at once: where swallows are
// grabs taken in advance (X11), they follow the bindings, a reassignment and
// a pick through this. Safe from any thread, the capture thread included.
void captureThreadWake();

// ---- Windows (UI thread) -----------------------------------------------------

struct ScreenRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

ScreenRect monitorWorkArea(void* window);  // nullptr: the primary monitor
// The work area of the monitor holding the point; false when no monitor does.
bool monitorWorkAreaAt(int32_t x, int32_t y, ScreenRect& area);
bool windowFrameRect(void* window, ScreenRect& rect);  // outer rectangle
void moveWindowTo(void* window, int32_t x, int32_t y);
void placeWindow(void* window, int32_t x, int32_t y, int32_t width, int32_t height);
void setAlwaysOnTop(void* window, bool on);
// Marks the window's taskbar entry while an engine or playback runs.
void showRunningInTaskbar(void* window, bool running);
void forceForeground(void* window);
void showMaximized(void* window);
void showMinimized(void* window);
void restoreIfMaximized(void* window);
void restoreIfMinimized(void* window);
// The normal (restored) outer rectangle and whether the window is maximized.
bool windowNormalPlacement(void* window, ScreenRect& rect, bool& maximized);
// Calls onPlacementSettled when a move or resize of the window has ended and
// onDestroyed when the window goes away.
void watchWindowPlacement(void* window, void (*onPlacementSettled)(void* window),
                          void (*onDestroyed)(void* window));

// A Wayland desktop session: the windows then live on its X11 compatibility
// server, and the input the program sends or watches reaches X11 windows only.
bool isWaylandSession();
// Whether the input the program sends goes through the Wayland compositor
// (its virtual pointer and keyboard), so that it reaches every window.
bool inputGoesThroughCompositor();
// Where the desktop's permission to send input through it stands, on a
// desktop that asks the person first (a remote-desktop dialog): NotAsked on
// the others, and where the program does not need to ask.
enum class InputPermission { NotAsked, Asking, Granted, Refused };
InputPermission inputPermission();
// A GNOME session, whose hotkeys the person binds as custom shortcuts.
bool isGnomeDesktop();
// The account the program runs as when it is not the one signed in to the
// desktop (started with another account's administrator credentials), as
// DOMAIN\name; empty otherwise, and where that cannot be told.
std::string otherAccountThanDesktops();

// ---- Pop-out panel windows (UI thread of a panel process) ------------------

void makeWindowFrameless(void* window);
// Outer rectangle of the top-level window with exactly this title, in any process.
bool findWindowRectByTitle(const std::string& title, ScreenRect& rect);
// Brings the top-level window with exactly this title to the front.
bool raiseWindowByTitle(const std::string& title);
// Keeps the top-level window with exactly this title, in any process, above
// other windows or no longer; false when there is no such window.
bool setAlwaysOnTopByTitle(const std::string& title, bool on);
// Moves the window with the pointer until the primary button is released.
// onHover is called when the pointer enters or leaves hoverTargetTitle's
// window, onDrop once at the end with whether it ended over that window.
void beginPanelDrag(void* window, const std::string& hoverTargetTitle,
                    void (*onHover)(bool over, void* context),
                    void (*onDrop)(bool overTarget, void* context), void* context);

// ---- Panel processes (UI thread of the main process) -------------------------

// Starts this executable with "--child" and argument; nullptr on failure.
ChildProcess* spawnPanelProcess(const std::string& argument);
enum class ProcessState { Running, Ended, Unknown };
ProcessState childProcessState(ChildProcess* child);
// Asks the child to end in order, through the same termination request a
// session's end would send it (onTerminationRequest); false when the request
// could not be delivered.
bool askChildToEnd(ChildProcess* child);
// Waits at most timeoutMs for the child to end; true once it has.
bool waitForChildEnd(ChildProcess* child, int timeoutMs);
// Ends the child at once, without asking.
void killChildProcess(ChildProcess* child);
void releaseChildProcess(ChildProcess* child);

// ---- Command pipe ------------------------------------------------------------

struct StopSignal;      // wakes a server that waits for a client
struct IpcServer;       // the listening end of "VarnetIPC"
struct IpcConnection;   // one connected client

StopSignal* stopSignalCreate();
void stopSignalRaise(StopSignal* signal);
void stopSignalDestroy(StopSignal* signal);

// nullptr when the endpoint cannot be created now.
IpcServer* ipcServerOpen();
// Why the last ipcServerOpen failed when waiting will not mend it (the
// endpoint's folder is not private, another program holds the name), in
// words for the user; empty otherwise. Call from the thread that opened.
std::string ipcServerProblem();
void ipcServerClose(IpcServer* server);
// Waits for the next client; nullptr when stop was raised or the wait failed.
IpcConnection* ipcAcceptClient(IpcServer* server, StopSignal* stop);
// Reads one message of at most capacity - 1 bytes; returns its length, or -1
// when the client has gone or the message did not fit.
int ipcReadMessage(IpcConnection* connection, char* buffer, int capacity);
void ipcCloseConnection(IpcConnection* connection);
// Client side: connects, writes the message in one write, closes. No wait and
// no retry; false when the server could not be reached.
bool ipcSendMessage(const std::string& message);
// Why the last ipcSendMessage of this thread was refused by the server's
// access rules (a Varnet at a higher integrity level than the sender, on
// Windows), in words for the user; empty when it was not refused.
std::string ipcSendRefusal();

}  // namespace platform
