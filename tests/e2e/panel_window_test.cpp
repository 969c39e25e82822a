// Pop-out panels as real processes on a private X server: where the panel
// window opens, how its header drags it, docking it back by dropping it on
// the main window, and the main process starting and ending its panels.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tests/e2e/harness.h"
#include "tests/e2e/panel_x11.h"

namespace {

const char kMainTitle[] = "Varnet (Kestrine Edition)";
const char kPanelTitle[] = "Varnet (Keys)";

// Two panels; the header is tall and its button sits at a known place. The
// page fits the panel window to 460 x 300 once the panel script has run, so
// that size tells the test the page is ready. In the main window it pops the
// keys panel out in the way the test asks.
const char kPanelPage[] = R"(<!DOCTYPE html><html><head><style>
  body { visibility: hidden; margin: 0; }
  .panel-header { position: relative; height: 60px; background: #ccd; }
  .panel-btn { position: absolute; left: 300px; top: 10px; width: 60px; height: 40px; }
</style></head><body><div id="dashboard">
  <section class="panel" id="other-panel"><div class="panel-header">Other</div></section>
  <section class="panel" id="keys-panel">
    <div class="panel-header">Keys<button class="panel-btn">x</button></div><p>keys</p>
  </section>
</div><script>
  function resizeHostWindow() { window.resizeWindow(460, 300); }ENTER_PANEL_MODE
  if (window.popOutPanel) { POP_OUT }
</script></body></html>)";

const char kPopOnce[] = "window.popOutPanel('Keys|keys-panel|900|300');";

std::string panelPage(const std::string& popOut = kPopOnce) {
    std::string page = kPanelPage;
    page.replace(page.find("ENTER_PANEL_MODE"), 16, e2e::kEnterPanelModeScript);
    page.replace(page.find("POP_OUT"), 7, popOut);
    return page;
}

// The running processes started by parent whose command line holds text.
int childrenWith(pid_t parent, const std::string& text) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;  // not a process
        const std::string stat = e2e::readFile(entry.path().string() + "/stat");
        const size_t end = stat.rfind(')');
        if (end == std::string::npos) continue;
        int parentOfEntry = 0;
        char state = 0;
        if (std::sscanf(stat.c_str() + end + 1, " %c %d", &state, &parentOfEntry) != 2) continue;
        if (parentOfEntry != parent || state == 'Z') continue;
        std::string commandLine = e2e::readFile(entry.path().string() + "/cmdline");
        count += commandLine.find(text) != std::string::npos;
    }
    return count;
}

class PanelWindow : public ::testing::Test {
protected:
    e2e::XServer x;
    e2e::Folders folders;
    pid_t pid = -1;
    e2e::StandInWindow* standIn = nullptr;
    void SetUp() override {
        x = e2e::startXServer();
        folders = e2e::makeFolders();
    }
    void TearDown() override {
        if (pid > 0) e2e::terminateAndWait(pid, 5000);
        e2e::closeStandInWindow(standIn);
        e2e::stopXServer(x);
        e2e::removeFolders(folders);
    }
    // The keys panel as popOutPanel starts it for a pointer at (900, 300): it
    // opens up and to the left of the pointer, and its script has run.
    void startReadyPanel() {
        pid = e2e::startVarnet(x, folders, {"--child", "Keys|keys-panel|900|300|dark"},
                               e2e::binaryWithPage(folders, panelPage()));
        e2e::WindowBox box;
        ASSERT_TRUE(e2e::waitForWindowBox(x, kPanelTitle, 460, 300, 20000, box));
        ASSERT_EQ(box.x, 750);
        ASSERT_EQ(box.y, 280);
    }
    // A drag of the header from the window's place at (left, top) 100 px right
    // and down: its arrival shows that the panel took every earlier press,
    // move and release, and that none of them had moved the window.
    bool headerStillDragsFrom(int left, int top) {
        e2e::pressAndMove(x, left + 100, top + 20, left + 200, top + 120, 10);
        const bool arrived = e2e::waitForWindowAt(x, kPanelTitle, left + 100, top + 100, 15000);
        e2e::releasePointer(x);
        return arrived;
    }
};

}  // namespace

TEST_F(PanelWindow, BareOptionOpensTheDefaultPanelWindow) {
    pid = e2e::startVarnet(x, folders, {"--child"});
    e2e::WindowBox box;
    EXPECT_TRUE(e2e::waitForWindowBox(x, "Varnet (Panel)", 450, 400, 20000, box));
}

// The page asks for the drag from its mousedown handler, which can take a
// while on a loaded machine; the window then jumps to keep the pressed point
// under the pointer, so the tests wait for that place before they release.
TEST_F(PanelWindow, HeaderDragMovesTheWindowAndADropElsewhereKeepsItOpen) {
    startReadyPanel();
    e2e::pressAndMove(x, 850, 300, 950, 500, 10);
    EXPECT_TRUE(e2e::waitForWindowAt(x, kPanelTitle, 850, 480, 15000));
    e2e::releasePointer(x);
    EXPECT_TRUE(headerStillDragsFrom(850, 480)) << "the drop ended the drag and kept the panel";
    EXPECT_TRUE(e2e::processAlive(pid));
}

