#include <gtest/gtest.h>

#include <mutex>

#include "bridge/page_calls.h"
#include "store/profile_files.h"
#include "store/session_file.h"
#include "tests/unit/store_fixture.h"
#include "text/arguments.h"

namespace {

using ProfileFiles = StoreTest;

}  // namespace

TEST_F(ProfileFiles, ExportedProfileImportsAsANewCurrentProfile) {
    useSession("three_profiles.mcr");
    ASSERT_TRUE(loadSession());
    const Profile original = profilesCopy()[0];
    const std::string path = root + "/work.mcr";
    ASSERT_TRUE(exportProfileToFile(original, path));
    const std::string text = readBytes(path);
    EXPECT_EQ(text.substr(0, text.find("\r\n") + 2), "Work, with commas\r\n");
    EXPECT_NE(text.find("\r\nSETTINGS:" + formatSettingsLine() + "\r\n1,0.001,-5,7,0,0,0,0\r\n"),
              std::string::npos);
    resetProfileDefaults();
    ASSERT_TRUE(importProfileFromFile(path));
    std::vector<Profile> p = profilesCopy();
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(currentIndex(), 3);
    EXPECT_EQ(p[3].name, "Work, with commas (Imported)");  // the session has "Work, with commas"
    ASSERT_EQ(p[3].events.size(), original.events.size());
    EXPECT_EQ(p[3].events[1].delta, -120);
    EXPECT_EQ(p[3].events[0].time, 0.001);
    // The live settings came back from the file, so the new profile's
    // clicker part matches the one of the session's settings line.
    EXPECT_EQ(appState().clicker.fixedX, -20);
    EXPECT_EQ(p[3].settings, formatProfileSettings());
    EXPECT_EQ(p[0].name, "Work, with commas");
    // Once that name is taken as well, the next import is numbered.
    ASSERT_TRUE(importProfileFromFile(path));
    EXPECT_EQ(profilesCopy().back().name, "Work, with commas (Imported 2)");
}

// The later fields travel in the extra line right after SETTINGS; a file
// without it gives them their defaults.
TEST_F(ProfileFiles, ExportAndImportCarryTheExtraSettingsLine) {
    AppState& s = appState();
    s.clicker.rptMode = RunTimed;
    s.clicker.runS = 30;
    s.keySpam.ksRunM = 2;
    s.hotkeys.hkPlayMods = modifier_bit::Alt;
    callEditClickSteps(R"(["add",-3,4,1,1,75])");
    callEditClickSteps(R"(["add",5,6,0,0,0])");
    const Profile profile{"Timed", formatProfileSettings(), {}};
    const std::string text = formatProfileFile(profile);
    const std::string line = splitSettingsText(formatSettingsLine()).line;
    const std::string steps = "CLICKSTEP:-3,4,1,1,75\r\nCLICKSTEP:5,6,0,0,0\r\n";
    EXPECT_EQ(text, "Timed\r\nSETTINGS:" + line + "\r\nSETTINGS2:0,0,30,0,2,0,1,0,0,0,0,0,2\r\n" + steps);
    resetProfileDefaults();
    resetHotkeyDefaults();
    ASSERT_TRUE(importProfileText(text + "0,0.5,1,2,0,0,0,0\r\n"));
    EXPECT_EQ(profilesCopy().back().events.size(), 1u) << "the steps are no events";
    EXPECT_NE(profilesCopy().back().settings.find(steps.substr(0, 21)), std::string::npos);
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        ASSERT_EQ(s.clickSteps.size(), 2u);
        EXPECT_EQ(s.clickSteps[0].waitMs, 75);
    }
    EXPECT_EQ(s.clicker.runS, 30);
    EXPECT_EQ(s.keySpam.ksRunM, 2);
    EXPECT_EQ(s.hotkeys.hkPlayMods, modifier_bit::Alt);
    EXPECT_EQ(profilesCopy().back().settings, formatProfileSettings());
    ASSERT_TRUE(importProfileText("Plain\r\nSETTINGS:" + line + "\r\n"));
    EXPECT_EQ(s.clicker.runS, 0);
    EXPECT_EQ(s.keySpam.ksRunM, 0);
    EXPECT_EQ(s.hotkeys.hkPlayMods, 0);
    EXPECT_TRUE(profilesCopy().back().events.empty());
    std::lock_guard<std::mutex> lock(s.profilesLock);
    EXPECT_TRUE(s.clickSteps.empty());
}

TEST_F(ProfileFiles, SevenFieldLinesGetNoDeltaAndKeywordLinesAreDropped) {
    setProfiles({Profile{"x", "", {}}}, 0);
    ASSERT_TRUE(importProfileFromFile(goldenPath("seven_fields.mcr")));
    std::vector<Profile> p = profilesCopy();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[1].name, "Exported, name");  // no profile had that name
    ASSERT_EQ(p[1].events.size(), 3u);
    EXPECT_EQ(p[1].events[0].delta, 0);
    EXPECT_EQ(p[1].events[0].x, 10);
    EXPECT_EQ(p[1].events[1].delta, 240);
    EXPECT_EQ(p[1].events[2].vk, 65);
    EXPECT_TRUE(p[1].events[2].down);
    EXPECT_EQ(appState().clicker.sh, 9);
    EXPECT_EQ(appState().hotkeys.hkKeySpam, 115);
    EXPECT_EQ(appState().keySpam.keySpamTarget, 70);
    EXPECT_EQ(p[1].settings, "9,8,7,6,1,1,0,4,1,100,200,1,1,1,1,0,3,70");
}

