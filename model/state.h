// The one process-wide record of Varnet's live state and the shared records it
// is made of. Every scalar is a single atomic value read and written without a
// lock; profilesLock guards the profile list, the current index, every
// profile's name, settings text and events, and the theme name.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "model/key_typer.h"

enum MacroEventKind : int32_t {
    AbsMove = 0,
    RelMove = 1,
    MouseButton = 2,
    KeyStroke = 3,
    Scroll = 4,
    // A text typed character by character when played; x names it
    // (model/typed_texts.h). Its own line in a file: older readers skip it.
    TypedText = 5,
};

struct MacroEvent {
    int32_t kind = AbsMove;
    double time = 0.0;  // seconds from the start of the recording
    int32_t x = 0;      // AbsMove/MouseButton: screen x; RelMove: dx
    int32_t y = 0;
    uint32_t flags = 0; // MouseButton: the MOUSEEVENTF_* action
    int32_t vk = 0;     // KeyStroke: virtual-key code
    bool down = false;  // KeyStroke: press or release
    int32_t delta = 0;  // Scroll: signed wheel delta, 120 a notch
    // KeyStroke: the keyboard's own scan code, 0xE0 in the high byte for an
    // extended key, where it is not the one vk gives on the layout of the
    // moment (the numeric pad's keys with NumLock off, a remapped key); 0
    // where vk says it all.
    uint32_t scan = 0;
};

struct Profile {
    std::string name;
    std::string settings;  // profile settings line, or empty
    std::vector<MacroEvent> events;
};

// One change of the profiles, kept so it can be taken back: carrying it out
// on the profiles turns it into the change that takes that back again.
enum class ChangeKind : uint8_t {
    SwapEvents,     // the events of profile `profile` and `held.events` trade places
    SwapProfile,    // profile `profile` and `held` trade places
    InsertProfile,  // `held` goes in at `profile`
    RemoveProfile,  // the profile at `profile` goes (into `held`)
    InsertEvent,    // `event` goes in at `eventIndex` of profile `profile`
    RemoveEvent,    // the event at `eventIndex` goes (into `event`)
    SwapEventTime,  // that event's time and `event.time` trade places
    SwapTailTimes,  // the times of the events from `eventIndex` on and those of `held.events` trade places
    SwapName,       // the name of profile `profile` and `held.name` trade places
    SwapSettings,   // the settings text of profile `profile` and `held.settings` trade places
};

struct ChangeStep {
    ChangeKind kind = ChangeKind::SwapEvents;
    size_t profile = 0;
    size_t eventIndex = 0;
    Profile held;
    MacroEvent event;
    int32_t current = 0;       // the current index it brings back
    std::string settingsLine;  // the live settings it brings back; "" leaves them
    std::string label;         // the change in words: "recording replaced 45 events"
};

// The changes that Undo and Redo take back, newest last, guarded by
// profilesLock. Both lists together hold at most `budget` events (a step
// costs its events and one more); the oldest go first, and the newest step
// stays even when it alone is larger.
struct ChangeHistory {
    std::deque<ChangeStep> undo, redo;
    size_t heldEvents = 0;
    size_t budget = 1000000;  // about 40 MB of events
};

// Where the auto-clicker clicks (locMode): under the pointer, at the fixed
// point, or at each step of the profile's sequence in turn.
enum LocationMode : int32_t { AtPointer = 0, AtFixedPoint = 1, InSequence = 2 };

// One step of a click sequence: a click (button and type as sbtn and stype)
// at a point, then a wait before the next step.
struct ClickStep {
    int32_t x = 0, y = 0;
    int32_t button = 0;  // 0 left, 1 right, 2 middle
    int32_t type = 0;    // 0 single, 1 double
    int32_t waitMs = 100;
    bool operator==(const ClickStep&) const = default;
};
// A sequence holds at most this many steps, each wait at most an hour.
constexpr size_t kMaxClickSteps = 1000;
constexpr int32_t kMaxStepWaitMs = 3600000;

// How a run of the auto-clicker or the key spammer ends (rptMode, ksRptMode).
enum RunMode : int32_t { RunCounted = 0, RunUntilStopped = 1, RunTimed = 2 };

// The settings records. Each field's default, and where each text that
// carries it puts it, is in model/settings_fields.h; appState() starts with
// those defaults.
struct ClickerSettings {
    std::atomic<int32_t> sh, sm, ss, sms;
    std::atomic<int32_t> sbtn, stype;
    std::atomic<int32_t> rptMode, rptTimes;
    std::atomic<int32_t> locMode, fixedX, fixedY;
    // A point was picked or typed in this run. No file carries it: a point
    // read from a file counts as set when it is not the default 0,0.
    std::atomic<bool> fixedPointChosen{false};
    std::atomic<int32_t> runH, runM, runS;  // the length of a timed run
    std::atomic<int32_t> rndMs, holdMs, areaPx;  // humanising spreads, 0 for none
};