TEST_F(PanelWindow, PressesOnTheHeaderButtonOrTheBodyDoNotDrag) {
    startReadyPanel();
    e2e::pressAndMove(x, 750 + 330, 280 + 30, 1000, 600, 6);  // the header's button
    e2e::releasePointer(x);
    e2e::pressAndMove(x, 850, 280 + 150, 1000, 700, 6);  // below the header
    e2e::releasePointer(x);
    EXPECT_TRUE(headerStillDragsFrom(750, 280));
}

TEST_F(PanelWindow, DroppedOnTheMainWindowItDocksAndEnds) {
    standIn = e2e::openStandInWindow(x, kMainTitle, 0, 0, 400, 500);
    startReadyPanel();
    e2e::pressAndMove(x, 850, 300, 200, 200, 10);
    EXPECT_TRUE(e2e::waitForWindowAt(x, kPanelTitle, 100, 180, 15000));
    e2e::releasePointer(x);
    EXPECT_EQ(e2e::waitForExit(pid, 5000), 0);
    pid = -1;
}

TEST_F(PanelWindow, PassingOverTheMainWindowIsNoDrop) {
    standIn = e2e::openStandInWindow(x, kMainTitle, 0, 0, 400, 500);
    startReadyPanel();
    e2e::pressAndMove(x, 850, 300, 200, 200, 5);
    EXPECT_TRUE(e2e::waitForWindowAt(x, kPanelTitle, 100, 180, 15000));
    e2e::movePointer(x, 200, 200, 600, 700, 5);
    e2e::releasePointer(x);
    EXPECT_TRUE(e2e::waitForWindowAt(x, kPanelTitle, 500, 680, 15000));
    EXPECT_TRUE(headerStillDragsFrom(500, 680)) << "the panel is open and its drag has ended";
    EXPECT_TRUE(e2e::processAlive(pid));
}

TEST_F(PanelWindow, MainProcessPopsAPanelOutAndEndsItWhenItCloses) {
    pid = e2e::startVarnet(x, folders, {}, e2e::binaryWithPage(folders, panelPage()));
    e2e::WindowBox box;
    ASSERT_TRUE(e2e::waitForWindowBox(x, kPanelTitle, 460, 300, 20000, box));
    EXPECT_EQ(box.x, 750);
    pid_t panel = e2e::windowProcess(x, kPanelTitle);
    ASSERT_TRUE(e2e::processAlive(panel));
    ASSERT_TRUE(e2e::closeWindow(x, kMainTitle));
    EXPECT_EQ(e2e::waitForExit(pid, 10000), 0);
    pid = -1;
    EXPECT_FALSE(e2e::processAlive(panel));
    EXPECT_EQ(e2e::countWindows(x, kPanelTitle), 0);
}

TEST_F(PanelWindow, SecondPopOutOfAnOpenPanelStartsNoSecondProcess) {
    pid = e2e::startVarnet(x, folders, {}, e2e::binaryWithPage(folders, panelPage(
        "window.popOutPanel('Keys|keys-panel|900|300');"
        "setTimeout(() => { window.popOutPanel('Keys|keys-panel|100|100');"
        "                   window.popOutPanel('Other|other-panel|300|900'); }, 1500);")));
    e2e::WindowBox box;
    ASSERT_TRUE(e2e::waitForWindowBox(x, kPanelTitle, 460, 300, 20000, box));
    // The main process takes the page's calls in order: once the other panel
    // has started, the second pop-out of the keys panel has been handled.
    ASSERT_TRUE(e2e::waitForWindowBox(x, "Varnet (Other)", 460, 300, 20000, box));
    EXPECT_EQ(childrenWith(pid, "keys-panel"), 1);
    EXPECT_EQ(childrenWith(pid, "other-panel"), 1);
    EXPECT_EQ(e2e::countWindows(x, kPanelTitle), 1);
}

TEST_F(PanelWindow, UntrackedPanelIsReapedWhenItCloses) {
    pid = e2e::startVarnet(x, folders, {},
                           e2e::binaryWithPage(folders, panelPage("window.popOutPanel('Lonely');")));
    e2e::WindowBox box;
    ASSERT_TRUE(e2e::waitForWindowBox(x, "Varnet (Lonely)", 460, 300, 20000, box));
    pid_t panel = e2e::windowProcess(x, "Varnet (Lonely)");
    ASSERT_TRUE(e2e::processAlive(panel));
    ASSERT_TRUE(e2e::closeWindow(x, "Varnet (Lonely)"));
    EXPECT_TRUE(e2e::waitForProcessGone(panel, 15000));
    EXPECT_TRUE(e2e::processAlive(pid));
}
