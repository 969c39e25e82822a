#include "platform/linux/sway/hotkeys_linux.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "model/mouse_buttons.h"
#include "model/state.h"
#include "platform/linux/keys/keymap_linux.h"
#include "platform/linux/sway/user_bindings_linux.h"
#include "platform/linux/system/ipc_linux.h"
#include "platform/platform.h"

namespace platform::sway_hotkeys {
namespace {

const char kMagic[] = "i3-ipc";  // the header of every message, both ways
const size_t kMagicLength = 6;
const uint32_t kRunCommand = 0;
const uint32_t kGetConfig = 9;

DesktopHotkeys applied;
// The person's own binding that each of ours took the keys of, to give back
// when ours goes: the arguments of its bindsym line, or "".
std::array<std::string, 4> displaced;

const char* swaySocket() {
    const char* path = std::getenv("SWAYSOCK");
    return path && *path && std::getenv("WAYLAND_DISPLAY") ? path : nullptr;
}

int connectTo(const char* path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path, sizeof address.sun_path - 1);
    // A compositor that hangs must not hold up the capture thread for long.
    timeval limit{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool readExactly(int fd, char* buffer, size_t length) {
    for (size_t done = 0; done < length;) {
        const ssize_t n = read(fd, buffer + done, length - done);
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

// Sends one message and returns sway's reply (JSON); empty when the socket
// failed. RUN_COMMAND answers with a list of results.
std::string request(int fd, uint32_t type, const std::string& command) {
    std::string message(kMagic, kMagicLength);
    const uint32_t header[2] = {uint32_t(command.size()), type};
    message.append(reinterpret_cast<const char*>(header), sizeof header);
    message += command;
    if (write(fd, message.data(), message.size()) != ssize_t(message.size())) return "";
    char replyHeader[kMagicLength + sizeof header];
    if (!readExactly(fd, replyHeader, sizeof replyHeader)) return "";
    uint32_t length = 0;
    std::memcpy(&length, replyHeader + kMagicLength, sizeof length);
    std::string reply(length, '\0');
    return readExactly(fd, reply.data(), length) ? reply : "";
}

// sway's names of the modifiers, each followed by the '+' that joins it on.
std::string modifierPrefix(int32_t modifiers) {
    struct Name {
        int32_t modifier;
        const char* prefix;
    };
    static constexpr Name kNames[] = {{modifier_bit::Ctrl, "Ctrl+"},
                                      {modifier_bit::Alt, "Mod1+"},
                                      {modifier_bit::Shift, "Shift+"},
                                      {modifier_bit::Super, "Mod4+"}};
    std::string prefix;
    for (const Name& name : kNames)
        if (modifiers & name.modifier) prefix += name.prefix;
    return prefix;
}

// sway's name of what sets off a binding: a key by its keysym name, a button
// anywhere on the screen by its X11 number, each with its modifiers. A held
// key runs its command once: a repeat would toggle again (a recording stopped
// and started anew, its events cleared).
std::string triggerOf(const DesktopHotkey& hotkey) {
    const std::string modifiers = modifierPrefix(hotkey.modifiers);
    switch (hotkey.code) {
    case button_code::Right: return "--no-repeat --whole-window " + modifiers + "button3";
    case button_code::Middle: return "--no-repeat --whole-window " + modifiers + "button2";
    case button_code::Side1: return "--no-repeat --whole-window " + modifiers + "button8";
    case button_code::Side2: return "--no-repeat --whole-window " + modifiers + "button9";
    default: break;
    }
    char name[64] = "";
    const keymap::Keysym keysym = keymap::keysymForVirtualKey(uint32_t(hotkey.code));
    if (keysym == 0 || xkb_keysym_get_name(xkb_keysym_t(keysym), name, sizeof name) <= 0) return "";
    return "--no-repeat " + modifiers + name;
}

// sway expands $name (and $$) in a binding's arguments before sh sees them.
bool quotable(const std::string& text) { return text.find_first_of("'\"\\$") == std::string::npos; }

// The command line a binding runs. sway takes off one level of double
// quotes and hands the rest to sh, which takes the single quotes; a path
// holding a quote, a backslash or a dollar cannot pass both, and is left
// unbound. The command finds the socket in the folder this process uses,
// which need not be the runtime folder sway was started with.
std::string commandLineFor(const char* message) {
    const std::string folder = command_socket::folder();
    const std::string program = executablePath();
    if (!quotable(folder) || !quotable(program)) return "";
    return "env XDG_RUNTIME_DIR='" + folder + "' '" + program + "' --command '" + message + "'";
}

void reportFailure(const std::string& command, const std::string& reply) {
    std::fprintf(stderr, "varnet: sway did not take the hotkey command \"%s\": %s\n", command.c_str(),
                 reply.empty() ? "no answer from its socket" : reply.c_str());
}

void run(int fd, const std::string& command, bool mustSucceed) {
    const std::string reply = request(fd, kRunCommand, command);
    if (mustSucceed && reply.find("\"success\": true") == std::string::npos &&
        reply.find("\"success\":true") == std::string::npos)
        reportFailure(command, reply);
}

// What a binding's trigger names without its flags ("Mod4+Return").
std::string combinationOf(const std::string& trigger) { return trigger.substr(trigger.rfind(' ') + 1); }

// Ours go; where one had taken the keys of the person's own binding, that
// binding is made again, or the keys would do nothing until sway reloads.
void unbindApplied(int fd) {
    for (size_t i = 0; i < applied.count; ++i) {
        const std::string trigger = triggerOf(applied.bindings[i]);
        if (trigger.empty()) continue;
        if (displaced[i].empty()) run(fd, "unbindsym " + trigger, false);
        else run(fd, "bindsym " + displaced[i], true);
        displaced[i].clear();
    }
}

void bindWanted(int fd, const DesktopHotkeys& wanted) {
    if (wanted.count == 0) return;
    const std::string configuration = request(fd, kGetConfig, "");
    for (size_t i = 0; i < wanted.count; ++i) {
        const std::string trigger = triggerOf(wanted.bindings[i]);
        const std::string line = commandLineFor(wanted.bindings[i].message);
        if (trigger.empty() || line.empty()) continue;
        displaced[i] = userBindingOn(configuration, combinationOf(trigger));
        if (!displaced[i].empty())
            std::fprintf(stderr, "varnet: the hotkey \"%s\" takes sway's binding \"%s\" while Varnet runs\n",
                         wanted.bindings[i].name, displaced[i].c_str());
        run(fd, "bindsym " + trigger + " exec \"" + line + "\"", true);
    }
}

}  // namespace

void follow(const DesktopHotkeys& wanted) {
    if (wanted == applied) return;
    const char* path = swaySocket();
    if (!path) return;
    const int fd = connectTo(path);
    if (fd < 0) {
        std::fprintf(stderr, "varnet: sway's command socket %s cannot be reached; hotkeys reach X11 windows only\n",
                     path);
    } else {
        unbindApplied(fd);
        bindWanted(fd, wanted);
        close(fd);
    }
    // A socket that failed is not tried again until the hotkeys change.
    applied = wanted;
}

}  // namespace platform::sway_hotkeys
