// The mouse buttons as the core names them: every backend reports a button by
// its code, the same code that a binding to it holds (Windows' virtual-key
// codes of the buttons, so a binding is one number whether key or button).
#pragma once

#include <cstdint>
#include <string>

namespace button_code {
constexpr int32_t Left = 1, Right = 2, Middle = 4, Side1 = 5, Side2 = 6;
}  // namespace button_code

constexpr int32_t kButtonCodes[] = {button_code::Left, button_code::Right, button_code::Middle,
                                    button_code::Side1, button_code::Side2};
// The highest button code, for tables indexed by code.
constexpr int32_t kLastButtonCode = button_code::Side2;

constexpr bool isButtonCode(int32_t code) {
    for (int32_t button : kButtonCodes)
        if (code == button) return true;
    return false;
}

// The code of a key a person pressed that has no virtual-key code of its own
// (Windows' hooks report such keys with it too): it is recorded, never bound,
// and plays only where a scan code names its key.
constexpr int32_t kKeyWithoutCode = 0xFF;

// What a binding to the code is called on the page and in the status report:
// a mouse button's own name, otherwise the system's name of the key.
std::string bindingName(int32_t code);
