// Recording, hotkeys, picking and playback of the running program, driven by
// input that it must take as a person's and watched by an independent
// XInput2 observer and a focused window of the test's own.
#include <gtest/gtest.h>
// After gtest: Xlib's macros would clash with its names.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>
#include <poll.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include "tests/e2e/harness.h"
#include "tests/e2e/person_input.h"

namespace {

// Polls the status so that status.txt and macroevents.txt stay fresh.
const char kPollingPage[] =
    "<!doctype html><html><body><script>"
    "setInterval(function(){ if (window.getTrackerStatus) window.getTrackerStatus(); }, 30);"
    "</script></body></html>";
const char kPickingPage[] =
    "<!doctype html><html><body><script>"
    "window.pickLocation();"
    "setInterval(function(){ if (window.getTrackerStatus) window.getTrackerStatus(); }, 30);"
    "</script></body></html>";

// Gives up the pick it asked for once the program has reported it pending
// for a few polls, as the page does at its time limit or on Cancel.
const char kGivingUpPickPage[] =
    "<!doctype html><html><body><script>"
    "var pendingSeen = 0;"
    "window.pickLocation();"
    "setInterval(function(){ window.getTrackerStatus().then(function(st){"
    "  if (st && st.picking && ++pendingSeen === 5) window.cancelPick(); }); }, 30);"
    "</script></body></html>";

const char kReassigningPage[] =
    "<!doctype html><html><body><script>"
    "window.reassignKey('keyspamtarget');"
    "setInterval(function(){ if (window.getTrackerStatus) window.getTrackerStatus(); }, 30);"
    "</script></body></html>";

const char kReassignAutoClickPage[] =
    "<!doctype html><html><body><script>"
    "window.reassignKey('auto');"
    "setInterval(function(){ if (window.getTrackerStatus) window.getTrackerStatus(); }, 30);"
    "</script></body></html>";

const char kRelativePage[] =
    "<!doctype html><html><body><script>"
    "window.updateTracker(true, true, true, true, true, 1, false, 500);"
    "setInterval(function(){ if (window.getTrackerStatus) window.getTrackerStatus(); }, 30);"
    "</script></body></html>";

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

struct RawSeen {
    int type = 0, detail = 0, sourceid = 0;
    int64_t at = 0;
    Time serverTime = 0;  // ms, stamped by the server: free of the observer's own lag
};

// An observer of its own: every raw key, button and motion with its source.
struct RawWatch {
    Display* display = nullptr;
    int opcode = 0;
    int xtestPointer = 0, xtestKeyboard = 0;
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::vector<RawSeen> seen;
    std::thread thread;

    bool open(const std::string& name) {
        display = XOpenDisplay(name.c_str());
        int event, error, major = 2, minor = 2;
        if (!display || !XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) return false;
        XIQueryVersion(display, &major, &minor);
        int count = 0;
        XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
        for (int i = 0; i < count; ++i) {
            if (!std::strcmp(devices[i].name, "Virtual core XTEST pointer")) xtestPointer = devices[i].deviceid;
            if (!std::strcmp(devices[i].name, "Virtual core XTEST keyboard")) xtestKeyboard = devices[i].deviceid;
        }
        XIFreeDeviceInfo(devices);
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        for (int type : {XI_RawKeyPress, XI_RawKeyRelease, XI_RawButtonPress, XI_RawButtonRelease, XI_RawMotion})
            XISetMask(bits, type);
        XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
        XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
        XSync(display, False);
        thread = std::thread([this] { run(); });
        return true;
    }
    void run() {
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        while (!stop) {
            poll(&fd, 1, 10);
            while (XPending(display)) {
                XEvent event;
                XNextEvent(display, &event);
                XGenericEventCookie& cookie = event.xcookie;
                if (cookie.type != GenericEvent || cookie.extension != opcode) continue;
                if (!XGetEventData(display, &cookie)) continue;
                auto* raw = static_cast<XIRawEvent*>(cookie.data);
                std::lock_guard<std::mutex> guard(lock);
                seen.push_back({cookie.evtype, raw->detail, raw->sourceid, nowNs(), raw->time});
                XFreeEventData(display, &cookie);
            }
        }
    }
    void close() {
        stop = true;
        if (thread.joinable()) thread.join();
        if (display) XCloseDisplay(display);
        display = nullptr;
    }
    size_t mark() {
        std::lock_guard<std::mutex> guard(lock);
        return seen.size();
    }
    std::vector<RawSeen> all() {
        std::lock_guard<std::mutex> guard(lock);
        return seen;
    }
    // Key and button events since the mark that came from the XTest slaves.
    std::vector<RawSeen> syntheticSince(size_t from) {
        std::lock_guard<std::mutex> guard(lock);
        std::vector<RawSeen> out;
        for (size_t i = from; i < seen.size(); ++i) {
            const RawSeen& e = seen[i];
            if (e.type == XI_RawMotion) continue;
            if (e.sourceid == xtestPointer || e.sourceid == xtestKeyboard) out.push_back(e);
        }
        return out;
    }
};

// A window that covers the screen and has the focus, standing for the
// application the user works in.
struct FocusedWindow {
    Display* display = nullptr;
    Window window = 0;
    std::vector<XEvent> events;

