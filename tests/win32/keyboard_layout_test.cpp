// Keys on a German layout: their names, and Right Alt recorded from the hook
// played back as Right Alt, which that layout makes AltGr. Wine takes its
// layout from the X display when the process starts (it does not follow a
// switch reliably), so german_layout.sh sets the display's layout around
// this suite and says so in VARNET_GERMAN_LAYOUT; elsewhere it is skipped.
// Wine gives the punctuation keys virtual codes of its own choosing: the
// names are checked as a set.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "capture/hook_logic.h"
#include "input/playback.h"
#include "model/mouse_buttons.h"
#include "model/state.h"
#include "platform/platform.h"
#include "platform/win32/win32_backend.h"
#include "tests/win32/message_pump.h"
#include "tests/win32/person_input.h"

namespace {

struct KeyMessage {
    UINT message;
    WPARAM key;
    LPARAM details;
};
std::vector<KeyMessage> keyMessages;

LRESULT CALLBACK keyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Alt's release would open the window menu's modal loop.
    if (message >= WM_KEYDOWN && message <= WM_SYSKEYUP && message != WM_CHAR) {
        keyMessages.push_back({message, wParam, lParam});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::set<std::string> namesOfLayoutKeys() {
    std::set<std::string> names;
    for (int32_t code = 0xBA; code <= 0xE2; ++code) names.insert(bindingName(code));
    return names;
}

class GermanLayout : public ::testing::Test {
protected:
    HWND window = nullptr;

    void SetUp() override {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = keyWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VarnetLayoutTest";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "VarnetLayoutTest", "Varnet Layout Test", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 200, 200, 400, 300, nullptr, nullptr, windowClass.hInstance, nullptr);
        platform::forceForeground(window);
        keyMessages.clear();
    }

    void TearDown() override { DestroyWindow(window); }
};

}  // namespace

// The letters and punctuation keys are named by what they type, in capitals,
// a dead key by its accent, and naming a dead key leaves nothing in the
// keyboard's buffer to change the next character.
TEST_F(GermanLayout, KeysAreNamedByWhatTheyType) {
    if (!getenv("VARNET_GERMAN_LAYOUT")) GTEST_SKIP() << "run by german_layout.sh";
    const std::set<std::string> german = namesOfLayoutKeys();
    for (const char* name : {"Ü", "Ö", "Ä", "ß", "#", "+", "-", "<", "^"}) EXPECT_TRUE(german.count(name)) << name;
    EXPECT_FALSE(german.count("udiaeresis"));
    EXPECT_EQ(bindingName('Z'), "Z");
    EXPECT_EQ(platform::keyTypedText('A', 0), "a");
}

// The hook's Right Alt carries its scan code and extended flag, which this
// layout's mapping of VK_RMENU lacks (under Wine): recorded with them, it
// plays back as the key in Right Alt's place (scan 0x38, extended), not as
// Left Alt.
TEST_F(GermanLayout, RightAltFromTheHookPlaysBackAsRightAlt) {
    if (!getenv("VARNET_GERMAN_LAYOUT")) GTEST_SKIP() << "run by german_layout.sh";
    AppState& s = appState();
    s.perfFrequency = platform::perfCounterFrequency();
    s.app.hotkeysEnabled = false;
    s.tracker.tkey = true;
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        s.profiles.assign(1, Profile{"Test", "", {}});
        s.currentProfile = 0;
    }
    s.recordStart = platform::perfCounter();
    s.recording = true;
    KBDLLHOOKSTRUCT data{};
    data.vkCode = VK_RMENU;
    data.scanCode = 0x38;
    data.flags = LLKHF_EXTENDED;
    const uint32_t scanOfCode = platform::win32::scanForVirtualKey(VK_RMENU);
    for (WPARAM message : {WPARAM(WM_SYSKEYDOWN), WPARAM(WM_KEYUP)})
        EXPECT_FALSE(handleKeyboardInput(platform::win32::keyboardEvent(message, data, scanOfCode, platform::perfCounter())));
    s.recording = false;
    std::vector<MacroEvent> events;
    {
        std::lock_guard<std::mutex> lock(s.profilesLock);
        events = s.profiles[0].events;
    }
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].vk, VK_RMENU);
    EXPECT_EQ(events[0].scan, 0xE038u);

    s.running = true;
    s.playing = true;
    EXPECT_TRUE(playPass(events));
    s.playing = false;
    s.running = false;
    ASSERT_TRUE(pumpUntil([] { return keyMessages.size() >= 2; }));
    for (const KeyMessage& message : keyMessages) {
        EXPECT_EQ(message.key, WPARAM(VK_MENU));
        EXPECT_EQ((message.details >> 16) & 0xFF, 0x38);
        EXPECT_TRUE(message.details & (1 << 24)) << "the extended bit: Right Alt";
    }
    EXPECT_EQ(keyMessages.front().message, UINT(WM_SYSKEYDOWN));
}
