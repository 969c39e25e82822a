#include "tests/e2e/compositor_cases.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace e2e {

const char kCompositorSession[] =
    "SETTINGS:0,0,0,100,0,0,1,10,1,300,200,1,1,1,1,0,1,0,500,119,118,0,117,0,0,0,100,1,10,120,32\n"
    "CURRENT:0\n"
    "SETTINGS2:0,0,0,0,0,0,1,0,0,0,0,0,0,0,1\n"
    "PROFILE:Default Tracking Profile\n"
    "PROFILESETTINGS:0,0,0,100,0,0,1,10,1,300,200,0,0,0,100,1,10,32\n"
    "0,0.01,640,360,0,0,0,0\n"
    "2,0.05,640,360,2,0,0,0\n2,0.06,640,360,4,0,0,0\n"
    "1,0.10,15,-10,0,0,0,0\n"
    "2,0.15,640,360,8,0,0,0\n2,0.16,640,360,16,0,0,0\n"
    "2,0.20,640,360,32,0,0,0\n2,0.21,640,360,64,0,0,0\n"
    "2,0.25,640,360,65664,0,0,0\n2,0.26,640,360,65792,0,0,0\n"
    "2,0.30,640,360,131200,0,0,0\n2,0.31,640,360,131328,0,0,0\n"
    "4,0.35,0,0,0,0,0,240\n"
    "3,0.40,0,0,0,65,1,0\n3,0.41,0,0,0,65,0,0\n"
    "3,0.45,0,0,0,97,1,0\n3,0.46,0,0,0,97,0,0\n"
    "3,0.50,0,0,0,160,1,0\n3,0.51,0,0,0,65,1,0\n3,0.52,0,0,0,65,0,0\n3,0.53,0,0,0,160,0,0\n";

size_t countOf(const std::vector<std::string>& lines, const std::string& text) {
    return size_t(std::count(lines.begin(), lines.end(), text));
}

std::vector<std::string> linesAfter(WindowLog& log, size_t from, const std::string& first) {
    EXPECT_TRUE(log.waitFor(first, from, 15000)) << "never saw " << first;
    return log.untilQuiet(from, 700, 15000);
}

void expectCountedClicksAtTheFixedPoint(WindowLog& log, const SendCommand& command) {
    const size_t from = log.size();
    command("updateSpammer|0,0,0,20,0,0,0,4,1");  // at the session's fixed point
    command("toggleSpammer|");
    const auto lines = linesAfter(log, from, "button 272 1");
    EXPECT_EQ(countOf(lines, "button 272 1"), 4u);
    EXPECT_EQ(countOf(lines, "button 272 0"), 4u);
    EXPECT_GE(countOf(lines, "motion 300 200"), 1u);
}

void expectCountedSpaceBarPresses(WindowLog& log, const SendCommand& command) {
    const size_t from = log.size();
    command("updateKeySpam|0,0,0,10,0,4");
    command("toggleKeySpam|");
    const auto lines = linesAfter(log, from, "key space 1");
    EXPECT_EQ(countOf(lines, "key space 1"), 4u);
    EXPECT_EQ(countOf(lines, "key space 0"), 4u);
}

void expectTheClickerHotkeyTakesItsKey(WindowLog& log, const SendCommand& command, const PressKey& press) {
    command("updateSpammer|0,0,0,20,0,0,0,3,0");
    const size_t from = log.size();
    press("F6");
    const auto lines = linesAfter(log, from, "button 272 1");
    EXPECT_EQ(countOf(lines, "button 272 1"), 3u);
    EXPECT_EQ(countOf(lines, "key F6 1"), 0u);
}

void expectAHotkeyWithAModifierTakesOnlyThatCombination(WindowLog& log, const SendCommand& command,
                                                        const PressKey& press) {
    command("updateKeySpam|0,0,0,20,0,3");
    const size_t plain = log.size();
    press("F9");
    EXPECT_EQ(countOf(linesAfter(log, plain, "key F9 0"), "key space 1"), 0u);
    const size_t combined = log.size();
    press("Ctrl+F9");
    const auto lines = linesAfter(log, combined, "key space 0");
    EXPECT_EQ(countOf(lines, "key F9 1"), 0u);
    EXPECT_EQ(countOf(lines, "key space 1"), 3u);
}

void expectPlaybackSends(WindowLog& log, const SendCommand& command, const std::vector<std::string>& expected,
                         const std::vector<std::string>& kinds) {
    const size_t from = log.size();
    command("togglePlayback|");
    std::vector<std::string> seen;
    for (const std::string& line : linesAfter(log, from, expected.back()))
        for (const std::string& kind : kinds)
            if (line.rfind(kind, 0) == 0) seen.push_back(line);
    // Playback glides to its first point from wherever the pointer was.
    const auto first = std::find(seen.begin(), seen.end(), expected.front());
    for (auto glide = seen.begin(); glide != first; ++glide) EXPECT_EQ(glide->rfind("motion ", 0), 0u) << *glide;
    EXPECT_EQ(std::vector<std::string>(first, seen.end()), expected);
}

}  // namespace e2e