    bool open(const std::string& name) {
        display = XOpenDisplay(name.c_str());
        if (!display) return false;
        const int screen = DefaultScreen(display);
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask;
        window = XCreateWindow(display, RootWindow(display, screen), 0, 0, 1280, 1024, 0, CopyFromParent,
                               InputOutput, CopyFromParent, CWOverrideRedirect | CWEventMask, &attributes);
        XMapRaised(display, window);
        XSync(display, False);
        pause(100);
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XSync(display, False);
        return true;
    }
    void collect() {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            events.push_back(event);
        }
    }
    bool sawKey(KeySym keysym, int type) { return keyCount(keysym, type) > 0; }
    int keyCount(KeySym keysym, int type) {
        collect();
        const KeyCode keycode = XKeysymToKeycode(display, keysym);
        int count = 0;
        for (const XEvent& e : events) count += e.type == type && e.xkey.keycode == keycode;
        return count;
    }
    // Whether another client holds the keyboard: our own grab of it fails.
    bool keyboardGrabbedElsewhere() {
        const int result = XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync,
                                         CurrentTime);
        if (result == GrabSuccess) XUngrabKeyboard(display, CurrentTime);
        XSync(display, False);
        return result == AlreadyGrabbed;
    }
    bool sawButton(unsigned button, int type) {
        collect();
        for (const XEvent& e : events)
            if (e.type == type && e.xbutton.button == button) return true;
        return false;
    }
    void close() {
        if (display) XCloseDisplay(display);
        display = nullptr;
    }
};

class Recording : public ::testing::Test {
protected:
    void SetUp() override {
        x = e2e::startXServer();
        folders = e2e::makeFolders();
        ASSERT_TRUE(e2e::openPersonInput(person, x.display, true));
    }
    void TearDown() override {
        if (pid > 0) e2e::terminateAndWait(pid, 10000);
        watch.close();
        focused.close();
        e2e::closePersonInput(person);
        e2e::stopXServer(x);
        e2e::removeFolders(folders);
    }
    void start(const char* page) {
        pid = e2e::startVarnet(x, folders, {}, e2e::binaryWithPage(folders, page));
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(e2e::waitForWindow(x, "Varnet (Kestrine Edition)", 30000));
        ASSERT_TRUE(e2e::waitForFile(status(), 30000));
        ASSERT_TRUE(focused.open(x.display));
        ASSERT_TRUE(watch.open(x.display));
    }
    std::string status() const { return folders.sideFile("status.txt"); }
    std::string events() const { return folders.sideFile("macroevents.txt"); }
    bool statusHas(const std::string& fragment, int timeoutMs = 5000) {
        for (int waited = 0; waited < timeoutMs; waited += 10) {
            if (e2e::readFile(status()).find(fragment) != std::string::npos) return true;
            pause(10);
        }
        return false;
    }
    template <typename Done>
    static bool waitFor(Done done, int timeoutMs = 5000) {
        for (int waited = 0; waited < timeoutMs; waited += 10) {
            if (done()) return true;
            pause(10);
        }
        return done();
    }
    bool keyboardFree(bool free) {
        return waitFor([&] { return focused.keyboardGrabbedElsewhere() != free; });
    }
    void personCtrlF6() {
        e2e::personKey(person, XK_Control_L, true);
        e2e::personTap(person, XK_F6);
        e2e::personKey(person, XK_Control_L, false);
    }
    bool waitForState(const std::string& state, int timeoutMs = 5000) {
        return statusHas("{\"state\":\"" + state + "\"", timeoutMs);
    }

