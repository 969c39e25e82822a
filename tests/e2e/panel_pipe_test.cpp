// The main process and its pop-out panels talking across real processes: a
// panel's commands reach the main process through the command pipe, a panel
// reads the status the main process writes, and a panel that ends comes back
// to the main window through exactly one status report.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>
#include <vector>

#include "tests/e2e/harness.h"
#include "tests/e2e/panel_x11.h"

namespace {

const char kMainTitle[] = "Varnet (Kestrine Edition)";
const char kPanelTitle[] = "Varnet (Keys)";

// The main window runs MAIN_SIDE, each panel PANEL_SIDE; theme.txt is where
// both leave what they saw, as the main process writes it on every setTheme.
const char kPage[] = R"(<!DOCTYPE html><html><head><style>
  body { visibility: hidden; margin: 0; }
  .panel-header { height: 60px; background: #ccd; }
</style></head><body><div id="dashboard">
  <section class="panel" id="keys-panel"><div class="panel-header">Keys</div></section>
</div><script>
  const pause = (ms) => new Promise((done) => setTimeout(done, ms));
  function resizeHostWindow() { window.resizeWindow(460, 300); }ENTER_PANEL_MODE
  async function mainSide() { MAIN_SIDE }
  async function panelSide() { PANEL_SIDE }
  if (window.popOutPanel) mainSide(); else panelSide();
</script></body></html>)";

std::string page(const std::string& mainSide, const std::string& panelSide) {
    std::string text = kPage;
    text.replace(text.find("ENTER_PANEL_MODE"), 16, e2e::kEnterPanelModeScript);
    text.replace(text.find("MAIN_SIDE"), 9, mainSide);
    text.replace(text.find("PANEL_SIDE"), 10, panelSide);
    return text;
}

// The main page polls the status as the real page does, and names in theme.txt
// how often the keys panel came back and which hover states it saw.
const char kWatchRestoreAndHover[] = R"(
    window.popOutPanel('Keys|keys-panel|900|300');
    let restored = 0, hovers = [false], told = '';
    for (;;) {
      const s = await window.getTrackerStatus();
      restored += s.restore.filter((id) => id === 'keys-panel').length;
      if (s.panelHover !== hovers[hovers.length - 1]) hovers.push(s.panelHover);
      const text = 'restored-' + restored + '-hover-' + hovers.join('-');
      if (text !== told) { told = text; await window.setTheme(text); }
      await pause(50);
    })";

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class PanelPipe : public ::testing::Test {
protected:
    e2e::XServer x;
    e2e::Folders folders;
    pid_t pid = -1;
    pid_t manager = -1;
    void SetUp() override {
        x = e2e::startXServer();
        folders = e2e::makeFolders();
    }
    void TearDown() override {
        if (pid > 0) e2e::terminateAndWait(pid, 10000);
        e2e::stopWindowManager(manager);
        e2e::stopXServer(x);
        e2e::removeFolders(folders);
    }
    std::string theme() { return e2e::readFile(folders.sideFile("theme.txt")); }
    bool waitForTheme(const std::string& text, int timeoutMs) {
        return e2e::waitForFileContent(folders.sideFile("theme.txt"), text, timeoutMs);
    }
    void startMain(const std::string& pageText) {
        pid = e2e::startVarnet(x, folders, {}, e2e::binaryWithPage(folders, pageText));
    }
};

}  // namespace

TEST_F(PanelPipe, PanelCommandReachesTheMainProcessThroughThePipe) {
    startMain(page("window.popOutPanel('Keys|keys-panel|900|300');",
                   "await window.setTheme('from-the-panel');"));
    EXPECT_TRUE(waitForTheme("from-the-panel", 30000)) << theme();
}

TEST_F(PanelPipe, PanelReadsTheStatusTheMainProcessWrites) {
    startMain(page(R"(
        window.popOutPanel('Keys|keys-panel|900|300');
        await window.reassignKey('rec');
        for (;;) { await window.getTrackerStatus(); await pause(100); })",
                   R"(
        for (;;) {
          const s = await window.getTrackerStatus();
          if (s.reassigning === 'rec') { await window.setTheme('panel-saw-' + s.reassigning); return; }
          await pause(100);
        })"));
    EXPECT_TRUE(waitForTheme("panel-saw-rec", 30000)) << theme();
}

