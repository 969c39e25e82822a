#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"

TEST(CommandLine, CommandOptionTakesTheRestOfTheLineAsItsMessage) {
    struct Case {
        const char* line;
        bool isCommand;
        const char* message;
    };
    const Case cases[] = {
        {"--command toggleSpammer|", true, "toggleSpammer|"},
        // The arguments arrive joined by spaces; a message may hold them.
        {"--command updateTracker|a b", true, "updateTracker|a b"},
        {"--command", true, ""},
        // From cmd.exe, where '|' must be quoted, the quotes come along: one pair goes.
        {"--command \"toggleSpammer|\"", true, "toggleSpammer|"},
        {"--command \"updateTracker|a b\"", true, "updateTracker|a b"},
        {"--command \"\"toggleSpammer|\"\"", true, "\"toggleSpammer|\""},
        {"--command \"toggleSpammer|", true, "\"toggleSpammer|"},
        {"--command \"", true, "\""},
        {"--commands toggleSpammer|", false, ""},
        {"toggleSpammer|", false, ""},
        {"--child x --command toggleSpammer|", false, ""},
    };
    for (const Case& c : cases) {
        std::string message;
        EXPECT_EQ(isCommandCommandLine(c.line, message), c.isCommand) << c.line;
        if (c.isCommand) {
            EXPECT_EQ(message, c.message) << c.line;
        }
    }
}

TEST(CommandLine, OnlyMessagesTheProgramUnderstandsPass) {
    EXPECT_EQ(commandMessageProblem("toggleSpammer|"), "");
    EXPECT_EQ(commandMessageProblem("updateSpammer|0,0,0,20,0,0,0,5,0"), "");
    EXPECT_NE(commandMessageProblem(""), "");
    EXPECT_NE(commandMessageProblem("toggleSpammer"), "");
    EXPECT_NE(commandMessageProblem("toggleSpamer|"), "");
    EXPECT_NE(commandMessageProblem("|toggleSpammer"), "");
    const std::string fits = "updateTracker|" + std::string(511 - 14, 'x');
    EXPECT_EQ(commandMessageProblem(fits), "");
    EXPECT_NE(commandMessageProblem(fits + "x"), "");
}