    e2e::XServer x;
    e2e::Folders folders;
    e2e::PersonInput person;
    FocusedWindow focused;
    RawWatch watch;
    pid_t pid = -1;
};

std::vector<std::string> descriptions(const std::string& list) {
    std::vector<std::string> out;
    const std::string key = "\"desc\":\"";
    for (size_t at = list.find(key); at != std::string::npos; at = list.find(key, at)) {
        at += key.size();
        out.push_back(list.substr(at, list.find('"', at) - at));
    }
    return out;
}

std::vector<double> eventTimes(const std::string& list) {
    std::vector<double> out;
    const std::string key = "\"time\":";
    for (size_t at = list.find(key); at != std::string::npos; at = list.find(key, at)) {
        at += key.size();
        out.push_back(std::stod(list.substr(at)));
    }
    return out;
}

}  // namespace

TEST_F(Recording, HotkeysAndAPickNeverReachTheFocusedWindow) {
    start(kPickingPage);
    pause(200);
    // The key-spam hotkey, on and off again: it presses keys only.
    e2e::personTap(person, XK_F9);
    e2e::personTap(person, XK_F9);
    e2e::personTap(person, XK_b);
    e2e::personMoveTo(person, 800, 600);
    e2e::personButton(person, 1, true);
    pause(50);
    e2e::personButton(person, 1, false);
    pause(300);
    EXPECT_FALSE(focused.sawKey(XK_F9, KeyPress));
    EXPECT_FALSE(focused.sawKey(XK_F9, KeyRelease));
    EXPECT_TRUE(focused.sawKey(XK_b, KeyPress));
    // The pick takes the press; its release goes on to the window.
    EXPECT_FALSE(focused.sawButton(1, ButtonPress));
    EXPECT_TRUE(focused.sawButton(1, ButtonRelease));
    // The next click is the window's again.
    e2e::personButton(person, 1, true);
    e2e::personButton(person, 1, false);
    pause(200);
    EXPECT_TRUE(focused.sawButton(1, ButtonPress));
    // The picked point is the auto-clicker's, in the live settings and the profile's copy.
    EXPECT_EQ(e2e::terminateAndWait(pid, 10000), 0);
    pid = -1;
    const std::string session = e2e::readFile(folders.sessionFile());
    EXPECT_NE(session.find("SETTINGS:0,0,0,100,0,0,1,10,1,800,600,"), std::string::npos) << session;
    EXPECT_NE(session.find("PROFILESETTINGS:0,0,0,100,0,0,1,10,1,800,600,"), std::string::npos) << session;
}

