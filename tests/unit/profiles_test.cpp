#include <gtest/gtest.h>

#include "bridge/page_calls.h"
#include "platform/platform.h"
#include "store/change_history.h"
#include "store/profiles.h"
#include "store/session_file.h"
#include "store/theme_file.h"
#include "tests/unit/store_fixture.h"

namespace {

class Profiles : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        MacroEvent move;
        move.time = 0.5;
        setProfiles({Profile{"P", "1,0,0,100,0,0,1,10,0,0,0,0,0,0,100,1,10,32", {move}},
                     Profile{"Q", "2,0,0,100,0,0,1,10,0,0,0,0,0,0,100,1,10,33", {move, move}},
                     Profile{"R", "", {}}},
                    0);
    }
    std::vector<std::string> names() {
        std::vector<std::string> out;
        for (const Profile& p : profilesCopy()) out.push_back(p.name);
        return out;
    }
};

}  // namespace

TEST_F(Profiles, DeletingMovesTheCurrentIndexAndKeepsTheLast) {
    callSwitchProfile("[2]");
    callDeleteProfile("[]");
    EXPECT_EQ(names(), (std::vector<std::string>{"P", "Q"}));
    EXPECT_EQ(currentIndex(), 1);
    EXPECT_EQ(appState().clicker.sh, 2);  // Q's settings applied
    callSwitchProfile("[0]");
    callDeleteProfile("[]");
    EXPECT_EQ(names(), (std::vector<std::string>{"Q"}));
    EXPECT_EQ(currentIndex(), 0);
    callDeleteProfile("[]");
    EXPECT_EQ(names(), (std::vector<std::string>{"Q"}));
}

TEST_F(Profiles, SwitchingAppliesSettingsOrDefaults) {
    appState().tracker.tspd = 2.5f;
    callSwitchProfile(R"(["1"])");
    EXPECT_EQ(currentIndex(), 1);
    EXPECT_EQ(appState().clicker.sh, 2);
    EXPECT_EQ(appState().keySpam.keySpamTarget, 33);
    callSwitchProfile("[2]");  // empty settings: the defaults
    EXPECT_EQ(appState().clicker.sh, 0);
    EXPECT_EQ(appState().keySpam.keySpamTarget, 32);
    EXPECT_FLOAT_EQ(appState().tracker.tspd, 2.5f);  // not per profile
    for (const char* bad : {"[5]", "[-1]", "[x]", "[]"}) callSwitchProfile(bad);
    EXPECT_EQ(currentIndex(), 2);
}

TEST_F(Profiles, AddCopiesTheLiveSettingsAndRefusesEmptyNames) {
    appState().clicker.sms = 250;
    callAddProfile(R"(["My, [best] profile"])");
    callAddProfile(R"([""])");
    callAddProfile(R"([[]""])");
    std::vector<Profile> p = profilesCopy();
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[3].name, "My, best profile");
    EXPECT_EQ(p[3].settings, formatProfileSettings());
    EXPECT_TRUE(p[3].events.empty());
    EXPECT_EQ(currentIndex(), 3);
    EXPECT_EQ(appState().clicker.sms, 250);
}

TEST_F(Profiles, EveryListChangeIsRefusedWhileRecording) {
    callSwitchProfile("[1]");
    appState().recording = true;
    callClearProfile("[]");
    callAddProfile(R"(["new"])");
    callDeleteProfile("[]");
    callSwitchProfile("[0]");
    EXPECT_EQ(callRenameProfile(R"(["new"])"), R"({"done":false,"message":"Stop recording first."})");
    EXPECT_EQ(callDuplicateProfile(R"(["new"])"), R"({"done":false,"message":"Stop recording first."})");
    EXPECT_EQ(names(), (std::vector<std::string>{"P", "Q", "R"}));
    EXPECT_EQ(currentIndex(), 1);
    EXPECT_EQ(profilesCopy()[1].events.size(), 2u);
}

TEST_F(Profiles, ClearEmptiesOnlyTheCurrentProfile) {
    callSwitchProfile("[1]");
    appState().tracker.tmv = false;
    callClearProfile("[]");
    std::vector<Profile> p = profilesCopy();
    EXPECT_TRUE(p[1].events.empty());
    EXPECT_EQ(p[1].settings, "0,0,0,100,0,0,1,10,0,0,0,0,0,0,100,1,10,32");
    EXPECT_EQ(p[0].events.size(), 1u);
    EXPECT_FALSE(appState().tracker.tmv);
}

TEST_F(Profiles, GetProfilesEscapesNames) {
    setProfiles({Profile{"Default Tracking Profile", "", {}}, Profile{"Work", "", {}}}, 1);
    EXPECT_EQ(callGetProfiles("[]"),
              R"({"current":1,"names":["Default Tracking Profile","Work"],"cap":-1})");
    callAddProfile(R"(["say \"hi\""])");  // arrives as say \hi\ once the quotes are stripped
    callAddProfile("[\"tab\there\"]");
    const std::string json = callGetProfiles("");
    EXPECT_NE(json.find(R"("say \\hi\\")"), std::string::npos);
    EXPECT_NE(json.find(R"("tab\u0009here")"), std::string::npos);
}

TEST_F(Profiles, StoreProfileSettingsFollowsTheLiveValues) {
    callSwitchProfile("[1]");
    appState().clicker.fixedX = -7;
    storeProfileSettings();
    EXPECT_EQ(profilesCopy()[1].settings, formatProfileSettings());
    EXPECT_EQ(profilesCopy()[0].settings, "1,0,0,100,0,0,1,10,0,0,0,0,0,0,100,1,10,32");
}

