// The person's own sway bindings, found in the configuration sway reports, so
// that a hotkey of ours on the same keys can give them back.
#include <gtest/gtest.h>

#include <string>

#include "platform/linux/sway/user_bindings_linux.h"

TEST(SwayUserBindings, TheDefaultModesBindingOnTheCombinationIsFoundAsWritten) {
    struct Case {
        const char* what;
        const char* reply;  // GET_CONFIG's answer, JSON
        const char* combination;
        const char* found;
    };
    const Case cases[] = {
        {"through a variable", R"({"config": "set $mod Mod4\nbindsym $mod+Return exec foot\n"})", "Mod4+Return",
         "$mod+Return exec foot"},
        {"modifiers in another order and spelling, the key in another case",
         R"({"config": "bindsym Shift+Control+a exec x"})", "Ctrl+Shift+A", "Shift+Control+a exec x"},
        {"with flags, kept", R"({"config": "  bindsym --to-code Mod1+F2 exec y\n"})", "Mod1+F2",
         "--to-code Mod1+F2 exec y"},
        {"other modifiers are another binding", R"({"config": "bindsym Ctrl+F6 exec a"})", "F6", ""},
        {"another mode's binding is not the default mode's",
         R"({"config": "mode \"resize\" {\n  bindsym F6 resize shrink width 10px\n}\n"})", "F6", ""},
        {"in a bindsym block", R"({"config": "bindsym {\n  F6 exec z\n  F7 exec w\n}\n"})", "F7", "F7 exec w"},
        {"in an included file", R"({"config": "include extra", "included_configs": [{"path": "/e",)"
                                R"( "config": "bindsym button9 exec q"}]})",
         "button9", "button9 exec q"},
        {"the longest variable name first", R"({"config": "set $m Mod1\nset $mod Mod4\nbindsym $mod+x exec a"})",
         "Mod4+x", "$mod+x exec a"},
        {"escapes undone", R"({"config": "bindsym F8 exec notify-send \"hi\\there\"\n"})", "F8",
         "F8 exec notify-send \"hi\\there\""},
        {"a comment binds nothing", R"({"config": "# bindsym F8 exec old"})", "F8", ""},
        {"no answer", "", "F8", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::sway_hotkeys::userBindingOn(c.reply, c.combination), c.found) << c.what;
}
