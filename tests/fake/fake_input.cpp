// Fake backend: records every synthetic input instead of sending it.
#include <mutex>

#include "platform/platform.h"
#include "tests/fake/fake_platform.h"

namespace {

std::mutex sentLock;
std::vector<fake::SentInput> sent;
void (*sendCallback)(const fake::SentInput&) = nullptr;
int32_t cursorX = 0, cursorY = 0;

// Records the input, taken unless a refusal is pending; returns whether it was.
uint32_t record(fake::SentInput input) {
    input.at = platform::perfCounter();
    input.taken = fake::refuseSends.load() <= 0 || fake::refuseSends.fetch_sub(1) <= 0;
    {
        std::lock_guard<std::mutex> lock(sentLock);
        sent.push_back(input);
    }
    if (sendCallback) sendCallback(input);
    return input.taken ? 1 : 0;
}

}  // namespace

namespace fake {

void reset() {
    {
        std::lock_guard<std::mutex> lock(sentLock);
        sent.clear();
    }
    sendCallback = nullptr;
    refuseSends = 0;
    for (platform::KeyState& state : keyStates) state = platform::KeyState::Unknown;
    useManualClock(false);
}

std::vector<SentInput> sentInputs() {
    std::lock_guard<std::mutex> lock(sentLock);
    return sent;
}

size_t sentCount() {
    std::lock_guard<std::mutex> lock(sentLock);
    return sent.size();
}

void setCursor(int32_t x, int32_t y) {
    cursorX = x;
    cursorY = y;
}

void onSend(void (*callback)(const SentInput&)) { sendCallback = callback; }

}  // namespace fake

namespace platform {

void moveCursorAbsolute(int32_t x, int32_t y) {
    fake::SentInput input{fake::SentInput::Move};
    input.x = x;
    input.y = y;
    cursorX = x;
    cursorY = y;
    record(input);
}

uint32_t sendKeyEvent(uint32_t vk, bool down) { return sendKeyWithScan(vk, 0, down); }

uint32_t sendKeyWithScan(uint32_t vk, uint32_t scan, bool down) {
    fake::SentInput input{fake::SentInput::Key};
    input.vk = vk;
    input.scan = scan;
    input.down = down;
    return record(input);
}

uint32_t sendMouseInput(int32_t dx, int32_t dy, uint32_t mouseData, uint32_t flags) {
    fake::SentInput input{fake::SentInput::Mouse};
    input.dx = dx;
    input.dy = dy;
    input.mouseData = mouseData;
    input.flags = flags;
    return record(input);
}

uint32_t typeCharacter(char32_t character) {
    fake::SentInput input{fake::SentInput::Character};
    input.character = character;
    return record(input);
}

// No layout types anything here.
std::string keyTypedText(int32_t, int32_t) { return ""; }

// The names Windows gives the standard keys, enough for the core's reports.
std::string keyDisplayName(int32_t code) {
    switch (code) {
    case 0xC0: return "`";
    case 13: return "Enter";
    case 27: return "Esc";
    case 32: return "Space";
    case 0x25: return "Left";
    default: break;
    }
    if (code >= 0x70 && code <= 0x87) return "F" + std::to_string(code - 0x6F);
    if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9')) return std::string(1, char(code));
    return "Key[" + std::to_string(code) + "]";
}

KeyState keyStateNow(int32_t vk) { return vk >= 0 && vk < 256 ? fake::keyStates[vk] : KeyState::Unknown; }

bool cursorPosition(int32_t& x, int32_t& y) {
    x = cursorX;
    y = cursorY;
    return true;
}

}  // namespace platform
