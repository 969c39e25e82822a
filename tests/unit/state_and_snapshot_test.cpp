#include <gtest/gtest.h>

#include "bridge/page_calls.h"
#include "model/state.h"

namespace {

const char kDefaultSnapshot[] =
    R"({"sh":0,"sm":0,"ss":0,"sms":100,"sbtn":0,"stype":0,"rptMode":1,"rptTimes":10,"locMode":0,)"
    R"("fixedX":0,"fixedY":0,"tmv":true,"tclk":true,"tscr":true,"tkey":true,"trel":false,"tspd":1,)"
    R"("tloop":false,"tloopMs":500,"ksh":0,"ksm":0,"kss":0,"ksms":100,"ksRptMode":1,"ksRptTimes":10,)"
    R"("runH":0,"runM":0,"runS":0,"ksRunH":0,"ksRunM":0,"ksRunS":0,"tloopTimes":1,)"
    R"("rndMs":0,"holdMs":0,"areaPx":0,"ksRndMs":0})";

class Snapshot : public ::testing::Test {
protected:
    void SetUp() override {
        resetProfileDefaults();
        resetTrackerDefaults();
    }
    void TearDown() override { SetUp(); }
};

}  // namespace

TEST_F(Snapshot, DefaultsGiveTheExactText) {
    EXPECT_EQ(callGetSettings("[]"), kDefaultSnapshot);
}

TEST_F(Snapshot, NegativeValuesAndSpeedsAreWrittenPlainly) {
    appState().clicker.sms = -5;
    appState().tracker.tspd = 1.5f;
    std::string text = callGetSettings("");
    EXPECT_NE(text.find(R"("sms":-5,)"), std::string::npos);
    EXPECT_NE(text.find(R"("tspd":1.5,)"), std::string::npos);
    appState().tracker.tspd = 3.0f;
    EXPECT_NE(callGetSettings("").find(R"("tspd":3,)"), std::string::npos);
    appState().tracker.tspd = 1234567.0f;
    EXPECT_NE(callGetSettings("").find(R"("tspd":1.23457e+06,)"), std::string::npos);
}

TEST_F(Snapshot, NonFiniteSpeedStillGivesValidJson) {
    appState().tracker.tspd = std::numeric_limits<float>::infinity();
    EXPECT_NE(callGetSettings("").find(R"("tspd":0,)"), std::string::npos);
    appState().tracker.tspd = std::numeric_limits<float>::quiet_NaN();
    EXPECT_NE(callGetSettings("").find(R"("tspd":0,)"), std::string::npos);
}

TEST(State, PointsPackBothCoordinatesIntoOneWord) {
    uint64_t packed = packPoint(-100, 2000);
    EXPECT_EQ(pointX(packed), -100);
    EXPECT_EQ(pointY(packed), 2000);
}

TEST(State, ResetsRestoreTheirGroupsOnly) {
    AppState& s = appState();
    s.clicker.sbtn = 2;
    s.keySpam.keySpamTarget = 65;
    s.hotkeys.hkRec = 1;
    resetProfileDefaults();
    EXPECT_EQ(s.clicker.sbtn, 0);
    EXPECT_EQ(s.keySpam.keySpamTarget, 32);
    EXPECT_EQ(s.hotkeys.hkRec, 1);
    resetHotkeyDefaults();
    EXPECT_EQ(s.hotkeys.hkRec, 119);
    EXPECT_EQ(s.hotkeys.hkPlay, 118);
    EXPECT_EQ(s.hotkeys.hkAuto, 117);
    EXPECT_EQ(s.hotkeys.hkKeySpam, 120);
}
