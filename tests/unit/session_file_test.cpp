#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

#include "bridge/page_calls.h"
#include "model/typed_texts.h"
#include "platform/platform.h"
#include "store/autosave.h"
#include "store/profile_files.h"
#include "store/session_file.h"
#include "tests/unit/store_fixture.h"
#include "text/arguments.h"

namespace {

using SessionFile = StoreTest;

MacroEvent event(int32_t kind, double time, int32_t x, int32_t y, uint32_t flags, int32_t vk,
                 bool down, int32_t delta) {
    MacroEvent e;
    e.kind = kind; e.time = time; e.x = x; e.y = y;
    e.flags = flags; e.vk = vk; e.down = down; e.delta = delta;
    return e;
}

}  // namespace

TEST_F(SessionFile, GoldenFilesReadAndWriteBackByteForByte) {
    for (const char* golden : {"example_session.mcr", "three_profiles.mcr", "extra_lines.mcr", "hotkey_modifiers.mcr",
                               "typed_text.mcr", "click_sequence.mcr"}) {
        SCOPED_TRACE(golden);
        resetAppStateForTest();
        useSession(golden);
        ASSERT_TRUE(loadSession());
        std::filesystem::remove(sessionFile());
        saveSession();
        EXPECT_EQ(readBytes(sessionFile()), readBytes(goldenPath(golden)));
    }
}

TEST_F(SessionFile, ExampleLoadsEveryField) {
    useSession("three_profiles.mcr");
    ASSERT_TRUE(loadSession());
    AppState& s = appState();
    EXPECT_EQ(s.clicker.fixedX, -20);
    EXPECT_FLOAT_EQ(s.tracker.tspd, 1.5f);
    EXPECT_FALSE(s.tracker.tmv);
    EXPECT_TRUE(s.tracker.tloop);
    EXPECT_EQ(s.hotkeys.hkRec, 2);
    EXPECT_EQ(s.keySpam.keySpamTarget, 65);
    EXPECT_EQ(s.hotkeys.hkKeySpam, 120);
    std::vector<Profile> p = profilesCopy();
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(currentIndex(), 2);
    EXPECT_EQ(p[0].name, "Work, with commas");
    EXPECT_EQ(p[1].name, "");
    EXPECT_EQ(p[1].settings, "");
    ASSERT_EQ(p[0].events.size(), 2u);
    EXPECT_EQ(p[0].events[1].delta, -120);
    ASSERT_EQ(p[2].events.size(), 3u);
    EXPECT_EQ(p[2].events[2].time, 1e-05);
    EXPECT_TRUE(p[2].events[2].down);
}

// The later fields ride in extra lines that a reader which does not know
// them drops: CURRENT still follows SETTINGS, and neither extra line reads
// as an event line of either kind.
TEST_F(SessionFile, ExtraLinesCarryTheLaterFieldsAndAnEarlierReaderDropsThem) {
    useSession("extra_lines.mcr");
    const std::string text = readBytes(sessionFile());
    ASSERT_EQ(text.find("\r\nCURRENT:1\r\n"), text.find("\r\n"));
    size_t lines = 0;
    for (size_t at = 0; (at = text.find("SETTINGS2:", at)) != std::string::npos; ++at, ++lines) {
        const size_t start = text.rfind('\n', at) + 1;
        const std::string line = text.substr(start, text.find('\r', start) - start);
        MacroEvent e;
        EXPECT_FALSE(parseEventLine(line, e, false)) << line;
        EXPECT_FALSE(parseEventLine(line, e, true)) << line;
    }
    EXPECT_EQ(lines, 2u);

    ASSERT_TRUE(loadSession());
    AppState& s = appState();
    EXPECT_EQ(currentIndex(), 1);
    EXPECT_EQ(s.clicker.rptMode, RunTimed);
    EXPECT_EQ(s.clicker.runM, 1);
    EXPECT_EQ(s.clicker.runS, 30);
    EXPECT_EQ(s.keySpam.ksRunS, 45);
    // A profile without the extra line gives its fields their defaults.
    callSwitchProfile("[0]");
    EXPECT_EQ(s.clicker.runS, 0);
    EXPECT_EQ(s.keySpam.ksRunS, 0);
    callSwitchProfile("[1]");
    EXPECT_EQ(s.clicker.runM, 1);
    EXPECT_EQ(s.keySpam.ksRunS, 45);
    // A short extra line reads what it has; a bad value ends it.
    applyProfileSettings(splitSettingsText(profilesCopy()[1].settings).line + "\n2,x,9");
    EXPECT_EQ(s.clicker.runH, 2);
    EXPECT_EQ(s.clicker.runM, 0);
    EXPECT_EQ(s.clicker.runS, 0);
    applyProfileSettings(splitSettingsText(profilesCopy()[1].settings).line + "\n-1");
    EXPECT_EQ(s.clicker.runH, 0) << "a negative length is out of range";
}