// A pick the page gave up ends in the program at once: a person's next left
// click reaches the window under the pointer and sets no point.
TEST_F(Recording, APickThePageGaveUpLetsThePersonsNextClickThrough) {
    start(kGivingUpPickPage);
    ASSERT_TRUE(statusHas("\"picking\":true"));
    ASSERT_TRUE(statusHas("\"picking\":false"));
    e2e::personMoveTo(person, 800, 600);
    e2e::personButton(person, 1, true);
    e2e::personButton(person, 1, false);
    EXPECT_TRUE(waitFor([&] { return focused.sawButton(1, ButtonPress); }));
    EXPECT_TRUE(waitFor([&] { return focused.sawButton(1, ButtonRelease); }));
    const std::string settings = e2e::readFile(folders.sideFile("settings.txt"));
    EXPECT_NE(settings.find(R"("locMode":0,"fixedX":0,"fixedY":0,)"), std::string::npos) << settings;
}

TEST_F(Recording, RecordsAPersonsInputAndPlaysItBackAtTheRecordedTimes) {
    start(kPollingPage);
    e2e::personMoveTo(person, 100, 100);
    pause(100);
    e2e::personTap(person, XK_F8);
    ASSERT_TRUE(waitForState("Recording"));
    pause(100);
    e2e::personMoveTo(person, 200, 150);
    pause(60);
    e2e::personMoveTo(person, 300, 200);
    pause(60);
    e2e::personButton(person, 1, true);
    pause(40);
    e2e::personButton(person, 1, false);
    pause(60);
    e2e::personKey(person, XK_a, true);
    pause(30);
    e2e::personKey(person, XK_a, false);
    pause(60);
    e2e::personExtraButton(person, 5, true);
    e2e::personExtraButton(person, 5, false);
    pause(60);
    e2e::personExtraButton(person, 8, true);
    pause(30);
    e2e::personExtraButton(person, 8, false);
    pause(100);
    e2e::personTap(person, XK_F8);
    ASSERT_TRUE(waitForState("Idle"));
    pause(100);

    EXPECT_FALSE(focused.sawKey(XK_F8, KeyPress));
    EXPECT_FALSE(focused.sawKey(XK_F8, KeyRelease));
    EXPECT_TRUE(focused.sawKey(XK_a, KeyPress));

    const std::string list = e2e::readFile(events());
    std::vector<std::string> descs = descriptions(list);
    ASSERT_EQ(descs.size(), 9u) << list;
    EXPECT_EQ(descs[0], "Abs Move to X:200 Y:150");
    EXPECT_EQ(descs[1], "Abs Move to X:300 Y:200");
    EXPECT_EQ(descs[2], "Mouse Click at X:300 Y:200");
    EXPECT_EQ(descs[3], "Mouse Click at X:300 Y:200");
    EXPECT_EQ(descs[4], "Keyboard VK: 65 (DOWN)");
    EXPECT_EQ(descs[5], "Keyboard VK: 65 (UP)");
    EXPECT_EQ(descs[6], "Mouse Scroll Delta: -120");
    EXPECT_EQ(descs[7].rfind("Mouse Click at", 0), 0u);
    EXPECT_EQ(descs[8].rfind("Mouse Click at", 0), 0u);
    const std::vector<double> recorded = eventTimes(list);

    const size_t mark = watch.mark();
    e2e::personTap(person, XK_F7);
    ASSERT_TRUE(waitForState("Playing", 2000));
    ASSERT_TRUE(waitForState("Idle"));
    pause(200);
    EXPECT_FALSE(focused.sawKey(XK_F7, KeyPress));

    // Keys and buttons as XTest input, in order: left click, A, a wheel notch, side button.
    const std::vector<RawSeen> played = watch.syntheticSince(mark);
    const int a = XKeysymToKeycode(focused.display, XK_a);
    const std::pair<int, int> expected[] = {
        {XI_RawButtonPress, 1}, {XI_RawButtonRelease, 1}, {XI_RawKeyPress, a}, {XI_RawKeyRelease, a},
        {XI_RawButtonPress, 5}, {XI_RawButtonRelease, 5}, {XI_RawButtonPress, 8}, {XI_RawButtonRelease, 8}};
    ASSERT_EQ(played.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(played[i].type, expected[i].first) << i;
        EXPECT_EQ(played[i].detail, expected[i].second) << i;
    }
    // The same gaps as recorded. The margin allows for a loaded machine; the
    // fidelity benchmark measures the real precision.
    const size_t recordedIndex[] = {2, 3, 4, 5, 6, 6, 7, 8};
    for (size_t i = 1; i < 8; ++i) {
        if (recordedIndex[i] == recordedIndex[i - 1]) continue;
        const double playedGap = double(played[i].at - played[0].at) / 1e9;
        const double recordedGap = recorded[recordedIndex[i]] - recorded[recordedIndex[0]];
        EXPECT_NEAR(playedGap, recordedGap, 0.015) << i;
    }
}

