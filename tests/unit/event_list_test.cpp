#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "bridge/page_calls.h"
#include "capture/event_list.h"
#include "model/mouse_buttons.h"
#include "store/data_dir.h"
#include "tests/fake/fake_platform.h"
#include "tests/unit/capture_state.h"

namespace {

MacroEvent abs(int32_t x, int32_t y, double time = 0.0) {
    MacroEvent e;
    e.kind = AbsMove;
    e.x = x;
    e.y = y;
    e.time = time;
    return e;
}

MacroEvent keyEvent(int32_t vk, bool down, double time = 0.0) {
    MacroEvent e;
    e.kind = KeyStroke;
    e.vk = vk;
    e.down = down;
    e.time = time;
    return e;
}

// As a recording appends: the list grows, no edit is counted.
void appendCurrentEvents(const std::vector<MacroEvent>& events) {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    auto& list = s.profiles[size_t(s.currentProfile)].events;
    list.insert(list.end(), events.begin(), events.end());
}

std::vector<double> times(const std::vector<MacroEvent>& events) {
    std::vector<double> out;
    for (const MacroEvent& e : events) out.push_back(e.time);
    return out;
}

class EventList : public ::testing::Test {
protected:
    void SetUp() override {
        resetCaptureState();
        dir = fake::makeTempDir();
        fake::setPlaces(dir, dir, dir);
    }
    void TearDown() override { resetCaptureState(); }
    // The side file as the next status poll leaves it.
    std::string sideFile() {
        callGetTrackerStatus("");
        std::string text;
        readFirstLine(sideFilePath("macroevents.txt"), text);
        return text;
    }
    std::string dir;
};

}  // namespace

TEST_F(EventList, EmptyListGivesBracketsAndStaysEmptyWhenThinned) {
    EXPECT_EQ(callGetMacroEvents("[]"), "[]");
    EXPECT_EQ(sideFile(), "[]");
    callOptimizeMacro("");
    EXPECT_TRUE(currentEvents().empty());
}

TEST_F(EventList, OneKeyPressIsItsDescriptionThenWhatThePageNamesItBy) {
    setCurrentEvents({keyEvent(65, true, 0.5)});
    const std::string text = callGetMacroEvents("");
    EXPECT_EQ(text, R"x([{"id":0,"time":0.500000,"desc":"Keyboard VK: 65 (DOWN)","kind":3,"key":"A","down":true}])x");
    EXPECT_EQ(sideFile(), text);
    // A key without a code says so, in the line the file keeps as ever.
    setCurrentEvents({keyEvent(kKeyWithoutCode, false, 0.5)});
    EXPECT_EQ(callGetMacroEvents(""),
              R"x([{"id":0,"time":0.500000,"desc":"Keyboard VK: 255 (UP)","kind":3,"key":"Key without a code","down":false}])x");
}

TEST_F(EventList, EveryKindHasItsDescription) {
    MacroEvent rel;
    rel.kind = RelMove;
    rel.x = -3;
    rel.y = 5;
    MacroEvent click;
    click.kind = MouseButton;
    click.x = 10;
    click.y = -20;
    click.flags = 0x8;
    click.time = -0.5;
    MacroEvent scroll;
    scroll.kind = Scroll;
    scroll.delta = -120;
    scroll.time = 1.25;
    MacroEvent odd;
    odd.kind = 9;
    EXPECT_EQ(eventListJson({abs(100, 200), rel, click, keyEvent(65, false), scroll, odd}),
              R"([{"id":0,"time":0.000000,"desc":"Abs Move to X:100 Y:200","kind":0,"x":100,"y":200},)"
              R"({"id":1,"time":0.000000,"desc":"Rel Move dX:-3 dY:5","kind":1,"x":-3,"y":5},)"
              R"({"id":2,"time":-0.500000,"desc":"Mouse Click at X:10 Y:-20","kind":2,"x":10,"y":-20,)"
              R"("button":"Right","down":true},)"
              R"x({"id":3,"time":0.000000,"desc":"Keyboard VK: 65 (UP)","kind":3,"key":"A","down":false},)x"
              R"({"id":4,"time":1.250000,"desc":"Mouse Scroll Delta: -120","kind":4,"delta":-120},)"
              R"({"id":5,"time":0.000000,"desc":"","kind":9}])");
}

