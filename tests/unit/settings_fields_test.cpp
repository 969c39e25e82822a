#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "bridge/page_calls.h"
#include "model/settings_fields.h"
#include "store/session_file.h"
#include "tests/fake/reset_state.h"
#include "text/arguments.h"

namespace {

// How a value is written where it is carried: in a file line, in JSON and
// in the page's arguments (the last two alike).
enum class Form { File, Page };

std::string valueText(const SettingsField& field, Form form) {
    AppState& s = appState();
    const FieldMember& m = field.member;
    switch (m.type) {
    case FieldType::Integer: return std::to_string(m.integer(s).load());
    case FieldType::Truth:
        if (form == Form::File) return m.truth(s) ? "1" : "0";
        return m.truth(s) ? "true" : "false";
    case FieldType::Real: return formatGeneral6(m.real(s).load());
    }
    return "";
}

// A value no field has by default; an integer is a key code reassignment
// would take, so that it stays a binding's value when a line is read.
void storeNonDefault(const SettingsField& field, int32_t keyCode) {
    AppState& s = appState();
    const FieldMember& m = field.member;
    switch (m.type) {
    case FieldType::Integer: m.integer(s) = std::min(keyCode, field.highest); break;
    case FieldType::Truth: m.truth(s) = field.initial == 0; break;
    case FieldType::Real: m.real(s) = 2.5f; break;
    }
}

// Text that an update call refuses for the field's type, and for a truth
// field (which takes any text) the text that reads as false.
const char* outOfRange(FieldType type) {
    switch (type) {
    case FieldType::Integer: return "2147483648";
    case FieldType::Truth: return "TRUE";
    case FieldType::Real: return "3.5e38";
    }
    return "";
}

// The values of a settings text: its line's, then its extra line's.
struct TextValues {
    std::vector<std::string> line, extra;
};
TextValues valuesOf(const std::string& text) {
    const SettingsText parts = splitSettingsText(text);
    return {splitFields(parts.line, ','), parts.extra.empty() ? std::vector<std::string>{}
                                                               : splitFields(parts.extra, ',')};
}

std::vector<std::string> snapshotMembers() {
    const std::string text = callGetSettings("");
    return splitFields(text.substr(1, text.size() - 2), ',');
}

// The texts differ at the position alone, where after holds expected.
void expectOnlyChangeAt(const std::vector<std::string>& before, const std::vector<std::string>& after,
                        int8_t position, const std::string& expected) {
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i], int8_t(i) == position ? expected : before[i]) << "at index " << i;
    }
}

std::string (*handlerOf(FieldList call))(const std::string&) {
    switch (call) {
    case FieldList::SpammerCall: return callUpdateSpammer;
    case FieldList::KeySpamCall: return callUpdateKeySpam;
    case FieldList::TrackerCall: return callUpdateTracker;
    default: return nullptr;
    }
}

// The arguments of an update call from the live values, the field's text
// replaced by text.
std::string callArguments(FieldList call, const SettingsField& field, const std::string& text) {
    std::string args = "[";
    for (const SettingsField* f : fieldsIn(call)) {
        if (args.size() > 1) args += ',';
        args += f == &field ? text : valueText(*f, Form::Page);
    }
    return args + "]";
}

class SettingsFields : public ::testing::Test {
protected:
    void SetUp() override { resetAppStateForTest(); }
    void TearDown() override { resetAppStateForTest(); }
};

}  // namespace

