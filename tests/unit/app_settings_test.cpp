#include <gtest/gtest.h>

#include "bridge/page_calls.h"
#include "model/version.h"
#include "store/app_settings.h"
#include "tests/unit/store_fixture.h"

namespace {

using AppSettingsFile = StoreTest;

const char kDefaultsFile[] =
    "alwaysOnTop=0\r\nlaunchOnStartup=0\r\nstartMinimized=0\r\nhotkeysEnabled=1\r\n"
    "disableAnimations=0\r\nwindowX=0\r\nwindowY=0\r\nwindowWidth=420\r\nwindowHeight=560\r\n"
    "windowMaximized=0\r\n";

}  // namespace

TEST_F(AppSettingsFile, ReadsOnlyExactKeysAndValues) {
    writeBytes(side + "/appsettings.txt",
               "alwaysOnTop=true\nstartMinimized=1\r\nhotkeysEnabled=01\n windowX=5\n"
               "windowY=100\nwindowWidth=abc\nwindowHeight=700px\nnoequals\n\n"
               "disableAnimations=1\ndisableAnimations=0\nwindowMaximized=1\nother=1\n");
    readAppSettings();
    const AppSettings& a = appState().app;
    EXPECT_FALSE(a.alwaysOnTop);
    EXPECT_TRUE(a.startMinimized);
    EXPECT_FALSE(a.hotkeysEnabled);
    EXPECT_FALSE(a.disableAnimations);  // a later line wins
    EXPECT_TRUE(a.windowMaximized);
    EXPECT_EQ(a.windowX, 0);            // the key with a leading space is unknown
    EXPECT_EQ(a.windowY, 100);
    EXPECT_FALSE(a.windowPlacementKnown);  // no windowX line
    EXPECT_EQ(a.windowWidth, 420);
    EXPECT_EQ(a.windowHeight, 700);
    writeBytes(side + "/appsettings.txt", "windowX=-1920\n");
    readAppSettings();
    EXPECT_EQ(a.windowX, -1920);
    EXPECT_TRUE(a.windowPlacementKnown);
}

TEST_F(AppSettingsFile, WritesTheTenLinesAndReportsTheFlags) {
    writeAppSettings();
    EXPECT_EQ(readBytes(side + "/appsettings.txt"), kDefaultsFile);
    EXPECT_EQ(callGetAppSettings("[]"),
              R"({"alwaysOnTop":false,"launchOnStartup":false,"startMinimized":false,)"
              R"("hotkeysEnabled":true,"disableAnimations":false,"version":")" +
                  std::string(varnetVersion()) + R"(","waylandSession":false,"waylandNoticeDismissed":false,)"
                  R"("inputThroughCompositor":false,"inputPermission":"","gnomeDesktop":false,"welcomeDismissed":false})");
}

TEST_F(AppSettingsFile, ReportsTheDesktopsAnswerToTheInputRequest) {
    using platform::InputPermission;
    const std::pair<InputPermission, const char*> cases[] = {
        {InputPermission::NotAsked, R"("inputPermission":"")"},
        {InputPermission::Asking, R"("inputPermission":"asking")"},
        {InputPermission::Granted, R"("inputPermission":"granted")"},
        {InputPermission::Refused, R"("inputPermission":"refused")"},
    };
    fake::gnomeDesktop = true;
    for (const auto& [permission, expected] : cases) {
        fake::inputPermission = permission;
        const std::string settings = callGetAppSettings("[]");
        EXPECT_NE(settings.find(std::string(expected) + R"(,"gnomeDesktop":true,)"), std::string::npos) << settings;
    }
    fake::inputPermission = InputPermission::NotAsked;
    fake::gnomeDesktop = false;
}

TEST_F(AppSettingsFile, ADismissedNoticeIsRememberedInALineWrittenOnlyOnceSet) {
    fake::waylandSession = true;
    const struct {
        const char* name;
        const char* line;
        const char* reported;
    } notices[] = {
        {"waylandNoticeDismissed", "waylandNoticeDismissed=1\r\n", R"("waylandSession":true,"waylandNoticeDismissed":true,)"},
        {"welcomeDismissed", "welcomeDismissed=1\r\n", R"("welcomeDismissed":true})"},
    };
    for (const auto& notice : notices) {
        resetAppStateForTest();
        writeAppSettings();
        callSetAppSetting(std::string("[\"") + notice.name + "\",\"1\"]");
        EXPECT_EQ(readBytes(side + "/appsettings.txt"), std::string(kDefaultsFile) + notice.line);
        resetAppStateForTest();
        readAppSettings();
        EXPECT_NE(callGetAppSettings("[]").find(notice.reported), std::string::npos) << notice.name;
    }
    fake::waylandSession = false;
}

TEST_F(AppSettingsFile, SetAppSettingTakesOnlyTheTextOne) {
    fake::FakeWindow window;
    appState().mainWindow = &window;
    callSetAppSetting(R"(["alwaysOnTop",true])");
    EXPECT_FALSE(appState().app.alwaysOnTop);
    callSetAppSetting(R"(["alwaysOnTop",1])");
    EXPECT_TRUE(appState().app.alwaysOnTop);
    EXPECT_TRUE(window.topmost);
    EXPECT_NE(readBytes(side + "/appsettings.txt").find("alwaysOnTop=1\r\n"), std::string::npos);
    callSetAppSetting(R"(["launchOnStartup","1"])");
    EXPECT_TRUE(fake::launchOnStartupRegistered());
    callSetAppSetting(R"(["launchOnStartup","0"])");
    EXPECT_FALSE(fake::launchOnStartupRegistered());
    callSetAppSetting(R"(["windowX","1"])");
    EXPECT_EQ(appState().app.windowX, 0);
}

TEST_F(AppSettingsFile, WrongFieldCountWritesNothingUnknownNameRewrites) {
    callSetAppSetting(R"(["hotkeysEnabled","0","extra"])");
    callSetAppSetting(R"(["hotkeysEnabled"])");
    EXPECT_TRUE(appState().app.hotkeysEnabled);
    EXPECT_FALSE(std::filesystem::exists(side + "/appsettings.txt"));
    callSetAppSetting(R"(["nonsense","1"])");
    EXPECT_EQ(readBytes(side + "/appsettings.txt"), kDefaultsFile);
}

TEST_F(AppSettingsFile, PlacementIsSavedAndReadBack) {
    fake::FakeWindow window{-100, 50, 600, 400, 40, false, true, false};
    saveWindowPlacement(&window);
    resetAppStateForTest();
    readAppSettings();
    const AppSettings& a = appState().app;
    EXPECT_TRUE(a.windowPlacementKnown);
    EXPECT_EQ(a.windowX, -100);
    EXPECT_EQ(a.windowY, 50);
    EXPECT_EQ(a.windowWidth, 600);
    EXPECT_EQ(a.windowHeight, 440);
    EXPECT_TRUE(a.windowMaximized);
}