TEST_F(EventList, ThinningMeasuresFromTheLastKeptPoint) {
    const std::vector<MacroEvent> thinned =
        thinMoves({abs(0, 0), abs(3, 4), abs(6, 8), abs(20, 0), keyEvent(65, true), abs(1, 1), abs(2, 2)});
    ASSERT_EQ(thinned.size(), 5u);
    EXPECT_EQ(thinned[0].x, 0);
    EXPECT_EQ(thinned[1].x, 20);
    EXPECT_EQ(thinned[2].kind, KeyStroke);
    EXPECT_EQ(thinned[3].x, 1);
    EXPECT_EQ(thinned[4].x, 2);
    EXPECT_EQ(thinMoves({abs(0, 0), abs(1, 1)}).size(), 2u);
    // Points far apart never overflow into "close".
    EXPECT_EQ(thinMoves({abs(0, 0), abs(2000000000, -2000000000), abs(0, 0)}).size(), 3u);
}

TEST_F(EventList, OptimizeReplacesTheListAndRewritesTheSideFile) {
    setCurrentEvents({abs(0, 0, 0.1), abs(1, 1, 0.2), abs(50, 50, 0.3)});
    callOptimizeMacro("[]");
    EXPECT_EQ(times(currentEvents()), (std::vector<double>{0.1, 0.3}));
    EXPECT_EQ(sideFile(), buildEventListJson());
}

// The program keeps only what each poll adds; the file holds the whole list,
// and the list is formatted again wherever the file is not the one written.
TEST_F(EventList, SideFileHoldsTheWholeListThroughAppendsAndForeignWrites) {
    enum Step { Append, AppendChunks, ForeignWrite, FileRemoved };
    const std::vector<Step> steps = {Append, Append, ForeignWrite, Append, AppendChunks,
                                     FileRemoved, Append, ForeignWrite};
    setCurrentEvents({});
    EXPECT_EQ(sideFile(), "[]");
    int32_t next = 0;
    for (size_t i = 0; i < steps.size(); ++i) {
        const std::string path = sideFilePath("macroevents.txt");
        switch (steps[i]) {
        case Append: appendCurrentEvents({abs(next, 1), keyEvent(65, true)}), next += 2; break;
        case AppendChunks:
            appendCurrentEvents(std::vector<MacroEvent>(2 * kEventCopyChunk + 3, abs(next, 2))),
                next += int32_t(2 * kEventCopyChunk + 3);
            break;
        case ForeignWrite:
            writeWholeFile(path, "[{\"id\":0}]");
            appendCurrentEvents({abs(next++, 3)});
            break;
        case FileRemoved:
            std::remove(path.c_str());
            appendCurrentEvents({abs(next++, 4)});
            break;
        }
        EXPECT_EQ(sideFile(), buildEventListJson()) << "step " << i;
        EXPECT_EQ(callGetMacroEvents(""), buildEventListJson()) << "step " << i;
    }
    EXPECT_EQ(currentEvents().size(), size_t(next));
}

TEST_F(EventList, DeleteRenumbersAndIgnoresBadIds) {
    setCurrentEvents({keyEvent(1, true, 1.0), keyEvent(2, true, 2.0), keyEvent(3, true, 3.0)});
    callDeleteEvent("[0]");
    EXPECT_EQ(times(currentEvents()), (std::vector<double>{2.0, 3.0}));
    EXPECT_NE(sideFile().find(R"({"id":1,"time":3.000000)"), std::string::npos);
    for (const char* bad : {"[2]", "-1", "abc", "", "99999999999"}) callDeleteEvent(bad);
    EXPECT_EQ(times(currentEvents()), (std::vector<double>{2.0, 3.0}));
    callDeleteEvent("1,0");  // only the first number counts, as the pipe sends it
    EXPECT_EQ(times(currentEvents()), (std::vector<double>{2.0}));
}

TEST_F(EventList, UpdateEventTimeChangesOneEventInPlace) {
    setCurrentEvents({keyEvent(1, true, 1.0), keyEvent(2, true, 2.0), keyEvent(3, true, 3.0)});
    callUpdateEventTime("[2,0.1]");
    EXPECT_EQ(times(currentEvents()), (std::vector<double>{1.0, 2.0, 0.1}));
    callUpdateEventTime(R"(["0","1e-1"])");
    EXPECT_EQ(times(currentEvents()), (std::vector<double>{0.1, 2.0, 0.1}));
    for (const char* bad : {"[1]", "[1,2,3]", "[3,5]", "[x,5]", "[1,y]"}) callUpdateEventTime(bad);
    EXPECT_EQ(times(currentEvents()), (std::vector<double>{0.1, 2.0, 0.1}));
    EXPECT_EQ(sideFile(), buildEventListJson());
}