TEST_F(PanelPipe, ClosingAPanelListsItInExactlyOneRestore) {
    startMain(page(kWatchRestoreAndHover, ""));
    e2e::WindowBox box;
    ASSERT_TRUE(e2e::waitForWindowBox(x, kPanelTitle, 460, 300, 30000, box));
    pid_t panel = e2e::windowProcess(x, kPanelTitle);
    ASSERT_TRUE(waitForTheme("restored-0-hover-false", 10000)) << theme();
    ASSERT_TRUE(e2e::closeWindow(x, kPanelTitle));
    EXPECT_TRUE(waitForTheme("restored-1-hover-false", 10000)) << theme();
    pause(1000);
    EXPECT_EQ(theme(), "restored-1-hover-false");
    // The report that named it also collected its exit.
    EXPECT_TRUE(e2e::waitForProcessGone(panel, 1000));
}

TEST_F(PanelPipe, DockingByDropShowsTheHoverAndRestoresThePanel) {
    startMain(page(kWatchRestoreAndHover, ""));
    e2e::WindowBox box;
    ASSERT_TRUE(e2e::waitForWindowBox(x, kPanelTitle, 460, 300, 30000, box));
    ASSERT_TRUE(waitForTheme("restored-0-hover-false", 10000)) << theme();
    e2e::WindowBox main;
    ASSERT_TRUE(e2e::windowBox(x, kMainTitle, main));
    e2e::pressAndMove(x, 850, 300, main.x + main.width / 2, main.y + main.height / 2, 10);
    EXPECT_TRUE(waitForTheme("restored-0-hover-false-true", 15000)) << theme();
    e2e::releasePointer(x);
    EXPECT_TRUE(waitForTheme("restored-1-hover-false-true-false", 10000)) << theme();
    EXPECT_EQ(e2e::countWindows(x, kPanelTitle), 0);
}

// A panel starts from the user's settings, not the defaults, so a change of
// one value there sends the others back as the user left them.
TEST_F(PanelPipe, PanelStartsFromTheUsersSettingsAndKeepsThem) {
    startMain(page(R"(
        await window.updateSpammer(0, 0, 0, 20, 0, 0, 1, 10, 0);
        await window.getTrackerStatus();
        window.popOutPanel('Keys|keys-panel|900|300');
        for (;;) { await window.getTrackerStatus(); await pause(100); })",
                   R"(
        const s = await window.getSettings();
        await window.updateSpammer(s.sh, s.sm, s.ss, s.sms, 1, s.stype, s.rptMode, s.rptTimes, s.locMode);
        await window.setTheme('panel-saw-' + s.sms);)"));
    ASSERT_TRUE(waitForTheme("panel-saw-20", 30000)) << theme();
    ASSERT_EQ(e2e::terminateAndWait(pid, 10000), 0);
    pid = -1;
    const std::string session = e2e::readFile(folders.sessionFile());
    EXPECT_EQ(session.rfind("SETTINGS:0,0,0,20,1,0,1,10,0,", 0), 0u) << session;
}

// Several panels fire their commands at the same moment; each command
// deletes one event of the main process's profile, so what is left says how
// many arrived.
TEST_F(PanelPipe, SeveralPanelsSendingAtOnceLoseNothing) {
    const int panels = 6, commandsEach = 100, events = panels * commandsEach + 10;
    std::string session =
        "SETTINGS:0,0,0,100,0,0,1,10,0,0,0,1,1,1,1,0,1,0,500,119,118,0,117,0,0,0,100,1,10,120,32\r\n"
        "CURRENT:0\r\nPROFILE:Default Tracking Profile\r\n";
    for (int i = 0; i < events; ++i) session += "0,0.5,10,10,0,0,0,0\r\n";
    std::filesystem::create_directories(folders.data + "/Varnet");
    e2e::writeFile(folders.sessionFile(), session);
    std::string popOuts;
    for (int i = 0; i < panels; ++i) {
        popOuts += "window.popOutPanel('P" + std::to_string(i) + "|keys-panel-" + std::to_string(i) +
                   "|" + std::to_string(200 + 100 * i) + "|" + std::to_string(100 + 80 * i) + "');";
    }
    startMain(page(popOuts + R"(
        let told = -1;
        for (;;) {
          const s = await window.getTrackerStatus();
          if (s.count !== told && s.count !== )" + std::to_string(events) + R"() {
            told = s.count; await window.setTheme('count-' + s.count);
          }
          await pause(100);
        })",
                   R"(
        for (;;) {
          const t = await window.getSharedTheme();
          if (t === 'go' || t.startsWith('count-')) break;
          await pause(50);
        }
        for (let i = 0; i < )" + std::to_string(commandsEach) + R"(; ++i) window.deleteEvent(0);)"));
    for (int i = 0; i < panels; ++i) {
        e2e::WindowBox box;
        ASSERT_TRUE(e2e::waitForWindowBox(x, "Varnet (P" + std::to_string(i) + ")", 460, 300, 60000, box));
    }
    pause(2000);  // every panel page is polling for the word
    e2e::writeFile(folders.sideFile("theme.txt"), "go");
    std::string last;
    for (int stableFor = 0; stableFor < 3000; stableFor += 100) {
        pause(100);
        if (theme() != last) {
            last = theme();
            stableFor = 0;
        }
    }
    ASSERT_EQ(last.rfind("count-", 0), 0u) << last;
    int arrived = events - std::stoi(last.substr(6));
    std::cout << "[ figure ] " << panels << " panels x " << commandsEach << " commands sent at once: "
              << arrived << " of " << panels * commandsEach << " arrived\n";
    EXPECT_EQ(arrived, panels * commandsEach);
}