TEST_F(SettingsFields, EveryFieldTravelsThroughEachTextAtItsPlaceAndItsCallRefusesWhatIsOutOfRange) {
    std::set<const void*> places;
    int32_t keyCode = 0x41;  // 'A', then the next letters
    for (const SettingsField& field : kSettingsFields) {
        SCOPED_TRACE(field.key);
        resetAppStateForTest();
        const TextValues line = valuesOf(formatSettingsLine());
        const TextValues own = valuesOf(formatProfileSettings());
        ASSERT_TRUE(line.extra.empty() && own.extra.empty()) << "no extra line while all is default";
        const std::vector<std::string> snapshot = snapshotMembers();
        const std::string initial = valueText(field, Form::File);

        storeNonDefault(field, keyCode++);
        const std::string value = valueText(field, Form::File);
        const std::string pageValue = valueText(field, Form::Page);
        ASSERT_NE(value, initial);
        const std::string member = std::string("\"") + field.key + "\":" + pageValue;
        places.insert(field.member.integer ? static_cast<const void*>(&field.member.integer(appState()))
                      : field.member.truth ? static_cast<const void*>(&field.member.truth(appState()))
                                           : static_cast<const void*>(&field.member.real(appState())));

        const bool extra = inExtraLine(field);
        ASSERT_EQ(positionIn(field, FieldList::SettingsLine) == kNotCarried, extra) << "saved in one line";
        const std::string lineText = formatSettingsLine();
        const std::string ownText = formatProfileSettings();
        const TextValues lineAfter = valuesOf(lineText), ownAfter = valuesOf(ownText);
        expectOnlyChangeAt(line.line, lineAfter.line, positionIn(field, FieldList::SettingsLine), value);
        expectOnlyChangeAt(own.line, ownAfter.line, positionIn(field, FieldList::ProfileLine), value);
        if (extra) {
            // The extra line appears, every other value of it at its default.
            resetAppStateForTest();
            storeNonDefault(field, keyCode - 1);
            for (auto [list, values] : {std::pair{FieldList::SettingsMore, lineAfter.extra},
                                        std::pair{FieldList::ProfileMore, ownAfter.extra}}) {
                const int8_t position = positionIn(field, list);
                if (position == kNotCarried) {
                    EXPECT_TRUE(values.empty());
                    continue;
                }
                // An extra line ends at its last value that is not its default.
                const size_t always =
                    list == FieldList::SettingsMore ? kSettingsMoreAlwaysWritten : kProfileMoreAlwaysWritten;
                const size_t length = std::max(always, size_t(position) + 1);
                ASSERT_EQ(values.size(), length);
                for (size_t i = 0; i < values.size(); ++i)
                    EXPECT_EQ(values[i], valueText(*fieldsIn(list)[i], Form::File)) << "at extra index " << i;
                EXPECT_EQ(values[size_t(position)], value);
            }
        } else {
            EXPECT_TRUE(lineAfter.extra.empty() && ownAfter.extra.empty());
        }
        expectOnlyChangeAt(snapshot, snapshotMembers(), positionIn(field, FieldList::Snapshot), member);

        resetAppStateForTest();
        applySettingsLine(lineText);
        EXPECT_EQ(valueText(field, Form::File), value) << "read back from the settings line";
        resetAppStateForTest();
        applyProfileSettings(ownText);
        const bool perProfile = positionIn(field, FieldList::ProfileLine) != kNotCarried ||
                                positionIn(field, FieldList::ProfileMore) != kNotCarried;
        EXPECT_EQ(valueText(field, Form::File), perProfile ? value : initial) << "read back from the profile line";

        for (FieldList call : {FieldList::SpammerCall, FieldList::KeySpamCall, FieldList::TrackerCall}) {
            if (positionIn(field, call) == kNotCarried) continue;
            resetAppStateForTest();
            handlerOf(call)(callArguments(call, field, pageValue));
            EXPECT_EQ(valueText(field, Form::File), value) << "set by its update call";
            handlerOf(call)(callArguments(call, field, outOfRange(field.member.type)));
            const bool takesAnyText = field.member.type == FieldType::Truth;
            EXPECT_EQ(valueText(field, Form::Page), takesAnyText ? "false" : pageValue)
                << "after " << outOfRange(field.member.type);
            if (field.lowest != INT32_MIN) {
                handlerOf(call)(callArguments(call, field, std::to_string(int64_t(field.lowest) - 1)));
                EXPECT_EQ(valueText(field, Form::Page), pageValue) << "below its range";
            }
            if (field.highest != INT32_MAX) {
                handlerOf(call)(callArguments(call, field, std::to_string(int64_t(field.highest) + 1)));
                EXPECT_EQ(valueText(field, Form::Page), pageValue) << "above its range";
            }
        }
    }
    EXPECT_EQ(places.size(), kSettingsFields.size()) << "each row has a member of its own";
}

