// The real program on a headless kwin: its clicks and keys reach a native
// Wayland window through KDE's fake input. kwin starts once for all cases,
// on a session bus of its own; the program's windows stay on a private X
// server, as they would on XWayland.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/compositor_cases.h"
#include "tests/e2e/compositor_suite.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/kwin_session.h"
#include "tests/e2e/pipe_sender.h"

namespace {

namespace fs = std::filesystem;

class OnKwin : public e2e::CompositorSuite<OnKwin> {
protected:
    static inline e2e::KwinSession kwin;

    static void SetUpTestSuite() {
        if (!e2e::kwinInstalled()) {
            skipReason = "kwin_wayland or dbus-daemon is not installed (scripts/setup test installs them)";
            return;
        }
        makeSessionFolders();
        installMenuEntry(folders.root);
        if (e2e::startKwin(kwin, folders.root, folders.runtime, VARNET_WAYLAND_CLIENT, true, setupFailure))
            setupFailure = startProgram();
        log = kwin.log;
    }

    // kwin offers the fake input to the program our menu entry names, as it
    // would to the installed one: the entry as packaged, naming the build's.
    static void installMenuEntry(const std::string& home) {
        const std::string applications = home + "/.local/share/applications";
        fs::create_directories(applications);
        std::string entry = e2e::readFile(std::string(VARNET_SOURCE_DIR) + "/packaging/linux/org.varnet.Varnet.desktop.in");
        const std::string placeholder = "@VARNET_BINDIR@/varnet";
        entry.replace(entry.find(placeholder), placeholder.size(), VARNET_BINARY);
        e2e::writeFile(applications + "/org.varnet.Varnet.desktop", entry);
        // The tests' client presses the hotkeys through the fake input too.
        e2e::writeFile(applications + "/org.varnet.TestClient.desktop",
                       "[Desktop Entry]\nType=Application\nName=Test client\nExec=" +
                           std::string(VARNET_WAYLAND_CLIENT) + "\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n");
    }

    // The program finds the compositor through WAYLAND_DISPLAY and KDE's
    // shortcut service on DBUS_SESSION_BUS_ADDRESS, as it would in the
    // session; the runtime folder it is given is kwin's. The first case
    // clicks as soon as the pipe is open, which may be before the program
    // has made its fake device (kwin's virtual seat has a pointer of its
    // own, so nothing here shows when it has): its clicks must still go
    // through kwin.
    static std::string startProgram() {
        x = e2e::startXServer();
        varnet = e2e::startVarnetIn(kwin.env, x, folders);
        if (!e2e::waitForPipe(e2e::pipePath(folders), 20000)) return "the program did not open its command pipe";
        return "";
    }

    static void TearDownTestSuite() {
        endProgram();
        e2e::stopKwin(kwin);
        removeServerAndFolders();
    }

    void command(const std::string& text) {
        const pid_t pid = e2e::spawnProcess({VARNET_BINARY, "--command", text}, kwin.env);
        ASSERT_EQ(e2e::waitForExit(pid, 10000), 0) << text;
    }
    e2e::SendCommand sender() {
        return [this](const std::string& text) { command(text); };
    }
    // Through kwin's fake input, which its menu entry grants the client.
    e2e::PressKey presser() {
        return [](const char* keysym) {
            const pid_t pid = e2e::spawnProcess({VARNET_WAYLAND_CLIENT, "press", keysym}, kwin.env);
            ASSERT_EQ(e2e::waitForExit(pid, 10000), 0) << "did kwin refuse the client its fake input?";
        };
    }
};

}  // namespace

TEST_F(OnKwin, CountedClicksAtAFixedPointArriveThere) {
    e2e::expectCountedClicksAtTheFixedPoint(*log, sender());
}

TEST_F(OnKwin, KeySpammerPressesTheSpaceBarCountedTimes) {
    e2e::expectCountedSpaceBarPresses(*log, sender());
}

// kwin takes modifiers from the keys alone: the numeric pad's 1 comes
// between two taps of NumLock, which its level needs, and a Shift the macro
// holds itself is left alone. Its wheel is continuous, a notch a request.
TEST_F(OnKwin, PlaybackSendsMovesButtonsAndKeysAsRecorded) {
    e2e::expectPlaybackSends(
        *log, sender(),
        {"motion 640 360", "button 272 1", "button 272 0", "motion 655 350", "motion 640 360", "button 273 1",
         "button 273 0", "button 274 1", "button 274 0", "button 275 1", "button 275 0", "button 276 1",
         "button 276 0", "scroll 0 -15", "scroll 0 -15", "key a 1", "key a 0", "key Num_Lock 1",
         "key Num_Lock 0", "key KP_1 1", "key Num_Lock 1", "key Num_Lock 0", "key Num_Lock 1", "key Num_Lock 0",
         "key KP_1 0", "key Num_Lock 1", "key Num_Lock 0", "key Shift_L 1", "key A 1", "key A 0",
         "key Shift_L 0"},
        {"motion ", "button ", "scroll ", "key "});
}

// The hotkeys are shortcuts of KDE's shortcut service: kwin takes their keys
// from the focused window and the program carries them out.
TEST_F(OnKwin, TheClickerHotkeyIsAKdeShortcut) {
    e2e::expectTheClickerHotkeyTakesItsKey(*log, sender(), presser());
}

TEST_F(OnKwin, AHotkeyWithAModifierIsAShortcutWithIt) {
    e2e::expectAHotkeyWithAModifierTakesOnlyThatCombination(*log, sender(), presser());
}

// Last of the cases on kwin: the program's end gives the keys back, so F6
// reaches the window again.
TEST_F(OnKwin, EndingTheProgramGivesItsShortcutsBack) {
    ASSERT_EQ(e2e::terminateAndWait(varnet, 10000), 0);
    varnet = -1;
    const size_t from = log->size();
    presser()("F6");
    EXPECT_TRUE(log->waitFor("key F6 1", from, 10000));
}