struct KeySpamSettings {
    std::atomic<int32_t> ksh, ksm, kss, ksms;
    std::atomic<int32_t> ksRptMode, ksRptTimes;
    std::atomic<int32_t> keySpamTarget;
    std::atomic<int32_t> ksRunH, ksRunM, ksRunS;
    std::atomic<int32_t> ksRndMs;
    // The modifiers held around each press of the target (modifier_bit values).
    std::atomic<int32_t> keySpamTargetMods;
};

struct TrackerSettings {
    std::atomic<bool> tmv, tclk, tscr, tkey, trel;
    std::atomic<float> tspd;
    std::atomic<bool> tloop;
    std::atomic<int32_t> tloopMs;
    std::atomic<int32_t> tloopTimes;  // passes when not looping for ever
};

// The modifiers a hotkey may carry, a bit each; a set of them is their sum.
// The lock keys (Caps, Num and Scroll Lock) are none of them.
namespace modifier_bit {
constexpr int32_t Ctrl = 1, Alt = 2, Shift = 4, Super = 8;
// Right Alt, which types a layout's third level (AltGr on German and French
// keyboards); a hotkey takes it as Alt, the key spammer's target as itself.
constexpr int32_t AltGr = 16;
}  // namespace modifier_bit
constexpr int32_t kAllModifiers = 15;
constexpr int32_t kAllTargetModifiers = 31;

struct HotkeySet {
    std::atomic<int32_t> hkRec, hkPlay, hkAuto, hkKeySpam;
    // The modifiers each must be pressed with, a set of modifier_bit values.
    std::atomic<int32_t> hkRecMods, hkPlayMods, hkAutoMods, hkKeySpamMods;
};

// The main window's size at the first start and after a full reset.
constexpr int32_t kDefaultWindowWidth = 420, kDefaultWindowHeight = 560;
// The colour theme at the first start and after a full reset.
inline constexpr char kDefaultTheme[] = "modern-blue";

struct AppSettings {
    std::atomic<bool> alwaysOnTop{false}, launchOnStartup{false}, startMinimized{false};
    std::atomic<bool> hotkeysEnabled{true}, disableAnimations{false};
    std::atomic<int32_t> windowX{0}, windowY{0}, windowWidth{kDefaultWindowWidth},
        windowHeight{kDefaultWindowHeight};
    std::atomic<bool> windowMaximized{false}, windowPlacementKnown{false};
    std::atomic<bool> waylandNoticeDismissed{false};
    std::atomic<bool> welcomeDismissed{false};  // the first-start notice was read
};

enum EngineSwitch : int32_t { NoSwitch = 0, SwitchOn = 1, SwitchOff = 2 };

// The binding a reassignment waits to fill: one of the four hotkeys, or the
// key the key spammer presses.
enum class ReassignSlot : int32_t {
    NoSlot = 0,
    Record = 1,
    Play = 2,
    AutoClick = 3,
    KeySpamHotkey = 4,
    KeySpamTarget = 5,
};

// What the hooks did with a person's press of a key or button.
enum class PressFate : uint8_t {
    Passed,        // an ordinary press: it reached the windows and may be recorded
    HotkeyPassed,  // a hotkey's, while hotkeys are off: it reached the windows, never recorded
    Swallowed,     // a hotkey's or a new binding's: neither the press nor its release reach a window
};

struct ChildProcess;  // a running pop-out panel process (platform-owned)
namespace platform { struct StopSignal; }

struct AppState {
    ClickerSettings clicker;
    KeySpamSettings keySpam;
    KeyTyperSettings keyTyper;
    TrackerSettings tracker;
    HotkeySet hotkeys;
    AppSettings app;

