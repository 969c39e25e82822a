// Start-up never lets a save write over a session it could not read, reads
// past a byte-order mark, tells the page about failed saves, and clears the
// debris of saves that were cut short.
#include <algorithm>
#include <filesystem>

#include "bridge/page_calls.h"
#include "store/app_settings.h"
#include "store/profile_files.h"
#include "store/save_outcome.h"
#include "store/session_file.h"
#include "store/session_rescue.h"
#include "store/theme_file.h"
#include "tests/unit/store_fixture.h"
#include "text/arguments.h"

namespace {

class SessionRescue : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        appState().notices.clear();
        forgetSaveOutcomes();
    }
    void TearDown() override {
        appState().notices.clear();
        forgetSaveOutcomes();
        StoreTest::TearDown();
    }
    // What start-up does: the load, then the default profile when none came.
    bool startUp() {
        bool loaded = loadSessionKeepingUnreadable();
        if (!loaded) setProfiles({Profile{"Default Tracking Profile", "", {}}}, 0);
        return loaded;
    }
    std::vector<std::string> keptFiles() {
        std::vector<std::string> kept;
        for (const auto& entry : std::filesystem::directory_iterator(data)) {
            std::string name = entry.path().filename().string();
            if (name.rfind("session.mcr.unreadable-", 0) == 0) kept.push_back(data + "/" + name);
        }
        std::sort(kept.begin(), kept.end());
        return kept;
    }
};

}  // namespace

TEST_F(SessionRescue, UnreadableSessionsAreKeptAsideAndNeverOverwritten) {
    struct Case {
        const char* what;
        std::string bytes;
        bool kept;
    };
    const std::string good = readBytes(goldenPath("three_profiles.mcr"));
    const Case cases[] = {
        {"damaged", "SETTNGS:0,0\r\nPROFILE:x\r\n", true},
        {"partial", good.substr(0, 40), true},
        {"binary", std::string("\0\xff\x13\x37PROFILE:\n", 13), true},
        {"empty", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& old : keptFiles()) std::filesystem::remove(old);
        appState().notices.clear();
        initDataDir();
        writeBytes(sessionFile(), c.bytes);
        EXPECT_FALSE(startUp());
        EXPECT_EQ(profilesCopy()[0].name, "Default Tracking Profile");
        const std::vector<std::string> kept = keptFiles();
        ASSERT_EQ(kept.size(), c.kept ? 1u : 0u);
        ASSERT_EQ(appState().notices.size(), c.kept ? 1u : 0u);
        if (!c.kept) continue;
        EXPECT_NE(appState().notices[0].find(kept[0]), std::string::npos) << appState().notices[0];
        EXPECT_EQ(callGetNotices(""), "[" + jsonString(appState().notices[0]) + "]");
        saveSession();  // the next autosave
        EXPECT_EQ(readBytes(kept[0]), c.bytes);
        EXPECT_NE(readBytes(sessionFile()).find("PROFILE:Default Tracking Profile"), std::string::npos);
    }

    // A second unreadable file within the same second keeps both.
    writeBytes(sessionFile(), "first");
    startUp();
    writeBytes(sessionFile(), "second");
    startUp();
    const std::vector<std::string> kept = keptFiles();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(readBytes(kept[0]) + readBytes(kept[1]), "firstsecond");
}

TEST_F(SessionRescue, KeptNamesCarryTheLocalTimeAndNeverRepeat) {
    std::tm when{};
    when.tm_year = 2026 - 1900;
    when.tm_mon = 0;
    when.tm_mday = 9;
    when.tm_hour = 7;
    when.tm_min = 5;
    when.tm_sec = 3;
    EXPECT_EQ(keptSessionName("/d/session.mcr", when, 1), "/d/session.mcr.unreadable-20260109-070503");
    EXPECT_EQ(keptSessionName("/d/session.mcr", when, 2), "/d/session.mcr.unreadable-20260109-070503-2");
}

TEST_F(SessionRescue, ByteOrderMarkIsSkippedInEveryFileWeRead) {
    useSession("bom.mcr");
    EXPECT_TRUE(startUp());
    EXPECT_EQ(profilesCopy()[0].name, "Bom");
    EXPECT_TRUE(keptFiles().empty());

    writeBytes(side + "/appsettings.txt", "\xEF\xBB\xBF" "alwaysOnTop=1\r\n");
    readAppSettings();
    EXPECT_TRUE(appState().app.alwaysOnTop);

    writeBytes(root + "/shared.mcr", "\xEF\xBB\xBF" "Shared\r\n3,0.5,0,0,0,65,1,0\r\n");
    ASSERT_TRUE(importProfileFromFile(root + "/shared.mcr"));
    EXPECT_EQ(profilesCopy().back().name, "Shared");
    EXPECT_EQ(profilesCopy().back().events.size(), 1u);
}

// A save that cannot reach its folder is reported with the path and the
// reason until that same file saves again; a success of another file does
// not hide it.
TEST_F(SessionRescue, FailedSavesAreReportedUntilTheFileSavesAgain) {
    setProfiles({Profile{"Mine", "", {}}}, 0);
    std::filesystem::remove_all(data);
    writeBytes(data, "a file where the folder was");
    saveSession();
    const std::string error = lastSaveError();
    EXPECT_NE(error.find(sessionFile()), std::string::npos) << error;
    EXPECT_NE(error.find("cannot create a temporary file"), std::string::npos) << error;
    EXPECT_NE(callGetTrackerStatus("").find(",\"saveError\":" + jsonString(error) + ","),
              std::string::npos);
    EXPECT_NE(saveSessionAtExit(), "");

    std::filesystem::remove_all(side);
    writeBytes(side, "");
    writeAppSettings();
    EXPECT_NE(lastSaveError().find("appsettings.txt"), std::string::npos);
    writeThemeFile();
    EXPECT_NE(lastSaveError().find("theme.txt"), std::string::npos);

    std::filesystem::remove(data);
    std::filesystem::create_directories(data);
    saveSession();
    EXPECT_NE(lastSaveError().find("theme.txt"), std::string::npos) << "still failing";
    std::filesystem::remove(side);
    std::filesystem::create_directories(side);
    writeThemeFile();
    EXPECT_NE(lastSaveError().find("appsettings.txt"), std::string::npos) << "still failing";
    writeAppSettings();
    EXPECT_EQ(lastSaveError(), "");
    EXPECT_NE(callGetTrackerStatus("").find(",\"saveError\":\"\","), std::string::npos);
}

TEST_F(SessionRescue, StartUpRemovesOnlyTemporaryFilesWhoseWriterIsGone) {
    const char* removed[] = {"session.mcr.tmp999-0", "session.mcr.tmp31-17"};
    const char* left[] = {"session.mcr", "session.mcr.tmp4242-3", "session.mcr.tmpx-1",
                          "session.mcr.tmp999-", "notes.txt.tmp999-0", "session.mcr.unreadable-1"};
    for (const char* name : removed) writeBytes(data + "/" + name, "x");
    for (const char* name : left) writeBytes(data + "/" + name, "x");
    writeBytes(side + "/appsettings.txt.tmp77-0", "x");
    initDataDir();
    for (const char* name : removed) EXPECT_FALSE(std::filesystem::exists(data + "/" + name)) << name;
    for (const char* name : left) EXPECT_TRUE(std::filesystem::exists(data + "/" + name)) << name;
    EXPECT_FALSE(std::filesystem::exists(side + "/appsettings.txt.tmp77-0"));
}
