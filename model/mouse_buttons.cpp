#include "model/mouse_buttons.h"

#include "platform/platform.h"

namespace {

const char* mouseButtonName(int32_t code) {
    switch (code) {
    case button_code::Left: return "Left Mouse";
    case button_code::Right: return "Right Mouse";
    case button_code::Middle: return "Middle Mouse";
    case button_code::Side1: return "Mouse 4 (Side)";
    case button_code::Side2: return "Mouse 5 (Side)";
    default: return nullptr;
    }
}

}  // namespace

std::string bindingName(int32_t code) {
    if (const char* name = mouseButtonName(code)) return name;
    if (code == kKeyWithoutCode) return "Key without a code";
    return platform::keyDisplayName(code);
}
