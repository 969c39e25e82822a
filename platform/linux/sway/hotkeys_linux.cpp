#include "platform/linux/sway/hotkeys_linux.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "model/mouse_buttons.h"
#include "model/state.h"
#include "platform/linux/keys/keymap_linux.h"
#include "platform/platform.h"

namespace platform::sway_hotkeys {
namespace {

const char kMagic[] = "i3-ipc";  // the header of every message, both ways
const size_t kMagicLength = 6;
const uint32_t kRunCommand = 0;

DesktopHotkeys applied;

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

// Runs one command and returns sway's reply, a JSON list of results; empty
// when the socket failed.
std::string runCommand(int fd, const std::string& command) {
    std::string message(kMagic, kMagicLength);
    const uint32_t header[2] = {uint32_t(command.size()), kRunCommand};
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
// anywhere on the screen by its X11 number, each with its modifiers.
std::string triggerOf(const DesktopHotkey& hotkey) {
    const std::string modifiers = modifierPrefix(hotkey.modifiers);
    switch (hotkey.code) {
    case button_code::Right: return "--whole-window " + modifiers + "button3";
    case button_code::Middle: return "--whole-window " + modifiers + "button2";
    case button_code::Side1: return "--whole-window " + modifiers + "button8";
    case button_code::Side2: return "--whole-window " + modifiers + "button9";
    default: break;
    }
    char name[64] = "";
    const keymap::Keysym keysym = keymap::keysymForVirtualKey(uint32_t(hotkey.code));
    if (keysym == 0 || xkb_keysym_get_name(xkb_keysym_t(keysym), name, sizeof name) <= 0) return "";
    return modifiers + name;
}

bool quotable(const std::string& text) { return text.find_first_of("'\"\\") == std::string::npos; }

// The command line a binding runs. sway takes off one level of double
// quotes and hands the rest to sh, which takes the single quotes; a path
// holding a quote or a backslash cannot pass both, and is left unbound.
std::string commandLineFor(const char* message) {
    std::string line = "env";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime) {
        if (!quotable(runtime)) return "";
        line += std::string(" XDG_RUNTIME_DIR='") + runtime + "'";
    }
    const std::string program = executablePath();
    if (!quotable(program)) return "";
    return line + " '" + program + "' --command '" + message + "'";
}

void reportFailure(const std::string& command, const std::string& reply) {
    std::fprintf(stderr, "varnet: sway did not take the hotkey command \"%s\": %s\n", command.c_str(),
                 reply.empty() ? "no answer from its socket" : reply.c_str());
}

void run(int fd, const std::string& command, bool mustSucceed) {
    const std::string reply = runCommand(fd, command);
    if (mustSucceed && reply.find("\"success\": true") == std::string::npos &&
        reply.find("\"success\":true") == std::string::npos)
        reportFailure(command, reply);
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
        for (size_t i = 0; i < applied.count; ++i) {
            const std::string trigger = triggerOf(applied.bindings[i]);
            if (!trigger.empty()) run(fd, "unbindsym " + trigger, false);
        }
        for (size_t i = 0; i < wanted.count; ++i) {
            const std::string trigger = triggerOf(wanted.bindings[i]);
            const std::string line = commandLineFor(wanted.bindings[i].message);
            if (!trigger.empty() && !line.empty()) run(fd, "bindsym " + trigger + " exec \"" + line + "\"", true);
        }
        close(fd);
    }
    // A socket that failed is not tried again until the hotkeys change.
    applied = wanted;
}

}  // namespace platform::sway_hotkeys