// The text typer's line and a macro's text row are lines an earlier reader
// drops: the typer's line at the top stands between CURRENT and the first
// PROFILE, which that reader skips; within a profile neither begins with
// the number every event line begins with. This reader takes them back,
// also through an export and an import.
TEST_F(SessionFile, TyperAndTextRowsRideInLinesAnEarlierReaderDrops) {
    useSession("typed_text.mcr");
    const std::string text = readBytes(sessionFile());
    ASSERT_EQ(text.find("\r\nCURRENT:1\r\n"), text.find("\r\n"));
    EXPECT_LT(text.find("KEYTEXT:"), text.find("PROFILE:"));
    for (const char* keyword : {"\nKEYTEXT:", "\nTYPE:"}) {
        for (size_t at = text.find(keyword); at != std::string::npos; at = text.find(keyword, at + 1)) {
            const std::string first = text.substr(at + 1, text.find(',', at) - at - 1);
            int32_t kind = 0;
            EXPECT_FALSE(parseInt32(first, kind)) << first;
        }
    }

    ASSERT_TRUE(loadSession());
    const KeyTyperSettings& typer = appState().keyTyper;
    EXPECT_EQ(typer.mode, SpamText);
    EXPECT_TRUE(typer.enter);
    EXPECT_EQ(typer.characterDelayMs, 20);
    EXPECT_EQ(keyTyperText(), "Hi, you\n% \xC3\xA9");
    const std::vector<MacroEvent> rows = profilesCopy()[1].events;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].kind, TypedText);
    EXPECT_EQ(rows[1].time, 1.5);
    ASSERT_NE(typedTextOf(rows[1].x), nullptr);
    EXPECT_EQ(*typedTextOf(rows[1].x), "Hello, world\n\xC3\xBC\xE2\x82\xAC\xD0\xB6");
    callSwitchProfile("[0]");
    EXPECT_FALSE(keyTyperInUse()) << "a profile without the line types keys";
    callSwitchProfile("[1]");
    EXPECT_EQ(keyTyperText(), "abc");

    const std::string exported = formatProfileFile(profilesCopy()[1]);
    EXPECT_NE(exported.find("\r\nKEYTEXT:1,0,0,abc\r\n"), std::string::npos) << exported;
    resetProfileDefaults();
    ASSERT_TRUE(importProfileText(exported));
    EXPECT_EQ(keyTyperText(), "abc");
    const std::vector<MacroEvent> imported = profilesCopy().back().events;
    ASSERT_EQ(imported.size(), 3u);
    EXPECT_EQ(imported[1].kind, TypedText);
    EXPECT_EQ(imported[1].x, rows[1].x);
}

