#include <filesystem>
#include <string>

#include "bridge/pipe_server.h"
#include "platform/platform.h"
#include "store/data_dir.h"
#include "tests/unit/engine_fixture.h"

namespace {

class PipeDispatch : public EngineTest {
protected:
    std::string root;
    void SetUp() override {
        EngineTest::SetUp();
        root = fake::makeTempDir();
        fake::setPlaces(root, root, root);
        replaceTheme("modern-blue");
    }
    void TearDown() override {
        std::filesystem::remove_all(root);
        replaceTheme("modern-blue");
        EngineTest::TearDown();
    }
};

}  // namespace

TEST_F(PipeDispatch, TogglesRaiseTheirRequests) {
    dispatchPanelCommand("toggleSpammer|");
    dispatchPanelCommand("toggleKeySpam|ignored");
    dispatchPanelCommand("toggleRecording|");
    dispatchPanelCommand("togglePlayback|");
    AppState& s = appState();
    EXPECT_TRUE(s.toggleSpammerRequested);
    EXPECT_TRUE(s.toggleKeySpamRequested);
    EXPECT_TRUE(s.toggleRecordingRequested);
    EXPECT_TRUE(s.togglePlaybackRequested);
}

TEST_F(PipeDispatch, StartAndStopNameTheStateAndAStartItsDelay) {
    AppState& s = appState();
    dispatchPanelCommand("startSpammer|2500");
    dispatchPanelCommand("stopKeySpam|");
    EXPECT_EQ(s.clickerSwitch, SwitchOn);
    EXPECT_EQ(s.clickerStartAt - platform::perfCounter(), 2500 * kMs);
    EXPECT_EQ(s.keySpamSwitch, SwitchOff);
    dispatchPanelCommand("startKeySpam|");
    EXPECT_EQ(s.keySpamSwitch, SwitchOn);
    EXPECT_EQ(s.keySpamStartAt, 0);
}

TEST_F(PipeDispatch, SettingsCommandsUseThePageCallsHandling) {
    dispatchPanelCommand("updateSpammer|0,0,1,0,1,1,0,5,0");
    EXPECT_EQ(appState().clicker.ss, 1);
    EXPECT_EQ(appState().clicker.sms, 0);
    EXPECT_EQ(appState().clicker.rptTimes, 5);
    dispatchPanelCommand("updateKeySpam|0,0,0,7,0,3");
    EXPECT_EQ(appState().keySpam.ksms, 7);
    EXPECT_EQ(appState().keySpam.ksRptTimes, 3);
    dispatchPanelCommand("updateKeySpam|0,0,0,9,0");  // five fields
    EXPECT_EQ(appState().keySpam.ksms, 7);
}

TEST_F(PipeDispatch, PanelHoverIsSetOnlyByExactlyOne) {
    dispatchPanelCommand("panelHover|1");
    EXPECT_TRUE(appState().panelHover);
    for (const char* message : {"panelHover|0", "panelHover|1 ", "panelHover|", "panelHover|yes"}) {
        appState().panelHover = true;
        dispatchPanelCommand(message);
        EXPECT_FALSE(appState().panelHover) << message;
    }
}

TEST_F(PipeDispatch, SetThemeTakesTheWholeArgumentAndWritesTheThemeFile) {
    dispatchPanelCommand("setTheme|dark|with bar");
    EXPECT_EQ(currentTheme(), "dark|with bar");
    EXPECT_TRUE(std::filesystem::exists(sideFilePath("theme.txt")));
}

TEST_F(PipeDispatch, BadMessagesChangeNothing) {
    for (const char* message : {"toggleSpammer", "", "|", "togglespammer|", "toggleSpammer |",
                                "toggleSpammerX|", "oggleSpammer|", "panelHover1",
                                "updateSpammer|1,2,x,4,1,1,0,5,1"}) {
        dispatchPanelCommand(message);
    }
    EXPECT_FALSE(appState().toggleSpammerRequested);
    EXPECT_FALSE(appState().panelHover);
    EXPECT_EQ(appState().clicker.ss, 0);
    EXPECT_EQ(appState().clicker.sms, 100);
}

TEST_F(PipeDispatch, TheMessageEndsAtItsFirstNul) {
    const char message[] = "toggleSpammer\0|";
    dispatchPanelCommand(message);
    EXPECT_FALSE(appState().toggleSpammerRequested);
    const char hover[] = "panelHover|1\0junk";
    dispatchPanelCommand(hover);
    EXPECT_TRUE(appState().panelHover);
}
