// The start-up choices the Linux backend makes for the user's environment:
// each is made only where the user made none.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/platform.h"

TEST(ProcessLinux, RendererAndCompositingAreChosenOnlyWhereTheUserChoseNone) {
    struct Case {
        const char* variable;
        const char* userValue;  // nullptr: not set
        const char* expected;
    } const cases[] = {
        {"GSK_RENDERER", nullptr, "cairo"},
        {"GSK_RENDERER", "ngl", "ngl"},
        {"GSK_RENDERER", "", ""},
        {"WEBKIT_DISABLE_COMPOSITING_MODE", nullptr, "1"},
        {"WEBKIT_DISABLE_COMPOSITING_MODE", "0", "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.variable) + " = " + (c.userValue ? c.userValue : "(not set)"));
        const char* before = std::getenv(c.variable);
        const std::string saved = before ? before : "";
        if (c.userValue) {
            setenv(c.variable, c.userValue, 1);
        } else {
            unsetenv(c.variable);
        }
        platform::prepareProcess();
        const char* chosen = std::getenv(c.variable);
        ASSERT_NE(chosen, nullptr);
        EXPECT_EQ(std::string(chosen), c.expected);
        if (before) {
            setenv(c.variable, saved.c_str(), 1);
        } else {
            unsetenv(c.variable);
        }
    }
}