// A profile's click sequence rides in lines of its own that an earlier
// reader drops as it drops any line that is no event; the current
// profile's steps are live after a load, and each profile keeps its own.
TEST_F(SessionFile, ClickStepLinesCarryAProfilesSequenceAndAnEarlierReaderDropsThem) {
    useSession("click_sequence.mcr");
    const std::string text = readBytes(sessionFile());
    size_t lines = 0;
    for (size_t at = 0; (at = text.find(kClickStepKeyword, at)) != std::string::npos; ++at, ++lines) {
        const std::string line = text.substr(at, text.find('\r', at) - at);
        MacroEvent e;
        EXPECT_FALSE(parseEventLine(line, e, false)) << line;
        EXPECT_FALSE(parseEventLine(line, e, true)) << line;
    }
    EXPECT_EQ(lines, 3u);

    ASSERT_TRUE(loadSession());
    const auto live = [] {
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        std::string out;
        for (const ClickStep& s : appState().clickSteps)
            out += std::to_string(s.x) + ',' + std::to_string(s.y) + ',' + std::to_string(s.button) + ',' +
                   std::to_string(s.type) + ',' + std::to_string(s.waitMs) + ';';
        return out;
    };
    EXPECT_EQ(appState().clicker.locMode, InSequence);
    EXPECT_EQ(live(), "100,200,0,0,250;-30,1079,1,1,0;640,360,2,0,3600000;");
    EXPECT_EQ(profilesCopy()[1].events.size(), 1u) << "the steps are no events";
    callSwitchProfile("[0]");
    EXPECT_EQ(live(), "");
    callSwitchProfile("[1]");
    EXPECT_EQ(live(), "100,200,0,0,250;-30,1079,1,1,0;640,360,2,0,3600000;");
    // A step with a value missing, out of range or not a number is dropped;
    // values after the fifth are ignored.
    const std::string line = splitSettingsText(profilesCopy()[1].settings).line;
    applyProfileSettings(line + "\n0,0,0,0,0,0,20,0,3,0\nCLICKSTEP:1,2,3,0,0\nCLICKSTEP:1,2,0,0\nCLICKSTEP:1,2,0,2,0\nCLICKSTEP:1,2,0,0,-1"
                                "\nCLICKSTEP:1,2,0,0,3600001\nCLICKSTEP:x,2,0,0,0\nCLICKSTEP:4,5,2,1,6,later");
    EXPECT_EQ(live(), "4,5,2,1,6;");
    // Without step lines a profile's text is what it always was.
    callEditClickSteps(R"(["delete",0])");
    EXPECT_EQ(profilesCopy()[1].settings, line + "\n0,0,0,0,0,0,20,0,3,0");
}

TEST_F(SessionFile, OlderLineAndBadEventLines) {
    useSession("older_23_values.mcr");
    ASSERT_TRUE(loadSession());
    AppState& s = appState();
    EXPECT_EQ(s.clicker.sh, 5);
    EXPECT_EQ(s.clicker.fixedY, 12);
    EXPECT_TRUE(s.tracker.tmv);
    EXPECT_FALSE(s.tracker.tclk);
    EXPECT_FLOAT_EQ(s.tracker.tspd, 2.0f);
    EXPECT_EQ(s.tracker.tloopMs, 900);
    EXPECT_EQ(s.hotkeys.hkAuto, 82);  // the reserved field held a letter
    EXPECT_EQ(s.keySpam.ksms, 100);   // no key-spammer group in 23 values
    EXPECT_EQ(s.hotkeys.hkKeySpam, 120);
    std::vector<Profile> p = profilesCopy();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(currentIndex(), 1);
    // Bad time, seven fields, a lone number and the empty line are dropped;
    // a ninth field is ignored.
    ASSERT_EQ(p[0].events.size(), 2u);
    EXPECT_EQ(p[0].events[1].time, 1.0);
    EXPECT_EQ(p[0].events[1].x, 3);
    EXPECT_TRUE(p[0].settings.empty());
    // The current profile without settings takes the live ones.
    EXPECT_EQ(p[1].settings, "5,6,7,8,2,1,0,3,1,11,12,0,0,0,100,1,10,32");
    ASSERT_EQ(p[1].events.size(), 1u);
    const MacroEvent& e = p[1].events[0];
    EXPECT_EQ(e.kind, MouseButton);
    EXPECT_EQ(e.time, 1.5);
    EXPECT_EQ(e.x, 100);
    EXPECT_EQ(e.y, 200);
    EXPECT_EQ(e.flags, 2u);
    EXPECT_TRUE(e.down);
}

