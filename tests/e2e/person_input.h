// Input that the program must take as a person's: sent through Xvfb's own
// slave devices ("Xvfb keyboard", "Xvfb mouse"), which are no core XTest
// devices, and, for the wheel and the side buttons that "Xvfb mouse" lacks,
// through the XTest pointer of a master pointer added for the purpose.
#pragma once

#include <string>

namespace e2e {

struct PersonInput {
    void* display = nullptr;  // Display*
    void* keyboard = nullptr; // XDevice* of "Xvfb keyboard"
    void* mouse = nullptr;    // XDevice* of "Xvfb mouse"
    void* extraPointer = nullptr;  // XDevice* of the added master's XTest pointer
    int extraMaster = 0;
};

// Opens the devices; with extraPointer, also adds the second master.
bool openPersonInput(PersonInput& input, const std::string& display, bool extraPointer);
void closePersonInput(PersonInput& input);

// keysym: an X keysym such as XK_F8 or XK_a.
void personKey(PersonInput& input, unsigned long keysym, bool down);
void personTap(PersonInput& input, unsigned long keysym);
void personKeycode(PersonInput& input, int keycode, bool down);
// Types a keysym as a person does on the active layout and group: its key,
// with Shift and AltGr held as its level needs. False when no key types it.
bool personType(PersonInput& input, unsigned long keysym);
void personMoveTo(PersonInput& input, int x, int y);
void personMoveBy(PersonInput& input, int dx, int dy);
// Buttons 1 to 3 of "Xvfb mouse".
void personButton(PersonInput& input, int button, bool down);
// Any button, 4/5 wheel and 8/9 side buttons included, of the added pointer.
void personExtraButton(PersonInput& input, int button, bool down);

}  // namespace e2e
