// Typed texts: their characters, their line form and the page's arguments;
// the key spammer typing one; a macro's pause and text rows and their undo.
#include <gtest/gtest.h>

#include "bridge/page_calls.h"
#include "capture/event_list.h"
#include "input/playback.h"
#include "model/typed_texts.h"
#include "store/change_history.h"
#include "store/session_file.h"
#include "tests/fake/reset_state.h"
#include "tests/unit/engine_fixture.h"
#include "text/typed_text.h"

namespace {

using fake::SentInput;

TEST(TypedText, CharactersOfUtf8AndWhatIsNoCharacter) {
    struct Case {
        std::string utf8;
        std::u32string characters;
    };
    const Case cases[] = {
        {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", U"a\u00E9\u20AC\U0001F600"},
        {"\xC3", U"\uFFFD"},                     // cut short
        {"\xC3x", U"\uFFFDx"},                   // a lead without its continuation
        {"\x80\xBF", U"\uFFFD\uFFFD"},           // continuations without a lead
        {"\xC0\xAF", U"\uFFFD"},                 // overlong: one sequence, no character
        {"\xED\xA0\x80x", U"\uFFFDx"},           // a surrogate
        {"\xF4\x90\x80\x80", U"\uFFFD"},         // past U+10FFFF
    };
    std::u32string out;
    for (const Case& c : cases) {
        EXPECT_TRUE(decodeCharacters(c.utf8, out));
        EXPECT_EQ(out, c.characters) << c.utf8;
    }
    EXPECT_TRUE(decodeCharacters(std::string(kMaxTypedCharacters, 'x'), out));
    EXPECT_FALSE(decodeCharacters(std::string(kMaxTypedCharacters + 1, 'x'), out));
}

TEST(TypedText, LineFormKeepsEveryByteOnOneLine) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) all += char(byte);
    const std::string line = escapeLineText(all + ",%");
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    std::string back;
    ASSERT_TRUE(unescapeLineText(line, back));
    EXPECT_EQ(back, all + ",%");
    EXPECT_EQ(escapeLineText("50%, done\n"), "50%25, done%0A");
    for (const char* bad : {"%", "%4", "%G0", "a%0"}) EXPECT_FALSE(unescapeLineText(bad, back)) << bad;
}

TEST(TypedText, JsonArgumentsAsThePageSendsThem) {
    std::vector<std::string> values;
    ASSERT_TRUE(parseJsonArguments(R"([1, true ,"a, \"b\" [c]\\\n\u00e9\ud83d\ude00"])", values));
    EXPECT_EQ(values, (std::vector<std::string>{"1", "true", "a, \"b\" [c]\\\n\xC3\xA9\xF0\x9F\x98\x80"}));
    ASSERT_TRUE(parseJsonArguments("[]", values));
    EXPECT_TRUE(values.empty());
    for (const char* bad : {"", "[", "[1,]", "[\"a]", "[\"\\x\"]", "[1] 2", "1"})
        EXPECT_FALSE(parseJsonArguments(bad, values)) << bad;
}

using KeyTyper = EngineTest;

std::u32string typedCharacters() {
    std::u32string out;
    for (const SentInput& input : fake::sentInputs())
        out += input.kind == SentInput::Character ? input.character : input.down ? U'\u21B5' : U'\0';
    return out;
}

// A line break and Enter are a press and release of Enter (shown here as
// one mark and a zero); a tab goes as Tab; other control characters not at all.
TEST_F(KeyTyper, TypesTheTextEachIntervalWithItsDelayAndEnter) {
    ASSERT_TRUE(setKeyTyper(SpamText, true, 20, "a\r\nb\x01\xE2\x82\xAC"));
    appState().keySpam.ksms = 500;
    appState().keySpamming = true;
    keySpamStep();
    EXPECT_EQ(typedCharacters(), std::u32string(U"a\u21B5") + U'\0' + U"b\u20AC\u21B5" + U'\0');
    EXPECT_EQ(appState().keySpamCount, 1);
    const std::vector<SentInput> sent = fake::sentInputs();
    ASSERT_EQ(sent.size(), 7u);
    const int64_t start = sent[0].at;
    std::vector<int64_t> at;
    for (const SentInput& input : sent) at.push_back((input.at - start) / kMs);
    EXPECT_EQ(at, (std::vector<int64_t>{0, 20, 20, 40, 60, 80, 80}))
        << "the delay stands between characters, Enter included, and a control character takes none";
    keySpamStep();
    EXPECT_EQ(fake::sentInputs()[sent.size()].at - start, 500 * kMs) << "the next text an interval after the first";
    EXPECT_EQ(appState().keySpamCount, 2);
}