// The main process's theme reaches the panel's page through its command line
// and the injected script; a theme name written to look like script stays a
// name all the way.
TEST_F(PanelPipe, HostileThemeNameArrivesAsDataInThePanel) {
    const std::string hostile = "x');window.setTheme('pwned');(' </script><b>";
    std::filesystem::create_directories(folders.config + "/varnet");
    e2e::writeFile(folders.sideFile("theme.txt"), hostile);
    std::string pageText = page("window.popOutPanel('Keys|keys-panel|900|300');", "");
    pageText.replace(pageText.find("function resizeHostWindow"), 0,
                     "function applyTheme(name) {"
                     "  if (window.beginWindowDrag) window.setTheme('applied:' + name); }\n  ");
    startMain(pageText);
    EXPECT_TRUE(waitForTheme("applied:" + hostile, 30000)) << theme();
    pause(1000);
    EXPECT_EQ(theme(), "applied:" + hostile);
}

// Under a window manager the panel sits in a frame of the manager's, and the
// main window is found inside its own frame.
TEST_F(PanelPipe, UnderAWindowManagerDockingByDropRestoresThePanel) {
    manager = e2e::startWindowManager(x);
    if (manager < 0) GTEST_SKIP() << "openbox is not installed";
    startMain(page(kWatchRestoreAndHover, ""));
    e2e::WindowBox panel, main;
    ASSERT_TRUE(e2e::waitForWindowBox(x, kPanelTitle, 460, 300, 30000, panel));
    ASSERT_TRUE(waitForTheme("restored-0-hover-false", 10000)) << theme();
    ASSERT_TRUE(e2e::windowBox(x, kMainTitle, main));
    e2e::pressAndMove(x, panel.x + 100, panel.y + 20, main.x + main.width / 2,
                      main.y + main.height / 2, 10);
    EXPECT_TRUE(waitForTheme("restored-0-hover-false-true", 15000)) << theme();
    // The window follows the pointer, the pressed point staying under it.
    EXPECT_TRUE(e2e::waitForWindowAt(x, kPanelTitle, main.x + main.width / 2 - 100,
                                     main.y + main.height / 2 - 20, 5000));
    e2e::releasePointer(x);
    EXPECT_TRUE(waitForTheme("restored-1-hover-false-true-false", 10000)) << theme();
}