TEST_F(Recording, AHotkeyAnotherProgramHoldsLeavesTheProgramRunning) {
    Display* other = XOpenDisplay(x.display.c_str());
    ASSERT_NE(other, nullptr);
    XGrabKey(other, XKeysymToKeycode(other, XK_F8), AnyModifier, DefaultRootWindow(other), False,
             GrabModeAsync, GrabModeAsync);
    XSync(other, False);
    start(kPollingPage);
    pause(500);  // the program's own grab of F8 has failed by now
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0);  // still running
    EXPECT_TRUE(e2e::windowExists(x, "Varnet (Kestrine Edition)"));
    XCloseDisplay(other);
}

TEST_F(Recording, ANewKeySpamTargetIsTakenFromTheKeyboardOnly) {
    start(kReassigningPage);
    ASSERT_TRUE(statusHas("\"reassigning\":\"keyspamtarget\""));
    pause(100);  // the keyboard grab follows within a poll
    e2e::personButton(person, 3, true);
    e2e::personButton(person, 3, false);
    pause(100);
    EXPECT_TRUE(focused.sawButton(3, ButtonPress));  // a button is no candidate for the target
    e2e::personKey(person, XK_k, true);
    pause(50);
    e2e::personKey(person, XK_k, false);
    EXPECT_TRUE(statusHas("\"keySpamTarget\":\"K\",\"reassigning\":\"\"")) << e2e::readFile(status());
    pause(100);
    EXPECT_FALSE(focused.sawKey(XK_k, KeyPress));
    EXPECT_FALSE(focused.sawKey(XK_k, KeyRelease));
    // With the reassignment done the keyboard is the window's again.
    e2e::personTap(person, XK_j);
    pause(200);
    EXPECT_TRUE(focused.sawKey(XK_j, KeyPress));
}

// A person binds Ctrl+F6 to the auto-clicker; F6 alone then belongs to the
// focused window again, and Ctrl+F6 toggles the clicker, Caps Lock on or off.
TEST_F(Recording, AHotkeyWithCtrlLeavesThePlainKeyToTheWindow) {
    start(kReassignAutoClickPage);
    ASSERT_TRUE(statusHas("\"reassigning\":\"auto\""));
    ASSERT_TRUE(keyboardFree(false)) << "the keyboard is taken while a binding is awaited";
    personCtrlF6();
    ASSERT_TRUE(statusHas("\"hkAuto\":\"Ctrl+F6\"")) << e2e::readFile(status());
    ASSERT_TRUE(keyboardFree(true));
    EXPECT_EQ(focused.keyCount(XK_F6, KeyPress), 0);

    e2e::personTap(person, XK_F6);
    EXPECT_TRUE(waitFor([&] { return focused.sawKey(XK_F6, KeyRelease); }));
    EXPECT_FALSE(statusHas("\"autoClicking\":true", 500)) << "F6 alone toggles nothing";

    personCtrlF6();
    EXPECT_TRUE(statusHas("\"autoClicking\":true"));
    e2e::personTap(person, XK_Caps_Lock);
    personCtrlF6();
    EXPECT_TRUE(statusHas("\"autoClicking\":false"));
    EXPECT_EQ(focused.keyCount(XK_F6, KeyPress), 1);
    EXPECT_EQ(focused.keyCount(XK_F6, KeyRelease), 1);
}