TEST_F(Profiles, ResetEverythingStopsRecordingAndRestoresFactoryValues) {
    fake::FakeWindow window{300, 900, 800, 900, 40, true, true, false};
    appState().mainWindow = &window;
    appState().mainWebview = &window;
    callSwitchProfile("[1]");
    AppState& s = appState();
    s.recording = true;
    s.autoClicking = true;
    s.tracker.tloopMs = 1;
    s.hotkeys.hkRec = 5;
    s.app.alwaysOnTop = true;
    s.app.hotkeysEnabled = false;
    s.app.launchOnStartup = true;
    platform::setLaunchOnStartup(true);
    replaceTheme("dark");
    callResetEverything("[]");
    EXPECT_FALSE(s.recording);
    EXPECT_FALSE(s.autoClicking);
    EXPECT_EQ(s.clicker.sh, 0);
    EXPECT_EQ(s.tracker.tloopMs, 500);
    EXPECT_EQ(s.hotkeys.hkRec, 119);
    EXPECT_FALSE(s.app.alwaysOnTop);
    EXPECT_TRUE(s.app.hotkeysEnabled);
    EXPECT_FALSE(fake::launchOnStartupRegistered());
    EXPECT_EQ(currentTheme(), "modern-blue");
    EXPECT_EQ(readBytes(side + "/theme.txt"), "modern-blue");
    // The window: not topmost, restored, 420 x 560 client, centred in 1920 x 1040.
    EXPECT_FALSE(window.topmost);
    EXPECT_FALSE(window.maximized);
    EXPECT_EQ(window.width, 420);
    EXPECT_EQ(window.height, 560);
    EXPECT_EQ(window.left, (1920 - 420) / 2);
    EXPECT_EQ(window.top, (1040 - 600) / 2);
    EXPECT_EQ(s.app.windowX, 750);
    EXPECT_EQ(s.app.windowHeight, 600);  // outer height
    EXPECT_NE(readBytes(side + "/appsettings.txt").find("windowX=750\r\n"), std::string::npos);
    // Only the current profile is emptied; the list and index stay.
    std::vector<Profile> p = profilesCopy();
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(currentIndex(), 1);
    EXPECT_TRUE(p[1].events.empty());
    EXPECT_EQ(p[1].settings, "0,0,0,100,0,0,1,10,0,0,0,0,0,0,100,1,10,32");
    EXPECT_EQ(p[0].events.size(), 1u);
}

// Rename and duplicate refuse what a new name may not be, say exactly what
// they changed, and are taken back by Undo like the other profile changes.
TEST_F(Profiles, RenameAndDuplicateCheckTheNameAndCanBeUndone) {
    callSwitchProfile("[1]");
    const std::string tooLong(65, 'n');
    const struct {
        std::string (*call)(const std::string&);
        std::string args, answer;
    } refused[] = {
        {callRenameProfile, R"([""])", R"({"done":false,"message":"Type a name for the profile."})"},
        {callRenameProfile, "[\"" + tooLong + "\"]",
         R"({"done":false,"message":"A profile's name has at most 64 characters."})"},
        {callRenameProfile, R"(["P"])", "{\"done\":false,\"message\":\"There is a profile named \u201cP\u201d already.\"}"},
        {callRenameProfile, R"(["Q"])", "{\"done\":false,\"message\":\"\u201cQ\u201d keeps its name.\"}"},
        {callDuplicateProfile, R"(["Q"])", "{\"done\":false,\"message\":\"There is a profile named \u201cQ\u201d already.\"}"},
    };
    for (const auto& r : refused) EXPECT_EQ(r.call(r.args), r.answer) << r.args;
    EXPECT_EQ(names(), (std::vector<std::string>{"P", "Q", "R"}));

    // 64 characters of two bytes each are 64 characters.
    std::string greek;
    for (int i = 0; i < 64; ++i) greek += "\xCE\xA9";
    EXPECT_EQ(callRenameProfile("[\"" + greek + "\"]"),
              "{\"done\":true,\"message\":\"Renamed \u201cQ\u201d to \u201c" + greek + "\u201d.\"}");
    EXPECT_EQ(callRenameProfile(R"(["Quiet"])"),
              "{\"done\":true,\"message\":\"Renamed \u201c" + greek + "\u201d to \u201cQuiet\u201d.\"}");
    EXPECT_EQ(callDuplicateProfile(R"(["Copy"])"),
              "{\"done\":true,\"message\":\"Duplicated \u201cQuiet\u201d as \u201cCopy\u201d.\"}");
    std::vector<Profile> p = profilesCopy();
    EXPECT_EQ(names(), (std::vector<std::string>{"P", "Quiet", "R", "Copy"}));
    EXPECT_EQ(currentIndex(), 3);
    EXPECT_EQ(p[3].settings, p[1].settings);
    EXPECT_EQ(p[3].events.size(), 2u);
    EXPECT_EQ(appState().clicker.sh, 2);  // the copy's settings are Q's

    EXPECT_TRUE(undoChange());
    EXPECT_EQ(names(), (std::vector<std::string>{"P", "Quiet", "R"}));
    EXPECT_EQ(currentIndex(), 1);
    EXPECT_TRUE(undoChange());
    EXPECT_TRUE(undoChange());
    EXPECT_EQ(names(), (std::vector<std::string>{"P", "Q", "R"}));
    EXPECT_TRUE(redoChange());
    EXPECT_EQ(names()[1], greek);
}
