// Hostile text through every door (page calls, pipe messages, the session
// file, an imported profile): each row gets its own clear effect, nothing
// else is lost, and every JSON text the program hands out still parses.
#include <gtest/gtest.h>

#include <functional>

#include "bridge/page_calls.h"
#include "bridge/pipe_server.h"
#include "store/profile_files.h"
#include "store/session_file.h"
#include "tests/fake/json_outputs.h"
#include "tests/unit/store_fixture.h"
#include "text/arguments.h"

namespace {

const char kDefaultSettings[] =
    "0,0,0,100,0,0,1,10,0,0,0,1,1,1,1,0,1,0,500,119,118,0,117,0,0,0,100,1,10,120,32";

// The default settings line with some fields replaced, by index.
std::string settingsWith(std::initializer_list<std::pair<size_t, const char*>> changes) {
    std::vector<std::string> fields = splitFields(kDefaultSettings, ',');
    for (const auto& [index, value] : changes) fields[index] = value;
    std::string line;
    for (const std::string& field : fields) line += (line.empty() ? "" : ",") + field;
    return line;
}

using Action = std::function<void(const std::string& folder)>;

Action pipe(std::string message) {
    return [message](const std::string&) { dispatchPanelCommand(message.c_str()); };
}

Action page(std::string (*call)(const std::string&), std::string args) {
    return [call, args](const std::string&) { call(args); };
}

Action session(std::string text) {
    return [text](const std::string&) {
        writeBytes(appState().sessionPath, text);
        loadSession();
    };
}

Action import(std::string text) {
    return [text](const std::string& folder) {
        writeBytes(folder + "/hostile.mcr", text);
        importProfileFromFile(folder + "/hostile.mcr");
    };
}

// A copy of the current profile.
Profile current() {
    std::lock_guard<std::mutex> lock(appState().profilesLock);
    return appState().profiles.at(size_t(appState().currentProfile));
}

double firstTime() { return current().events.at(0).time; }

struct Row {
    const char* what;
    Action act;
    std::function<bool()> effect;
};

class HostileInput : public StoreTest {};

}  // namespace

TEST_F(HostileInput, EachRowHasItsEffectAndEveryJsonOutputStillParses) {
    const AppState& s = appState();
    const Row rows[] = {
        {"nan time through the pipe", pipe("updateEventTime|0,nan"), [] { return firstTime() == 1.5; }},
        {"inf time from the page", page(callUpdateEventTime, R"([0,"inf"])"),
         [] { return firstTime() == 1.5; }},
        {"time beyond a double", pipe("updateEventTime|0,1e999"), [] { return firstTime() == 1.5; }},
        {"negative time is kept", page(callUpdateEventTime, "[0,-2.5]"),
         [] { return firstTime() == -2.5; }},
        {"huge time is kept", pipe("updateEventTime|0,1e300"), [] { return firstTime() == 1e300; }},
        {"nan speed stops the tracker call", page(callUpdateTracker, "[false,true,true,true,false,nan,true,9]"),
         [&] { return !s.tracker.tmv && s.tracker.tspd == 1.0f && !s.tracker.tloop; }},
        {"inf speed from a panel", pipe("updateTracker|true,true,true,true,false,-inf,true,9"),
         [&] { return s.tracker.tspd == 1.0f && s.tracker.tloopMs == 500; }},
        {"control characters in a theme", pipe("setTheme|a\tb\x01"),
         [] { return callGetSharedTheme("") == R"("a\u0009b\u0001")"; }},
        {"control characters in a profile name", page(callAddProfile, "[\"x\\ty\x1f\"]"),
         [] { return current().name == "x\\ty\x1f"; }},
        {"session line with a nan time is dropped",
         session("SETTINGS:" + std::string(kDefaultSettings) + "\r\nCURRENT:0\r\nPROFILE:p\r\n"
                 "3,nan,0,0,0,65,1,0\r\n3,0.5,0,0,0,66,1,0\r\n4,infinity,0,0,0,0,0,120\r\n"),
         [] {
             const Profile p = current();
             return p.events.size() == 1 && p.events[0].vk == 66;
         }},
        {"session speed of inf ends its group there",
         session("SETTINGS:" + settingsWith({{0, "7"}, {16, "inf"}, {18, "9"}}) + "\r\nPROFILE:p\r\n"),
         [&] { return s.clicker.sh == 7 && s.tracker.tspd == 1.0f && s.tracker.tloopMs == 500; }},
        {"session hotkeys no person could choose",
         session("SETTINGS:" + settingsWith({{19, "1"}, {20, "300"}, {22, "27"}, {29, "0"}, {30, "2"}}) +
                 "\r\nPROFILE:p\r\n"),
         [&] {
             return s.hotkeys.hkRec == 119 && s.hotkeys.hkPlay == 118 && s.hotkeys.hkAuto == 117 &&
                    s.hotkeys.hkKeySpam == 120 && s.keySpam.keySpamTarget == 32;
         }},
        {"session hotkeys a person could choose stay",
         session("SETTINGS:" + settingsWith({{19, "2"}, {20, "65"}, {30, "3"}}) + "\r\nPROFILE:p\r\n"),
         [&] { return s.hotkeys.hkRec == 2 && s.hotkeys.hkPlay == 65 && s.keySpam.keySpamTarget == 3; }},
        {"imported left-button hotkey, other fields as they come",
         import("mine\r\nSETTINGS:" + settingsWith({{3, "-5"}, {22, "1"}, {30, "4"}}) +
                "\r\n2,1e308,2147483647,-2147483648,4294967295,0,1,0\r\n"),
         [&] {
             const Profile p = current();
             return s.hotkeys.hkAuto == 117 && s.keySpam.keySpamTarget == 32 && s.clicker.sms == -5 &&
                    p.name == "mine" && p.events.size() == 1;
         }},
        {"a profile's own line naming a mouse target",
         [](const std::string&) {
             {
                 std::lock_guard<std::mutex> lock(appState().profilesLock);
                 appState().profiles.push_back({"t", "1,2,3,4,0,0,1,10,0,0,0,0,0,0,100,1,10,5", {}});
             }
             callSwitchProfile("[1]");
         },
         [&] { return s.clicker.sh == 1 && s.keySpam.keySpamTarget == 32; }},
        {"deleting leaves the widest scroll listed", pipe("deleteEvent|0"),
         [] { return current().events.size() == 1; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        MacroEvent key;
        key.kind = KeyStroke;
        key.time = 1.5;
        key.vk = 65;
        MacroEvent wheel;
        wheel.kind = Scroll;
        wheel.delta = INT32_MIN;
        resetAppStateForTest();
        setProfiles({{"Default", "", {key, wheel}}}, 0);
        row.act(root);
        EXPECT_TRUE(row.effect());
        EXPECT_EQ(json_check::firstBrokenOutput(), "");
    }
}

TEST(JsonCheck, RefusesWhatAPageCouldNotParse) {
    for (const char* good : {"[]", R"({"a":[1,-0.5e+3,"x\u0009"],"b":null})", " true "})
        EXPECT_TRUE(json_check::parses(good)) << good;
    for (const char* bad : {"[nan]", "[1,]", "\"a\tb\"", "{\"a\":1} x", "[01]", "inf", ""})
        EXPECT_FALSE(json_check::parses(bad)) << bad;
}