// A caller that sends only the fields an update call had at first is still
// heard, and the later fields keep their values.
TEST_F(SettingsFields, AnUpdateCallWithoutItsLaterFieldsSetsTheOthers) {
    for (FieldList call : {FieldList::SpammerCall, FieldList::KeySpamCall, FieldList::TrackerCall}) {
        resetAppStateForTest();
        std::string args = "[";
        for (const SettingsField* f : fieldsIn(call)) {
            if (inExtraLine(*f)) {
                storeNonDefault(*f, 7);
                continue;
            }
            if (args.size() > 1) args += ',';
            args += f->member.type == FieldType::Integer ? "3" : valueText(*f, Form::Page);
        }
        const std::string before = callGetSettings("");
        handlerOf(call)(args + "]");
        for (const SettingsField* f : fieldsIn(call)) {
            SCOPED_TRACE(f->key);
            if (inExtraLine(*f)) {
                EXPECT_EQ(valueText(*f, Form::File), "7");
            } else if (f->member.type == FieldType::Integer) {
                EXPECT_EQ(valueText(*f, Form::File), "3");
            }
        }
        EXPECT_NE(callGetSettings(""), before);
    }
}

// The texts themselves, each field set by its own name to a value no other
// integer field holds: a field at the wrong place or a row bound to the
// wrong member shows here, where a round trip could not see it.
TEST_F(SettingsFields, EachFieldByItsOwnNameStandsAtItsPlace) {
    AppState& s = appState();
    ClickerSettings& c = s.clicker;
    c.sh = 1; c.sm = 2; c.ss = 3; c.sms = 4; c.sbtn = 5; c.stype = 6;
    c.rptMode = 7; c.rptTimes = 8; c.locMode = 9; c.fixedX = 10; c.fixedY = -11;
    c.runH = 20; c.runM = 21; c.runS = 22; c.rndMs = 27; c.holdMs = 28; c.areaPx = 29;
    TrackerSettings& t = s.tracker;
    t.tmv = false; t.tclk = true; t.tscr = false; t.tkey = false; t.trel = true;
    t.tspd = 2.5f; t.tloop = true; t.tloopMs = 12; t.tloopTimes = 26;
    KeySpamSettings& k = s.keySpam;
    k.ksh = 14; k.ksm = 15; k.kss = 16; k.ksms = 17; k.ksRptMode = 18; k.ksRptTimes = 19;
    k.keySpamTarget = 0x45;
    k.ksRunH = 23; k.ksRunM = 24; k.ksRunS = 25; k.ksRndMs = 30;
    HotkeySet& h = s.hotkeys;
    h.hkRec = 0x41; h.hkPlay = 0x42; h.hkAuto = 0x43; h.hkKeySpam = 0x44;
    h.hkRecMods = 1; h.hkPlayMods = 2; h.hkAutoMods = 4; h.hkKeySpamMods = 8;

    EXPECT_EQ(formatSettingsLine(), "1,2,3,4,5,6,7,8,9,10,-11,0,1,0,0,1,2.5,1,12,65,66,0,67,14,15,16,17,18,19,68,69\n"
                                    "20,21,22,23,24,25,26,27,28,29,30,1,2,4,8");
    EXPECT_EQ(formatProfileSettings(), "1,2,3,4,5,6,7,8,9,10,-11,14,15,16,17,18,19,69\n20,21,22,23,24,25,27,28,29,30");
    EXPECT_EQ(callGetSettings(""),
              R"({"sh":1,"sm":2,"ss":3,"sms":4,"sbtn":5,"stype":6,"rptMode":7,"rptTimes":8,"locMode":9,)"
              R"("fixedX":10,"fixedY":-11,"tmv":false,"tclk":true,"tscr":false,"tkey":false,"trel":true,)"
              R"("tspd":2.5,"tloop":true,"tloopMs":12,"ksh":14,"ksm":15,"kss":16,"ksms":17,"ksRptMode":18,)"
              R"("ksRptTimes":19,"runH":20,"runM":21,"runS":22,"ksRunH":23,"ksRunM":24,"ksRunS":25,)"
              R"("tloopTimes":26,"rndMs":27,"holdMs":28,"areaPx":29,"ksRndMs":30})");
}
