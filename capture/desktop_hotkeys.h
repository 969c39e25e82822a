// The hotkeys as a desktop binds them on our behalf where the program cannot
// watch the keyboard itself (a Wayland compositor with a command interface):
// each bound key or button, with its modifiers, and the command-pipe message
// its hotkey sends.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

struct DesktopHotkey {
    int32_t code = 0;           // virtual-key or button code
    int32_t modifiers = 0;      // a set of modifier_bit values held with it
    const char* message = "";   // e.g. "toggleSpammer|"; static text, one pointer per message
    const char* name = "";      // the page's name of the hotkey, e.g. "Auto click"; static text
    bool operator==(const DesktopHotkey&) const = default;
};

struct DesktopHotkeys {
    std::array<DesktopHotkey, 4> bindings{};
    size_t count = 0;
    bool operator==(const DesktopHotkeys&) const = default;
};

// The four hotkeys now, none while hotkeys are switched off or a
// reassignment waits for its key. A code bound to
// two hotkeys fires the first of them, as the program's own hotkeys do.
DesktopHotkeys desktopHotkeysFromState();

// The message of the hotkey whose message carries this command
// ("toggleSpammer"); nullptr when no hotkey sends it.
const char* desktopHotkeyMessageOf(std::string_view command);