TEST_F(SessionFile, ABadFieldEndsItsGroupOnly) {
    useSession("bad_fields.mcr");
    ASSERT_TRUE(loadSession());
    AppState& s = appState();
    EXPECT_EQ(s.clicker.sh, 1);
    EXPECT_EQ(s.clicker.sm, 2);
    EXPECT_EQ(s.clicker.ss, 0);
    EXPECT_EQ(s.clicker.sms, 100);
    EXPECT_TRUE(s.tracker.tmv);     // untouched, not read as "1"
    EXPECT_FALSE(s.tracker.trel);
    EXPECT_EQ(s.hotkeys.hkAuto, 117);
    EXPECT_EQ(s.keySpam.ksh, 4);
    EXPECT_EQ(s.keySpam.ksRptTimes, 8);
    EXPECT_EQ(s.hotkeys.hkKeySpam, 121);
    EXPECT_EQ(s.keySpam.keySpamTarget, 66);
    EXPECT_EQ(currentIndex(), 0);  // CURRENT:abc
}

TEST_F(SessionFile, SettingsLineRules) {
    // 24 to 30 values apply only the first group.
    applySettingsLine("1,0,0,100,0,0,1,10,0,0,0,true,01, 1,1,0,1,0,500,119,118,0,117,9,9");
    AppState& s = appState();
    EXPECT_EQ(s.clicker.sh, 1);
    EXPECT_FALSE(s.tracker.tmv);
    EXPECT_FALSE(s.tracker.tclk);
    EXPECT_FALSE(s.tracker.tscr);
    EXPECT_TRUE(s.tracker.tkey);
    EXPECT_EQ(s.keySpam.ksh, 0);
    // Fewer than 23 change nothing; out-of-range numbers end the group.
    applySettingsLine("7,7,7");
    EXPECT_EQ(s.clicker.sh, 1);
    applySettingsLine("2,99999999999,0,100,0,0,1,10,0,0,0,1,1,1,1,0,1,0,500,119,118,0,117");
    EXPECT_EQ(s.clicker.sh, 2);
    EXPECT_EQ(s.clicker.sm, 0);
    EXPECT_EQ(formatSettingsLine(),
              "2,0,0,100,0,0,1,10,0,0,0,0,0,0,1,0,1,0,500,119,118,0,117,0,0,0,100,1,10,120,32");
    applyProfileSettings("1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17");  // 17: nothing
    EXPECT_EQ(s.clicker.sh, 2);
    applyProfileSettings("1,2,3,4,5,6,7,8,9,10,11,12,13,x,15,16,17,18");
    EXPECT_EQ(formatProfileSettings(), "1,2,3,4,5,6,7,8,9,10,11,12,13,0,100,1,10,32");
}

TEST_F(SessionFile, FilesThatLoadNothing) {
    writeBytes(sessionFile(), "SETTINGS:3,0,0,100,0,0,1,10,0,0,0,1,1,1,1,0,1,0,500,119,118,0,117\r\nCURRENT:0\r\n");
    EXPECT_FALSE(loadSession());
    EXPECT_EQ(appState().clicker.sh, 3);  // applied even though no profile came
    EXPECT_TRUE(profilesCopy().empty());
    std::filesystem::remove(sessionFile());
    EXPECT_FALSE(loadSession());
}

TEST_F(SessionFile, ProfileAsSecondLineIsConsumed) {
    useSession("profile_second_line.mcr");
    ASSERT_TRUE(loadSession());
    std::vector<Profile> p = profilesCopy();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].name, "Kept");
    ASSERT_EQ(p[0].events.size(), 1u);
    EXPECT_EQ(p[0].events[0].time, 0.25);
}

TEST_F(SessionFile, CurrentIndexOutsideTheListBecomesZero) {
    writeBytes(sessionFile(), "SETTINGS:0\r\nCURRENT:7\r\nPROFILE:a\r\nPROFILE:b\r\nPROFILE:c\r\n");
    ASSERT_TRUE(loadSession());
    EXPECT_EQ(currentIndex(), 0);
    writeBytes(sessionFile(), "SETTINGS:0\r\nCURRENT:\r\nPROFILE:a\r\nPROFILE:b\r\n");
    setProfiles({}, 0);
    ASSERT_TRUE(loadSession());
    EXPECT_EQ(currentIndex(), 0);
}

