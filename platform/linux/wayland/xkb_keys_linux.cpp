#include "platform/linux/wayland/xkb_keys_linux.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdlib>
#include <utility>

namespace platform::xkb_keys {
namespace {

std::atomic<bool> keyHeld[kKeycodes];
std::atomic<uint32_t> locked{0};

bool oneBit(uint32_t mask) { return mask && !(mask & (mask - 1)); }

// Of the modifier sets that reach a level, the first whose every modifier
// some key can hold or lock, since kwin reads modifiers from the keys alone.
xkb_mod_mask_t pressableMask(const Keymap& keymap, const xkb_mod_mask_t* masks, int count) {
    for (int i = 0; i < count; ++i) {
        bool pressable = true;
        for (uint32_t bit = 0; bit < 32; ++bit)
            if ((masks[i] >> bit & 1) && !keymap.keyOfModifier[bit] && !keymap.lockKeyOf[bit]) pressable = false;
        if (pressable) return masks[i];
    }
    return masks[0];
}

// What each modifier and lock key sets.
void learnModifierKeys(xkb_keymap* xkb, Keymap& keymap, xkb_keycode_t first, xkb_keycode_t last) {
    for (xkb_keycode_t keycode = first; keycode <= last; ++keycode) {
        xkb_state* state = xkb_state_new(xkb);
        xkb_state_update_key(state, keycode, XKB_KEY_DOWN);
        const uint32_t held = xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED);
        xkb_state_update_key(state, keycode, XKB_KEY_UP);
        const uint32_t lockedMods = xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED);
        xkb_state_unref(state);
        keymap.modifiersOfKey[keycode] = held;
        keymap.lockOfKey[keycode] = lockedMods;
        if (oneBit(held) && !lockedMods && !keymap.keyOfModifier[std::countr_zero(held)])
            keymap.keyOfModifier[std::countr_zero(held)] = keycode;
        if (oneBit(lockedMods) && !keymap.lockKeyOf[std::countr_zero(lockedMods)])
            keymap.lockKeyOf[std::countr_zero(lockedMods)] = keycode;
    }
}

// Which key types each keysym, level by level, so that the first level wins
// and most keys need no modifier.
void learnKeys(xkb_keymap* xkb, Keymap& keymap, xkb_keycode_t first, xkb_keycode_t last) {
    for (xkb_level_index_t level = 0; level < 4; ++level) {
        for (xkb_keycode_t keycode = first; keycode <= last; ++keycode) {
            if (level >= xkb_keymap_num_levels_for_key(xkb, keycode, 0)) continue;
            const xkb_keysym_t* syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(xkb, keycode, 0, level, &syms) != 1) continue;
            xkb_mod_mask_t masks[4] = {};
            const int count = level > 0 ? int(xkb_keymap_key_get_mods_for_level(xkb, keycode, 0, level, masks, 4)) : 1;
            if (count < 1) continue;
            keymap.keys.push_back(KeyEntry{syms[0], keycode - kEvdevOffset, pressableMask(keymap, masks, count)});
        }
    }
}

xkb_keymap* compile(xkb_context* context, const std::string& text) {
    return xkb_keymap_new_from_string(context, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
}

// "    key <I250> { [ EuroSign ] };" for each keysym, on the empty keys from
// the top down; "" when there are too few.
std::string lentKeyLines(xkb_keymap* xkb, const std::vector<uint32_t>& keysyms) {
    std::string lines;
    size_t next = 0;
    const xkb_keycode_t first = std::max<xkb_keycode_t>(xkb_keymap_min_keycode(xkb), kEvdevOffset);
    for (xkb_keycode_t keycode = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(xkb), kKeycodes - 1);
         keycode >= first && next < keysyms.size(); --keycode) {
        const char* name = xkb_keymap_key_get_name(xkb, keycode);
        char symbol[64];
        if (!name || xkb_keymap_num_layouts_for_key(xkb, keycode) != 0 ||
            xkb_keysym_get_name(keysyms[next], symbol, sizeof symbol) <= 0)
            continue;
        lines += std::string("    key <") + name + "> { [ " + symbol + " ] };\n";
        ++next;
    }
    return next == keysyms.size() ? lines : "";
}

}  // namespace