// Three panels popped out one after another under a window manager that
// places windows itself: each opens beside the main window, over neither it
// nor another panel, in a process listed as "varnet", and the windows carry
// the class the menu entry names.
TEST_F(PanelPipe, UnderAWindowManagerPanelsOpenBesideTheMainWindowAndEachOther) {
    manager = e2e::startWindowManager(x);
    if (manager < 0) GTEST_SKIP() << "openbox is not installed";
    std::filesystem::create_directories(folders.config + "/varnet");
    e2e::writeFile(folders.sideFile("appsettings.txt"), "windowX=20\r\nwindowY=20\r\nwindowWidth=420\r\nwindowHeight=560\r\n");
    std::string pageText = page(R"(
        for (const id of ['a', 'b', 'c']) {
          window.popOutPanel('P' + id + '|' + id + '-panel');
          while ((await window.getSharedTheme()) !== 'up-' + id + '-panel') await pause(50);
        })", R"(
        for (;;) {
          const shown = [...document.querySelectorAll('.panel')].find((p) => p.style.display === 'block');
          if (shown) { await window.setTheme('up-' + shown.id); return; }
          await pause(50);
        })");
    pageText.replace(pageText.find("window.resizeWindow(460, 300)"), 29, "window.resizeWindow(300, 200)");
    const std::string sections = R"(<section class="panel" id="a-panel"><div class="panel-header">A</div></section>
      <section class="panel" id="b-panel"><div class="panel-header">B</div></section>
      <section class="panel" id="c-panel"><div class="panel-header">C</div></section>)";
    const size_t keys = pageText.find(R"(<section class="panel" id="keys-panel">)");
    pageText.replace(keys, pageText.find("</section>", keys) + 10 - keys, sections);
    startMain(pageText);
    ASSERT_TRUE(waitForTheme("up-c-panel", 60000)) << theme();

    struct Boxes {
        const e2e::XServer* x;
        std::vector<e2e::WindowBox> all;  // the main window first
    } boxes{&x, {}};
    auto apart = [](const void* p) {
        auto* b = const_cast<Boxes*>(static_cast<const Boxes*>(p));
        b->all.assign(4, e2e::WindowBox{});
        const char* titles[] = {kMainTitle, "Varnet (Pa)", "Varnet (Pb)", "Varnet (Pc)"};
        for (size_t i = 0; i < 4; ++i)
            if (!e2e::windowBox(*b->x, titles[i], b->all[i])) return false;
        for (size_t i = 0; i < 4; ++i)
            for (size_t j = i + 1; j < 4; ++j) {
                const e2e::WindowBox& m = b->all[i];
                const e2e::WindowBox& n = b->all[j];
                if (m.x < n.x + n.width && n.x < m.x + m.width && m.y < n.y + n.height && n.y < m.y + m.height)
                    return false;
            }
        return true;
    };
    const bool separate = e2e::waitUntil(15000, apart, &boxes);
    std::string seen;
    for (const e2e::WindowBox& b : boxes.all)
        seen += " " + std::to_string(b.x) + "," + std::to_string(b.y) + " " + std::to_string(b.width) + "x" +
                std::to_string(b.height);
    EXPECT_TRUE(separate) << seen;
    for (size_t i = 1; i < boxes.all.size(); ++i) {
        EXPECT_GE(boxes.all[i].x, boxes.all[0].x + boxes.all[0].width) << seen;
        EXPECT_LE(boxes.all[i].x + boxes.all[i].width, 1280) << seen;
        EXPECT_LE(boxes.all[i].y + boxes.all[i].height, 1024) << seen;
    }

    const std::string entry = e2e::readFile(std::string(VARNET_BUILD_DIR) + "/install/org.varnet.Varnet.desktop");
    const size_t key = entry.find("StartupWMClass=");
    ASSERT_NE(key, std::string::npos) << entry;
    const std::string wmClass = entry.substr(key + 15, entry.find('\n', key) - key - 15);
    EXPECT_EQ(e2e::windowClass(x, kMainTitle), "varnet." + wmClass);
    EXPECT_EQ(e2e::windowClass(x, "Varnet (Pa)"), "varnet." + wmClass);
    const pid_t panel = e2e::windowProcess(x, "Varnet (Pb)");
    ASSERT_GT(panel, 0);
    EXPECT_EQ(e2e::readFile("/proc/" + std::to_string(panel) + "/comm"), "varnet\n");
}

// A pipe that cannot be opened reaches the page as the status's pipeProblem
// (a runtime folder whose socket path is too long for a socket address).
TEST_F(PanelPipe, APipeThatCannotBeOpenedIsReportedInTheStatus) {
    folders.runtime = folders.root + "/" + std::string(110, 'r');
    std::filesystem::create_directories(folders.runtime);
    startMain(page("for (;;) { await window.getTrackerStatus(); await pause(100); }", ""));
    const std::string status = folders.sideFile("status.txt");
    const std::string expected = R"("pipeProblem":"the socket path )" + folders.runtime + "/VarnetIPC is too long";
    const std::pair<const std::string*, const std::string*> both{&status, &expected};
    EXPECT_TRUE(e2e::waitUntil(30000, [](const void* p) {
        auto* pair = static_cast<const std::pair<const std::string*, const std::string*>*>(p);
        return e2e::readFile(*pair->first).find(*pair->second) != std::string::npos;
    }, &both)) << e2e::readFile(status);
}