TEST_F(EventList, AWindowIsTheStretchAskedForWithItsPositionsAsIds) {
    setCurrentEvents({keyEvent(1, true, 1.0), keyEvent(2, true, 2.0), keyEvent(3, true, 3.0)});
    EXPECT_EQ(callGetEventWindow("[1,5]"),
              R"x({"total":3,"offset":1,"events":[{"id":1,"time":2.000000,"desc":"Keyboard VK: 2 (DOWN)",)x"
              R"x("kind":3,"key":"Right Mouse","down":true},)x"
              R"x({"id":2,"time":3.000000,"desc":"Keyboard VK: 3 (DOWN)","kind":3,"key":"Key[3]","down":true}]})x");
    EXPECT_EQ(callGetEventWindow("[7,2]"), R"({"total":3,"offset":3,"events":[]})");
    EXPECT_EQ(callGetEventWindow("[-4,1]"),
              R"x({"total":3,"offset":0,"events":[{"id":0,"time":1.000000,"desc":"Keyboard VK: 1 (DOWN)",)x"
              R"x("kind":3,"key":"Left Mouse","down":true}]})x");
    for (const char* bad : {"[1]", "[x,2]", "[1,2,3]", ""}) EXPECT_EQ(callGetEventWindow(bad), "");
}

// Whatever happens to the list, the text kept up in steps is the text built
// afresh; appends cost an append, and a look with nothing new changes nothing.
TEST_F(EventList, TextKeptUpInStepsEqualsAFreshBuildAfterAnyChanges) {
    std::mt19937 random(20261207);
    auto below = [&](size_t n) { return size_t(random() % n); };
    auto append = [&](size_t count) {
        AppState& s = appState();
        std::lock_guard<std::mutex> lock(s.profilesLock);
        for (size_t i = 0; i < count; ++i) {
            MacroEvent e = below(3) ? abs(int32_t(below(40)), int32_t(below(40))) : keyEvent(int32_t(below(256)), below(2));
            e.time = double(below(100000)) / 1000.0;
            s.profiles[size_t(s.currentProfile)].events.push_back(e);
        }
        noteProfilesChanged();
    };
    callAddProfile("[second]");
    callSwitchProfile("[0]");
    EventListText text;
    std::string whole;  // the text as the side file would hold it
    bool appendedOnly = true;  // since the last look
    for (int step = 0; step < 300; ++step) {
        const size_t size = currentEvents().size();
        const size_t choice = below(8);
        appendedOnly = appendedOnly && choice >= 4;
        switch (choice) {
        case 0: callDeleteEvent("[" + std::to_string(below(size + 2)) + "]"); break;
        case 1: callUpdateEventTime("[" + std::to_string(below(size + 1)) + ",0.25]"); break;
        case 2: callOptimizeMacro(""); break;
        case 3: callSwitchProfile("[" + std::to_string(below(2)) + "]"); break;
        case 4: append(size < 2 * kEventCopyChunk ? kEventCopyChunk + below(kEventCopyChunk) : 1); break;
        default: append(below(40)); break;
        }
        if (below(3) == 0) continue;  // several changes between two looks
        const TextChange change = catchUpEventListText(text);
        if (change == TextChange::Rebuilt) whole.clear();
        if (change == TextChange::Appended) whole.pop_back();  // the closing bracket the addition replaces
        if (change != TextChange::None) whole += text.added;
        ASSERT_EQ(whole, buildEventListJson()) << "step " << step;
        EXPECT_EQ(text.bytes, whole.size());
        EXPECT_EQ(text.count, currentEvents().size());
        if (appendedOnly) {
            EXPECT_NE(change, TextChange::Rebuilt) << "step " << step;
        }
        EXPECT_EQ(catchUpEventListText(text), TextChange::None);
        EXPECT_TRUE(text.added.empty());
        appendedOnly = true;
    }
}

TEST_F(EventList, UpdateTrackerStoresFieldByFieldAndStopsAtABadNumber) {
    TrackerSettings& t = appState().tracker;
    callUpdateTracker(R"([true,true,false,true,false,1.5,true,250])");
    EXPECT_FALSE(t.tscr);
    EXPECT_EQ(t.tspd, 1.5f);
    EXPECT_TRUE(t.tloop);
    EXPECT_EQ(t.tloopMs, 250);
    callUpdateTracker(R"(["TRUE","true","true","true","true","2","false","100"])");
    EXPECT_FALSE(t.tmv);
    EXPECT_TRUE(t.trel);
    EXPECT_EQ(t.tspd, 2.0f);
    EXPECT_EQ(t.tloopMs, 100);
    callUpdateTracker("true,true,true,true,true,3,true");  // seven fields: nothing
    EXPECT_FALSE(t.tmv);
    callUpdateTracker("true,false,true,true,false,fast,true,900");
    EXPECT_TRUE(t.tmv);
    EXPECT_FALSE(t.tclk);
    EXPECT_EQ(t.tspd, 2.0f);
    EXPECT_FALSE(t.tloop);
    EXPECT_EQ(t.tloopMs, 100);
}