std::string withLentKeys(const std::string& text, const std::vector<uint32_t>& keysyms) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context) return "";
    std::string lent;
    if (xkb_keymap* person = compile(context, text)) {
        const std::string lines = lentKeyLines(person, keysyms);
        xkb_keymap_unref(person);
        // The symbols section ends at the first line that closes a section after its start.
        const size_t symbols = text.find("xkb_symbols");
        const size_t end = symbols == std::string::npos ? symbols : text.find("\n};", symbols);
        if (!lines.empty() && end != std::string::npos) lent = text.substr(0, end + 1) + lines + text.substr(end + 1);
    }
    xkb_keymap* xkb = lent.empty() ? nullptr : compile(context, lent);
    char* written = xkb ? xkb_keymap_get_as_string(xkb, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    lent = written ? written : "";
    std::free(written);
    if (xkb) xkb_keymap_unref(xkb);
    xkb_context_unref(context);
    return lent;
}

bool learn(Keymap& keymap, std::string& text) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context) return false;
    xkb_keymap* xkb =
        text.empty() ? xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS) : compile(context, text);
    if (xkb) {
        const xkb_keycode_t first = std::max<xkb_keycode_t>(xkb_keymap_min_keycode(xkb), kEvdevOffset);
        const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(xkb), kKeycodes - 1);
        learnModifierKeys(xkb, keymap, first, last);
        learnKeys(xkb, keymap, first, last);
        if (char* keymapText = xkb_keymap_get_as_string(xkb, XKB_KEYMAP_FORMAT_TEXT_V1)) {
            text = keymapText;
            std::free(keymapText);
        }
        xkb_keymap_unref(xkb);
    }
    xkb_context_unref(context);
    return xkb != nullptr;
}

const KeyEntry* keyFor(const Keymap& keymap, uint32_t keysym) {
    for (const KeyEntry& entry : keymap.keys)
        if (entry.keysym == keysym) return &entry;
    return nullptr;
}

void noteSent(const Keymap& keymap, uint32_t keycode, bool down) {
    if (keycode >= uint32_t(kKeycodes) || !(keymap.modifiersOfKey[keycode] || keymap.lockOfKey[keycode])) return;
    keyHeld[keycode] = down;
    if (down) locked ^= keymap.lockOfKey[keycode];
}

uint32_t heldModifiers(const Keymap& keymap) {
    uint32_t held = 0;
    for (int keycode = 0; keycode < kKeycodes; ++keycode) {
        if (keymap.modifiersOfKey[keycode] && keyHeld[keycode].load(std::memory_order_relaxed))
            held |= keymap.modifiersOfKey[keycode];
    }
    return held;
}

uint32_t lockedModifiers() { return locked.load(std::memory_order_relaxed); }

namespace {
xkb_state* placedState = nullptr;
std::atomic_flag placedBusy = ATOMIC_FLAG_INIT;
}  // namespace

bool followPresses(const std::string& text) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context) return false;
    xkb_keymap* xkb = compile(context, text);
    xkb_state* fresh = xkb ? xkb_state_new(xkb) : nullptr;
    if (xkb) xkb_keymap_unref(xkb);
    xkb_context_unref(context);
    if (!fresh) return false;
    while (placedBusy.test_and_set(std::memory_order_acquire)) {
    }
    std::swap(placedState, fresh);
    placedBusy.clear(std::memory_order_release);
    if (fresh) xkb_state_unref(fresh);
    return true;
}

PlacedModifiers notePlacedKey(uint32_t evdevCode, bool down) {
    PlacedModifiers m;
    if (!placedState) return m;
    // Held for a few instructions only: a spin costs less than a sleep.
    while (placedBusy.test_and_set(std::memory_order_acquire)) {
    }
    xkb_state_update_key(placedState, evdevCode + kEvdevOffset, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    m.depressed = xkb_state_serialize_mods(placedState, XKB_STATE_MODS_DEPRESSED);
    m.latched = xkb_state_serialize_mods(placedState, XKB_STATE_MODS_LATCHED);
    m.locked = xkb_state_serialize_mods(placedState, XKB_STATE_MODS_LOCKED);
    m.group = xkb_state_serialize_layout(placedState, XKB_STATE_LAYOUT_EFFECTIVE);
    placedBusy.clear(std::memory_order_release);
    return m;
}

}  // namespace platform::xkb_keys