TEST_F(Recording, RelativeRecordingTakesTheMouseMotionItself) {
    start(kRelativePage);
    pause(200);
    e2e::personTap(person, XK_F8);
    ASSERT_TRUE(waitForState("Recording"));
    e2e::personMoveBy(person, 10, -5);
    pause(30);
    e2e::personMoveBy(person, -3, 7);
    pause(30);
    e2e::personExtraButton(person, 4, true);
    e2e::personExtraButton(person, 4, false);
    pause(50);
    e2e::personTap(person, XK_F8);
    ASSERT_TRUE(waitForState("Idle"));
    pause(100);
    const std::string list = e2e::readFile(events());
    EXPECT_EQ(descriptions(list),
              (std::vector<std::string>{"Rel Move dX:10 dY:-5", "Rel Move dX:-3 dY:7", "Mouse Scroll Delta: 120"}))
        << list;
}

TEST_F(Recording, AKeyTheLayoutGainsLaterIsRecordedByItsNewName) {
    start(kPollingPage);
    // Keycode 200 types nothing in the standard map; give it F13 now.
    KeySym f13 = XK_F13;
    XChangeKeyboardMapping(focused.display, 200, 1, &f13, 1);
    XSync(focused.display, False);
    pause(200);
    e2e::personTap(person, XK_F8);
    ASSERT_TRUE(waitForState("Recording"));
    e2e::personKeycode(person, 200, true);
    e2e::personKeycode(person, 200, false);
    pause(50);
    e2e::personTap(person, XK_F8);
    ASSERT_TRUE(waitForState("Idle"));
    pause(100);
    const std::string list = e2e::readFile(events());
    EXPECT_EQ(descriptions(list), (std::vector<std::string>{"Keyboard VK: 124 (DOWN)", "Keyboard VK: 124 (UP)"}))
        << list;
}

TEST_F(Recording, F7StopsAHostileScrollWithinASecond) {
    // Each event asks for the widest turn a file can hold; together they
    // would keep the wheel busy for many seconds.
    std::string session = "SETTINGS:0,0,0,100,0,0,1,10,0,0,0,1,1,1,1,0,1,0,500,119,118,0,117,0,0,0,100,1,10,120,32\r\n"
                          "CURRENT:0\r\nPROFILE:hostile\r\n";
    for (int i = 0; i < 200; ++i) session += "4,0,0,0,0,0,0,2147483647\r\n";
    std::filesystem::create_directories(folders.data + "/Varnet");
    e2e::writeFile(folders.sessionFile(), session);
    start(kPollingPage);
    auto wheelPresses = [this] {
        std::vector<RawSeen> presses;
        for (const RawSeen& e : watch.syntheticSince(0))
            if (e.type == XI_RawButtonPress && e.detail == 4) presses.push_back(e);
        return presses;
    };
    e2e::personTap(person, XK_F7);
    for (int waited = 0; waited < 20000 && wheelPresses().size() < 100; waited += 5) pause(5);
    ASSERT_GE(wheelPresses().size(), 100u);
    e2e::personTap(person, XK_F7);
    ASSERT_TRUE(waitForState("Idle", 5000));
    // Until quiet (no wheel press for 300 ms), or 10 s of a wheel that never stops.
    for (size_t seen = 0, waited = 0; seen != wheelPresses().size() && waited < 10000; waited += 300) {
        seen = wheelPresses().size();
        pause(300);
    }
    const int f7 = XKeysymToKeycode(focused.display, XK_F7);
    Time stopPressed = 0;
    for (const RawSeen& e : watch.all())
        if (e.type == XI_RawKeyPress && e.detail == f7) stopPressed = e.serverTime;
    const std::vector<RawSeen> presses = wheelPresses();
    EXPECT_LT(presses.size(), 200000u);
    EXPECT_LT(long(presses.back().serverTime) - long(stopPressed), 1000);
    EXPECT_EQ(e2e::terminateAndWait(pid, 5000), 0);
    pid = -1;
}