TEST_F(SessionFile, TimesSurviveExactlyAndOldSixDigitFilesStillLoad) {
    const double awkward = 1.0 / 3.0 + 1234.0;
    setProfiles({Profile{"p", "", {event(0, awkward, 1, 2, 0, 0, false, 0),
                                   event(3, 7.123456789012, 0, 0, 0, 65, true, 0)}}}, 0);
    saveSession();
    setProfiles({}, 0);
    ASSERT_TRUE(loadSession());
    std::vector<Profile> p = profilesCopy();
    ASSERT_EQ(p[0].events.size(), 2u);
    EXPECT_EQ(p[0].events[0].time, awkward);
    EXPECT_EQ(p[0].events[1].time, 7.123456789012);
    EXPECT_EQ(formatEventLine(event(2, 1.5, 100, 200, 2, 0, true, 0)), "2,1.5,100,200,2,0,1,0");
    EXPECT_EQ(formatEventLine(event(4, 0.015625, -1, -2, 4294967295u, 0, false, -120)),
              "4,0.015625,-1,-2,4294967295,0,0,-120");
}

TEST_F(SessionFile, FlagsReadUnsignedAndWrap) {
    MacroEvent e;
    ASSERT_TRUE(parseEventLine("2,0.5,1,2,-1,0,7,0", e, false));
    EXPECT_EQ(e.flags, 4294967295u);
    EXPECT_TRUE(e.down);  // any non-zero value
    EXPECT_FALSE(parseEventLine("2,0.5,1,2,0,0,0", e, false));
    EXPECT_TRUE(parseEventLine("2,0.5,1,2,0,0,0", e, true));
    EXPECT_EQ(e.delta, 0);
    EXPECT_FALSE(parseEventLine("2,0.5,1,2,0,0,0,x", e, true));
    EXPECT_FALSE(parseEventLine("2,0.5,,2,0,0,0,0", e, false));
}