TEST_F(ProfileFiles, SecondLineThatIsAnEventAndFilesWithOnlyAName) {
    setProfiles({Profile{"x", "", {}}}, 0);
    ASSERT_TRUE(importProfileFromFile(goldenPath("name_then_event.mcr")));
    std::vector<Profile> p = profilesCopy();
    EXPECT_TRUE(p[1].settings.empty());
    ASSERT_EQ(p[1].events.size(), 1u);
    EXPECT_EQ(p[1].events[0].flags, 2u);
    writeBytes(root + "/name.mcr", "Just a name");
    ASSERT_TRUE(importProfileFromFile(root + "/name.mcr"));
    p = profilesCopy();
    EXPECT_EQ(p[2].name, "Just a name");
    EXPECT_TRUE(p[2].events.empty());
    EXPECT_TRUE(p[2].settings.empty());
}

TEST_F(ProfileFiles, SessionFileImportsAsOneProfileWithEveryEvent) {
    setProfiles({Profile{"x", "", {}}}, 0);
    appState().clicker.sh = 4;
    ASSERT_TRUE(importProfileFromFile(goldenPath("three_profiles.mcr")));
    std::vector<Profile> p = profilesCopy();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[1].name.rfind("SETTINGS:1,2,3,4,1,1,0,5,1,-20,30", 0), 0u);
    EXPECT_EQ(p[1].name.find("(Imported)"), std::string::npos);
    EXPECT_EQ(p[1].events.size(), 5u);
    EXPECT_TRUE(p[1].settings.empty());
    EXPECT_EQ(appState().clicker.sh, 4);  // its second line is CURRENT:, not settings
}

TEST_F(ProfileFiles, NothingIsImportedFromAnEmptyNameOrAMissingFile) {
    setProfiles({Profile{"x", "", {}}}, 0);
    Profile unnamed{"", "", {MacroEvent{}}};
    ASSERT_TRUE(exportProfileToFile(unnamed, root + "/unnamed.mcr"));
    EXPECT_FALSE(importProfileFromFile(root + "/unnamed.mcr"));
    EXPECT_FALSE(importProfileFromFile(root + "/missing.mcr"));
    EXPECT_EQ(profilesCopy().size(), 1u);
}

TEST_F(ProfileFiles, ImportWhileRecordingMakesTheNewProfileCurrent) {
    setProfiles({Profile{"x", "", {}}}, 0);
    appState().recording = true;
    ASSERT_TRUE(importProfileFromFile(goldenPath("seven_fields.mcr")));
    EXPECT_EQ(currentIndex(), 1);
}

TEST(ExportFileName, IsTheProfileNameMadeSafeForAnyFileSystem) {
    const std::string accent = "\xC3\xA9";  // é, two bytes
    const struct {
        std::string profile, offered;
    } cases[] = {
        {"Daily run", "Daily run.mcr"},
        {"a/b\\c:d*e?f\"g<h>i|j\tk", "a_b_c_d_e_f_g_h_i_j_k.mcr"},
        {" .hidden. ", "hidden.mcr"},
        {"...", "profile.mcr"},
        {"", "profile.mcr"},
        {"con", "_con.mcr"},
        {"LPT1.backup", "_LPT1.backup.mcr"},
        {"COM10", "COM10.mcr"},
        {std::string(99, 'x') + accent, std::string(99, 'x') + ".mcr"},  // never half of é
        {std::string(98, 'x') + accent, std::string(98, 'x') + accent + ".mcr"},
    };
    for (const auto& c : cases) EXPECT_EQ(exportFileName(c.profile), c.offered) << c.profile;
}

// What the page is told after each dialog: nothing when cancelled, else the
// file with what was done or why it failed.
TEST_F(ProfileFiles, ExportAndImportTellThePageWhatHappened) {
    setProfiles({Profile{"Work: day", "", {}}}, 0);
    writeBytes(root + "/nameless.mcr", "\r\nSETTINGS:1\r\n");
    auto told = [](const std::string& path, const std::string& error, const std::string& name) {
        return "{\"path\":" + jsonString(path) + ",\"error\":\"" + error + "\",\"name\":\"" + name + "\"}";
    };
    const struct {
        const char* call;
        std::string chosen, outcome;
    } cases[] = {
        {"export", "", ""},
        {"export", root + "/day.mcr", told(root + "/day.mcr", "", "Work: day")},
        {"import", root + "/day.mcr", told(root + "/day.mcr", "", "Work: day (Imported)")},
        {"import", root + "/missing.mcr", told(root + "/missing.mcr", "the file cannot be read", "")},
        {"import", root + "/nameless.mcr",
         told(root + "/nameless.mcr", "it is not a profile file: its first line, the profile's name, is empty", "")},
    };
    for (const auto& c : cases) {
        fake::chosenProfileFile = c.chosen;
        const std::string outcome = std::string(c.call) == "export" ? callExportProfile("") : callImportProfile("");
        EXPECT_EQ(outcome, c.outcome) << c.call << " " << c.chosen;
    }
    EXPECT_EQ(fake::offeredFileName, "Work_ day.mcr");
    fake::chosenProfileFile = root + "/no such folder/day.mcr";
    EXPECT_NE(callExportProfile("").find(R"("error":"cannot)"), std::string::npos);
    fake::chosenProfileFile.clear();
}