    // Run state shared by the engines, the hooks, the control thread and the page.
    std::atomic<bool> running{true};
    std::atomic<bool> autoClicking{false}, keySpamming{false}, recording{false}, playing{false};
    std::atomic<bool> toggleSpammerRequested{false}, toggleKeySpamRequested{false};
    std::atomic<bool> toggleRecordingRequested{false}, togglePlaybackRequested{false};
    // The page's separate Start and Stop: an EngineSwitch each, applied after
    // the toggles; a Start waits for its startAt (perfCounter, 0 for at once).
    std::atomic<int32_t> clickerSwitch{0}, keySpamSwitch{0};
    std::atomic<int64_t> clickerStartAt{0}, keySpamStartAt{0};
    std::atomic<int32_t> clickCount{0}, keySpamCount{0};
    // Actions per second each engine achieved over about the last second of
    // its run (input/action_rate.h); 0 while off and in a run's first second.
    std::atomic<double> clickRate{0.0}, keySpamRate{0.0};
    // When the current run's first action was sent (perfCounter); a timed
    // run ends its length after it. Only the engine's own thread uses it.
    std::atomic<int64_t> clickerRunStart{0}, keySpamRunStart{0};
    // Why the last start of each engine was refused (a StartRefusal), 0
    // once one starts.
    std::atomic<int32_t> clickerRefused{0}, keySpamRefused{0};
    std::atomic<bool> pickingLocation{false};
    // The pending pick adds a step to the click sequence rather than moving
    // the fixed point.
    std::atomic<bool> pickAddsStep{false};
    std::atomic<ReassignSlot> reassignSlot{ReassignSlot::NoSlot};
    std::atomic<int32_t> capturedKey{0};
    // The modifiers held with it, stored before it for a hotkey's slot.
    std::atomic<int32_t> capturedModifiers{0};
    std::atomic<bool> panelHover{false};
    std::atomic<int64_t> perfFrequency{0};
    std::atomic<int64_t> recordStart{0};
    std::atomic<uint64_t> lastMousePoint{0};  // packPoint(x, y)
    std::atomic<bool> captureReady{false};    // the capture thread has installed its watch
    // The session is locked or the machine goes to sleep: sent input reaches
    // no window, so the engines wait for its return.
    std::atomic<bool> sessionAway{false};
    // A person's Escape held down: since when (perfCounter), and whether this
    // hold has stopped everything already.
    std::atomic<bool> escapeHeld{false}, escapeHoldSpent{false};
    std::atomic<int64_t> escapeDownAt{0};

    // Only the input-capture thread touches these.
    bool heldKeys[256] = {};
    bool heldButtons[7] = {};
    // What became of the press of each key and button that is down; its
    // auto-repeats and its release follow it.
    PressFate keyPressFates[256] = {};
    PressFate buttonPressFates[7] = {};
    // A person's modifier keys that are down, a bit each; the hooks set them,
    // the session watch forgets them from another thread.
    std::atomic<uint16_t> modifierKeysDown{0};

    // Profile store and theme, guarded by profilesLock.
    std::mutex profilesLock;
    std::vector<Profile> profiles;
    int32_t currentProfile = 0;
    std::string theme = kDefaultTheme;
    // The live click sequence, which the current profile's settings text
    // carries; the auto-clicker copies it when a run starts.
    std::vector<ClickStep> clickSteps;
    // Change counters, also under profilesLock, so that a reader can tell at
    // a glance that nothing changed. sessionChanges counts every change the
    // session file would show, appended events included; eventListEdits
    // counts every change to the current event list other than an append at
    // its end, and every switch to another list: whoever copied the first n
    // events at one value of it still holds them while it keeps that value.
    uint64_t sessionChanges = 0;
    uint64_t eventListEdits = 0;
    ChangeHistory history;
    // Why pop-out panels cannot reach this window (the command pipe cannot
    // be opened), "" while they can.
    std::string pipeProblem;

    // Written once before the worker threads start, read-only afterwards.
    std::string sessionPath;                // empty: the session is not saved this run
    std::vector<std::string> notices;       // what start-up has to tell the user
    platform::StopSignal* pipeStopEvent = nullptr;  // wakes the pipe server at shutdown

    // UI thread only.
    std::map<std::string, ChildProcess*> panelProcesses;
    void* mainWindow = nullptr;  // the native window of the main web view
    void* mainWebview = nullptr; // the main web view itself (sizes go through it)
};

// The single instance every part of the main process reaches.
AppState& appState();

uint64_t packPoint(int32_t x, int32_t y);
int32_t pointX(uint64_t packed);
int32_t pointY(uint64_t packed);

// Defaults restored as units by the reset operations; the profile's also
// empty the click sequence (taking profilesLock).
void resetProfileDefaults();
void resetHotkeyDefaults();
void resetTrackerDefaults();

// Each is called under profilesLock right after the change it counts:
// a change of the profiles that leaves the current list's events as they
// were (or only appends to it), and one that changes them otherwise.
void noteProfilesChanged();
void noteEventListEdited();

// A start without a session begins with this one empty profile (takes
// profilesLock itself).
void addFirstStartProfile();

// The theme name, read and replaced under profilesLock so the UI thread and
// the pipe server never see half a string.
std::string currentTheme();
void replaceTheme(const std::string& name);