// A key's scan code is a ninth field, written only where it is not 0; an
// earlier reader stops after the eighth, so the line still loads there.
TEST_F(SessionFile, AKeysScanCodeRidesInANinthFieldOnlyWhereItIsSet) {
    struct Row {
        const char* line;
        bool reads;
        uint32_t scan;
        const char* written;
    };
    const Row rows[] = {
        {"3,0.5,0,0,0,36,1,0", true, 0, "3,0.5,0,0,0,36,1,0"},
        {"3,0.5,0,0,0,36,1,0,71", true, 71, "3,0.5,0,0,0,36,1,0,71"},
        {"3,0.5,0,0,0,163,0,0,57373", true, 0xE01D, "3,0.5,0,0,0,163,0,0,57373"},
        {"3,0.5,0,0,0,36,1,0,0", true, 0, "3,0.5,0,0,0,36,1,0"},
        // Not a scan code: the key still plays, by its virtual key.
        {"3,0.5,0,0,0,36,1,0,x", true, 0, "3,0.5,0,0,0,36,1,0"},
        {"3,0.5,0,0,0,36,1,0,65536", true, 0, "3,0.5,0,0,0,36,1,0"},
        {"3,0.5,0,0,0,36,1,0,-1", true, 0, "3,0.5,0,0,0,36,1,0"},
        {"3,0.5,0,0,0,36,1,0,71,later", true, 71, "3,0.5,0,0,0,36,1,0,71"},
        // Only keys have one.
        {"2,0.5,1,2,2,0,1,0,71", true, 0, "2,0.5,1,2,2,0,1,0"},
        {"3,0.5,0,0,0,36,1,x,71", false, 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        MacroEvent e;
        ASSERT_EQ(parseEventLine(row.line, e, false), row.reads);
        if (!row.reads) continue;
        EXPECT_EQ(e.scan, row.scan);
        EXPECT_EQ(formatEventLine(e), row.written);
    }
}

TEST_F(SessionFile, SaveSkipsWhileTheLockIsHeldAndNeverWritesAnEmptyList) {
    setProfiles({Profile{"p", "", {}}}, 0);
    {
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        std::thread saver(saveSession);
        saver.join();
    }
    EXPECT_FALSE(std::filesystem::exists(sessionFile()));
    saveSession();
    const std::string saved = readBytes(sessionFile());
    EXPECT_NE(saved.find("PROFILE:p\r\n"), std::string::npos);
    setProfiles({}, 0);
    saveSession();
    saveSessionAtExit();
    EXPECT_EQ(readBytes(sessionFile()), saved);
}

TEST_F(SessionFile, ThePeriodicSaveWritesOnlyWhenTheSessionChanged) {
    // A stale file stands in for the one last written, so a write shows.
    const auto savedAfter = [this](auto change) {
        writeBytes(sessionFile(), "stale");
        change();
        saveSessionIfChanged();
        return readBytes(sessionFile()) != "stale";
    };
    setProfiles({Profile{"p", "", {}}}, 0);
    EXPECT_TRUE(savedAfter([] {}));
    EXPECT_FALSE(savedAfter([] {}));
    EXPECT_TRUE(savedAfter([] { appState().clicker.sms = 7; }));
    EXPECT_TRUE(savedAfter([] {
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        appState().profiles[0].events.push_back(MacroEvent{});
        noteProfilesChanged();
    }));
    EXPECT_FALSE(savedAfter([] {}));
    EXPECT_TRUE(savedAfter([this] { std::filesystem::remove(sessionFile()); }));
    // What was just read is what the file holds.
    saveSession();
    ASSERT_TRUE(loadSession());
    EXPECT_FALSE(savedAfter([] {}));
}

// A save formats only what a recording appended since the last one: the
// file must still be exactly the whole session after any mix of appends,
// edits, removals and switches of the list, whether the cache was kept
// (while a recording runs) or let go after the save before.
TEST_F(SessionFile, SavesAfterAppendsEditsAndSwitchesWriteTheWholeSessionExactly) {
    setProfiles({Profile{"a", "", {}}, Profile{"b", "", {event(3, 0.25, 0, 0, 0, 65, true, 0)}}}, 0);
    uint64_t seed = 12345;
    const auto next = [&seed](uint64_t range) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return (seed >> 33) % range;
    };
    for (int round = 0; round < 200; ++round) {
        appState().recording = next(3) != 0;
        {
            AppState& s = appState();
            std::lock_guard<std::mutex> lock(s.profilesLock);
            std::vector<MacroEvent>& events = s.profiles[size_t(s.currentProfile)].events;
            switch (next(6)) {
            case 0:  // a change in place, as an edit of one row
                if (!events.empty()) events[next(events.size())].x += 1;
                noteEventListEdited();
                break;
            case 1:  // the last rows removed, as the Escape that ends a recording
                events.resize(events.size() / 2);
                noteEventListEdited();
                break;
            case 2:
                s.currentProfile = 1 - s.currentProfile;
                noteEventListEdited();
                break;
            default:  // appends, as a recording makes them
                for (uint64_t n = next(50); n > 0; --n)
                    events.push_back(event(0, double(round) + double(n) / 64.0, int32_t(n), round, 0, 0, false, 0));
                noteProfilesChanged();
            }
        }
        saveSessionIfChanged();
        const std::string expected = formatSession(formatSettingsLine(), currentIndex(), profilesCopy());
        ASSERT_EQ(readBytes(sessionFile()), expected) << "after round " << round;
    }
    appState().recording = false;
}

