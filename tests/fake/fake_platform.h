// Controls of the fake backend: a test reads what the core sent, moves the
// clock, and points the file places at a folder of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

struct ChildProcess;

namespace fake {

struct SentInput {
    enum Kind { Move, Key, Mouse, Character } kind;
    int32_t x = 0, y = 0;          // Move: absolute target
    uint32_t vk = 0;               // Key
    uint32_t scan = 0;             // Key: as sendKeyWithScan got it, 0 from sendKeyEvent
    bool down = false;             // Key
    int32_t dx = 0, dy = 0;        // Mouse
    uint32_t mouseData = 0, flags = 0;
    char32_t character = 0;        // Character: as typeCharacter got it
    int64_t at = 0;                // perfCounter() when sent
    bool taken = true;             // false: refused, as a locked session refuses input
};

// Forgets every sent input and returns the clock to real time.
void reset();
std::vector<SentInput> sentInputs();
size_t sentCount();

// With a manual clock, time moves only through sleeps and advanceClock, so a
// test that runs an engine on its own thread gets exact, repeatable times.
void useManualClock(bool manual);
void advanceClock(int64_t nanoseconds);
bool manualClockInUse();

void setCursor(int32_t x, int32_t y);
void setPlaces(const std::string& dataDir, const std::string& sideFileDir,
               const std::string& executableDir);

// Called after every sent input (for tests that stop an engine mid-run).
void onSend(void (*callback)(const SentInput&));

// Pop-out panel processes are made-up pointers; a test says which have ended
// and learns which the core has let go of.
void setChildEnded(ChildProcess* child, bool ended);
bool childReleased(ChildProcess* child);

// A window of the fake backend: pass its address both as the web view and as
// the native window. Its frame adds titleBar pixels above the client area.
struct FakeWindow {
    int32_t left = 0, top = 0, width = 0, height = 0;  // client size
    int32_t titleBar = 40;
    bool topmost = false, maximized = false, foreground = false, showsRunning = false;
};

// The page's side of the web view: calls a bound function, takes the answers
// given so far (call id, result), and runs the work dispatched to the UI
// thread as that thread would.
void callPage(const std::string& name, const std::string& id, const std::string& args);
std::vector<std::pair<std::string, std::string>> takePageAnswers();
size_t runDispatched(void* webview);
size_t dispatchedCount();
// A web view the fake library makes (null: none can be made), whether the
// library loads at all, what runs inside webview_run as the page would, how
// often webview_terminate was called, and bound calls forgotten.
inline void* nextWebview = nullptr;
inline bool webviewLibraryLoads = false;
inline void (*whileRunning)() = nullptr;
int terminateCount();
void forgetPage();

// The next this many sent inputs of any kind are refused (recorded, not
// taken, and 0 returned), as a locked session or a secure desktop does.
inline std::atomic<int> refuseSends{0};

// Timer-resolution requests not given back yet.
inline std::atomic<int> timerResolutionHolds{0};

// What keyStateNow answers for each virtual key; reset() makes them Unknown.
inline platform::KeyState keyStates[256] = {};

// Called by replaceFileDurably once the temporary file is written, before
// its rename, on the saving thread: a test holds a save there.
inline void (*beforeRename)() = nullptr;

// What isWaylandSession() answers.
inline bool waylandSession = false;
inline bool inputThroughCompositor = false;
inline platform::InputPermission inputPermission = platform::InputPermission::NotAsked;
inline bool gnomeDesktop = false;
// The profile file dialogs: the file they choose ("" cancels) and the name
// the last save dialog offered.
inline std::string chosenProfileFile;
inline std::string offeredFileName;

// The start-up registration the fake keeps instead of the system's.
bool launchOnStartupRegistered();

// The fake's own process id (in its temporary file names) and the ids it
// reports as running; a test adds or removes ids.
uint64_t processId();
std::set<uint64_t>& runningProcesses();

// A fresh empty folder under the system's temporary folder.
std::string makeTempDir();

}  // namespace fake
