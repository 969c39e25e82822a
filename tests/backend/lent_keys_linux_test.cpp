// Characters a layout lacks, lent empty keys of the keymap the wlroots
// keyboard hands the compositor: each types its keysym on the first level of
// a key that typed nothing, and every key of the person's layout types what
// it typed before, on every level.
#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/linux/wayland/xkb_keys_linux.h"

namespace {

namespace xk = platform::xkb_keys;

// The keysyms of each keycode's levels (group 1), and the level count.
using Levels = std::vector<std::vector<xkb_keysym_t>>;

Levels levelsOf(xkb_keymap* keymap) {
    Levels levels(xk::kKeycodes);
    for (xkb_keycode_t keycode = xk::kEvdevOffset; keycode < xk::kKeycodes; ++keycode) {
        for (xkb_level_index_t level = 0; level < xkb_keymap_num_levels_for_key(keymap, keycode, 0); ++level) {
            const xkb_keysym_t* syms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap, keycode, 0, level, &syms);
            levels[keycode].push_back(count == 1 ? syms[0] : XKB_KEY_NoSymbol);
        }
    }
    return levels;
}

}  // namespace

TEST(LentKeys, EachLackingKeysymGetsAnEmptyKeyAndTheLayoutStays) {
    struct Row {
        const char* layout;
        std::vector<uint32_t> keysyms;
        bool lends;
    };
    const uint32_t snowman = 0x1002603;
    std::vector<uint32_t> sixteen;  // as many as the keyboard keeps lent at a time
    for (uint32_t symbol = 0x2600; symbol < 0x2610; ++symbol) sixteen.push_back(0x1000000 + symbol);
    const Row rows[] = {
        {"us", {XKB_KEY_EuroSign}, true},
        {"us", {XKB_KEY_EuroSign, XKB_KEY_ntilde, XKB_KEY_Ntilde, snowman}, true},
        {"de", {XKB_KEY_ntilde, snowman}, true},
        {"us", sixteen, true},
        {"us", std::vector<uint32_t>(400, XKB_KEY_EuroSign), false},  // more than the empty keys
    };
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    ASSERT_NE(context, nullptr);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.layout) + " lending " + std::to_string(row.keysyms.size()));
        const xkb_rule_names names{"evdev", "pc105", row.layout, "", ""};
        xkb_keymap* person = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        ASSERT_NE(person, nullptr);
        char* personText = xkb_keymap_get_as_string(person, XKB_KEYMAP_FORMAT_TEXT_V1);
        const std::string lentText = xk::withLentKeys(personText, row.keysyms);
        std::free(personText);
        ASSERT_EQ(!lentText.empty(), row.lends);
        if (!row.lends) {
            xkb_keymap_unref(person);
            continue;
        }
        xkb_keymap* lent = xkb_keymap_new_from_string(context, lentText.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                      XKB_KEYMAP_COMPILE_NO_FLAGS);
        ASSERT_NE(lent, nullptr);
        const Levels before = levelsOf(person), after = levelsOf(lent);
        std::vector<uint32_t> found;
        for (int keycode = xk::kEvdevOffset; keycode < xk::kKeycodes; ++keycode) {
            if (before[keycode].empty() && after[keycode].size() == 1) {
                found.push_back(after[keycode][0]);
                continue;
            }
            EXPECT_EQ(after[keycode], before[keycode]) << "keycode " << keycode;
        }
        // The highest empty keys first: the last keysym on the lowest of them.
        EXPECT_EQ(found, std::vector<uint32_t>(row.keysyms.rbegin(), row.keysyms.rend()));
        // The keymap we learn from it finds each on its first level.
        xk::Keymap learned;
        std::string text = lentText;
        ASSERT_TRUE(xk::learn(learned, text));
        EXPECT_EQ(text, lentText) << "as xkbcommon writes it, so the compositor's copy is recognised";
        for (const uint32_t keysym : row.keysyms) {
            const xk::KeyEntry* entry = xk::keyFor(learned, keysym);
            ASSERT_NE(entry, nullptr) << keysym;
            EXPECT_EQ(entry->levelModifiers, 0u);
        }
        xkb_keymap_unref(lent);
        xkb_keymap_unref(person);
    }
    xkb_context_unref(context);
}