// Long lists are copied a slice per hold: an edit landing between two slices
// must never leave a file that mixes the list before it with the list after.
TEST_F(SessionFile, AnEditBetweenTheSlicesOfALongListNeverTearsTheFile) {
    // The edit changes the list's first and last events, far apart in the copy.
    const std::vector<MacroEvent> before(200000, event(0, 0.5, 1, 2, 0, 0, false, 0));
    std::vector<MacroEvent> after = before;
    after.front().x = after.back().x = 7;
    const Profile recorded{"recorded", "", {event(3, 0.25, 0, 0, 0, 65, true, 0)}};
    setProfiles({Profile{"long", "", before}, recorded}, 1);
    const std::string settings = formatSettingsLine();
    const std::string textBefore = formatSession(settings, 1, {Profile{"long", "", before}, recorded});
    const std::string textAfter = formatSession(settings, 1, {Profile{"long", "", after}, recorded});
    std::atomic<bool> saving{true};
    std::thread editor([&saving] {
        for (int32_t x = 7; saving; x = x == 7 ? 1 : 7) {
            {
                std::lock_guard<std::mutex> lock(appState().profilesLock);
                std::vector<MacroEvent>& events = appState().profiles[0].events;
                events.front().x = events.back().x = x;
                noteEventListEdited();
            }
            std::this_thread::yield();
        }
    });
    size_t torn = 0;
    for (int i = 0; i < 20; ++i) {
        saveSessionAtExit();
        const std::string saved = readBytes(sessionFile());
        torn += saved != textBefore && saved != textAfter;
    }
    saving = false;
    editor.join();
    EXPECT_EQ(torn, 0u);
}

TEST_F(SessionFile, ExitSaveWaitsOutABriefHold) {
    setProfiles({Profile{"exit", "", {}}}, 0);
    std::promise<void> holding;
    std::thread holder([&holding] {
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        holding.set_value();
        platform::sleepMs(30);
    });
    holding.get_future().wait();  // the save starts while the lock is held
    saveSessionAtExit();
    holder.join();
    EXPECT_NE(readBytes(sessionFile()).find("PROFILE:exit"), std::string::npos);
}

TEST_F(SessionFile, OverlappingSavesLeaveTheNewestState) {
    std::vector<MacroEvent> many(20000, event(0, 0.5, 1, 2, 0, 0, false, 0));
    setProfiles({Profile{"old", "", many}}, 0);
    std::thread periodic([] {
        for (int i = 0; i < 20; ++i) saveSession();
    });
    for (int i = 0; i < 20; ++i) {
        setProfiles({Profile{"step" + std::to_string(i), "", many}}, 0);
        saveSessionAtExit();
    }
    periodic.join();
    setProfiles({}, 0);
    ASSERT_TRUE(loadSession());
    EXPECT_EQ(profilesCopy()[0].name, "step19");
    EXPECT_EQ(profilesCopy()[0].events.size(), many.size());
}

TEST_F(SessionFile, AutosaveWritesWithoutBeingAskedAndEndsWithRunning) {
    setProfiles({Profile{"auto", "", {}}}, 0);
    fake::useManualClock(true);  // its 100 ms sleeps pass at once
    std::thread autosave(autosaveThread);
    bool written = false;
    for (int i = 0; i < 2000 && !written; ++i) {
        written = readBytes(sessionFile()).find("PROFILE:auto") != std::string::npos;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    appState().running = false;
    autosave.join();
    appState().running = true;
    fake::useManualClock(false);
    EXPECT_TRUE(written);
}

// The crash save waits only a moment for a save in progress, then writes its
// newer snapshot anyway; the slow save, renaming after it, must not put its
// older text back.
TEST_F(SessionFile, ASlowSaveThatRenamesAfterTheCrashSaveKeepsItsOlderTextOff) {
    static std::atomic<bool> holding{false}, released{false};
    holding = false;
    released = false;
    fake::beforeRename = [] {
        bool first = false;
        if (!holding.compare_exchange_strong(first, true)) return;  // only the slow save is held
        while (!released) std::this_thread::yield();
    };
    setProfiles({Profile{"older", "", {}}}, 0);
    std::thread slow([] { saveSession(); });
    while (!holding) std::this_thread::yield();
    setProfiles({Profile{"newer", "", {}}}, 0);
    fake::useManualClock(true);  // the crash save's wait for the busy file passes at once
    saveSessionAfterCrash();
    released = true;
    slow.join();
    fake::useManualClock(false);
    fake::beforeRename = nullptr;
    const std::string text = readBytes(sessionFile());
    EXPECT_NE(text.find("PROFILE:newer"), std::string::npos) << text;
    EXPECT_EQ(text.find("PROFILE:older"), std::string::npos) << text;
}
