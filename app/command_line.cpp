#include "app/command_line.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "bridge/pipe_server.h"
#include "platform/platform.h"

namespace {

const char kCommandOption[] = "--command";

// The program serves one client at a time with a short queue behind it; a
// full queue refuses like a missing program does, so a refusal is tried
// again for this long before it counts as "not running".
constexpr std::chrono::milliseconds kWaitForRoom{1000};

}  // namespace

bool isCommandCommandLine(const std::string& commandLine, std::string& message) {
    // The arguments arrive joined by single spaces; a message may hold spaces.
    const size_t length = sizeof kCommandOption - 1;
    if (commandLine.rfind(kCommandOption, 0) != 0) return false;
    if (commandLine.size() > length && commandLine[length] != ' ') return false;
    message = commandLine.size() > length ? commandLine.substr(length + 1) : "";
    // cmd.exe needs '|' quoted and hands the quotes on with the line: one
    // surrounding pair is taken off (no command name begins with a quote).
    if (message.size() >= 2 && message.front() == '"' && message.back() == '"')
        message = message.substr(1, message.size() - 2);
    return true;
}

std::string commandMessageProblem(const std::string& message) {
    const size_t separator = message.find('|');
    if (separator == std::string::npos)
        return "a message is a command name and '|', then its argument, e.g. 'toggleSpammer|'";
    const std::string name = message.substr(0, separator);
    if (!isPipeCommandName(name)) return "there is no command named '" + name + "'";
    if (message.size() >= size_t(kPipeMessageCapacity))
        return "the message is longer than " + std::to_string(kPipeMessageCapacity - 1) + " bytes";
    if (message.find('\0') != std::string::npos) return "the message holds a NUL byte";
    return "";
}

CommandResult sendCommandMessage(const std::string& message) {
    const std::string problem = commandMessageProblem(message);
    if (!problem.empty()) {
        std::fprintf(stderr, "varnet: not sent: %s\n", problem.c_str());
        return CommandResult::Malformed;
    }
    const auto deadline = std::chrono::steady_clock::now() + kWaitForRoom;
    while (!platform::ipcSendMessage(message)) {
        const std::string refusal = platform::ipcSendRefusal();
        if (!refusal.empty()) {
            std::fprintf(stderr, "varnet: not sent: %s\n", refusal.c_str());
            return CommandResult::Refused;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            std::fprintf(stderr, "varnet: not sent: Varnet is not running in this session\n");
            return CommandResult::NotRunning;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return CommandResult::Delivered;
}

bool isHelpCommandLine(const std::string& commandLine) {
    return commandLine == "--help" || commandLine == "-h";
}

const char* helpText() {
    return "Usage: varnet [--command MESSAGE | --version | --help]\n"
           "\n"
           "Without options, starts Varnet, or brings its window to the front when\n"
           "it already runs in this session.\n"
           "\n"
           "  --command MESSAGE  sends one message to the running Varnet and ends:\n"
           "                     exit code 0 when delivered, 1 when Varnet is not\n"
           "                     running, 2 when the message is not understood,\n"
           "                     3 when Varnet runs as administrator and this\n"
           "                     program does not (Windows).\n"
           "                     A message is a command, '|' and its argument:\n"
           "                       toggleSpammer|   toggleKeySpam|\n"
           "                       toggleRecording| togglePlayback|\n"
           "                       startSpammer|    stopSpammer|\n"
           "                       startKeySpam|    stopKeySpam|\n"
           "                       showMainWindow|\n"
           "                     Bind it to a desktop shortcut where Varnet's own\n"
           "                     hotkeys cannot reach (a Wayland session).\n"
           "  --version          prints the version.\n"
           "  --help             prints this text.\n";
}