TEST_F(KeyTyper, AStopMidTextEndsTheTypingThere) {
    ASSERT_TRUE(setKeyTyper(SpamText, true, 0, "abcdef"));
    fake::onSend([](const SentInput& input) {
        if (input.character == U'c') appState().keySpamming = false;
    });
    appState().keySpamming = true;
    keySpamStep();
    EXPECT_EQ(typedCharacters(), U"abc");
}

TEST_F(KeyTyper, BadValuesChangeNothing) {
    ASSERT_TRUE(setKeyTyper(SpamText, true, 5, "ok"));
    EXPECT_FALSE(setKeyTyper(2, false, 0, ""));
    EXPECT_FALSE(setKeyTyper(SpamKey, false, 1001, ""));
    EXPECT_FALSE(setKeyTyper(SpamKey, false, -1, ""));
    EXPECT_FALSE(setKeyTyper(SpamKey, false, 0, std::string(kMaxTypedCharacters + 1, 'x')));
    callSetKeyTyper(R"([1,false,3,"x","extra"])");
    EXPECT_EQ(keyTyperText(), "ok");
    EXPECT_EQ(appState().keyTyper.characterDelayMs, 5);
    callSetKeyTyper(R"([0,false,7,"a, \"b\""])");
    EXPECT_EQ(keyTyperText(), "a, \"b\"");
    EXPECT_EQ(appState().keyTyper.mode, SpamKey);
}

class MacroRows : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        resetAppStateForTest();
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        appState().profiles = {Profile{"p", "", {}}};
        for (double time : {0.1, 0.2, 0.30000000000000004}) {
            MacroEvent e;
            e.kind = KeyStroke;
            e.vk = 'A';
            e.down = time < 0.25;
            e.time = time;
            appState().profiles[0].events.push_back(e);
        }
    }
    std::vector<MacroEvent> events() {
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        return appState().profiles[0].events;
    }
};

// Undo brings every time back bit for bit, though adding and taking away
// the pause would not; Redo puts the pause back.
TEST_F(MacroRows, APauseMovesTheLaterRowsAndUndoBringsTheirTimesBackExactly) {
    const std::vector<MacroEvent> before = events();
    EXPECT_FALSE(insertPause(1, 0.0));
    EXPECT_FALSE(insertPause(1, -1.0));
    EXPECT_FALSE(insertPause(3, 1.0)) << "no row to move at the end";
    EXPECT_FALSE(insertPause(-1, 1.0));
    ASSERT_TRUE(insertPause(1, 0.1));
    std::vector<MacroEvent> after = events();
    EXPECT_EQ(after[0].time, 0.1);
    EXPECT_EQ(after[1].time, 0.2 + 0.1);
    EXPECT_EQ(after[2].time, 0.30000000000000004 + 0.1);
    ASSERT_TRUE(undoChange());
    for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(events()[i].time, before[i].time) << i;
    ASSERT_TRUE(redoChange());
    EXPECT_EQ(events()[2].time, after[2].time);
}

TEST_F(MacroRows, ATextRowIsOneRowThatPlaysAsItsCharacters) {
    ASSERT_TRUE(insertTypedText(1, "Hi \"you\""));
    ASSERT_TRUE(insertTypedText(4, "!"));
    EXPECT_FALSE(insertTypedText(6, "x"));
    EXPECT_FALSE(insertTypedText(0, ""));
    const std::vector<MacroEvent> rows = events();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[1].kind, TypedText);
    EXPECT_EQ(rows[1].time, 0.2) << "at the time of the row it goes before";
    EXPECT_EQ(rows[4].time, 0.30000000000000004) << "at the end, at the last row's time";
    EXPECT_EQ(eventListJson({rows[1]}),
              R"([{"id":0,"time":0.200000,"desc":"Type \"Hi \"you\"\"","kind":5,"text":"Hi \"you\""}])");
    EXPECT_EQ(formatEventLine(rows[1]), "TYPE:0.2,Hi \"you\"");

    appState().playing = true;
    ASSERT_TRUE(playPass(rows));
    std::u32string typed;
    for (const SentInput& input : fake::sentInputs())
        if (input.kind == SentInput::Character) typed += input.character;
    EXPECT_EQ(typed, U"Hi \"you\"!");
    EXPECT_EQ(fake::sentInputs().size(), typed.size() + 3) << "and the three key rows";

    ASSERT_TRUE(undoChange());
    ASSERT_TRUE(undoChange());
    EXPECT_EQ(events().size(), 3u);
}

TEST(TypedTexts, EachTextIsKeptOnce) {
    const int32_t id = keepTypedText("same text");
    EXPECT_EQ(keepTypedText("same text"), id);
    EXPECT_NE(keepTypedText("other text"), id);
    ASSERT_NE(typedTextOf(id), nullptr);
    EXPECT_EQ(*typedTextOf(id), "same text");
    EXPECT_EQ(typedTextOf(-1), nullptr);
    EXPECT_EQ(typedTextOf(kMaxTypedTexts), nullptr);
}

}  // namespace
