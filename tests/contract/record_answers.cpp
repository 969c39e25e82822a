// Records what the program's own call table answers to the calls listed in
// page_calls.txt, on the fake backend, as JSON for the page tests: the fake
// of the program those tests use is compared with these answers byte for
// byte, so it cannot drift from the program. A sequence may start from an
// event list of events/<name>.txt beside the calls file (a line "@events
// <name>"; event lines as a session file holds them), so that the fake can
// serve the program's own answers for that list, its thinning among them.
//   varnet_page_answers <page_calls.txt> <answers.json>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "app/panel_process.h"
#include "bridge/call_table.h"
#include "model/version.h"
#include "store/session_file.h"
#include "tests/fake/fake_platform.h"
#include "tests/fake/reset_state.h"
#include "text/arguments.h"

namespace {

struct Call {
    std::string name, args;
};

struct Sequence {
    bool panel = false;  // a pop-out window's calls rather than the main window's
    std::string events;  // the event list it starts from; none for ""
    std::vector<Call> calls;
};

constexpr char kEventsLine[] = "@events ";

// Sequences of calls; each starts from a fresh start. A line "@panel" makes
// its sequence a pop-out window's, a line "@events <name>" starts it from
// that event list.
std::vector<Sequence> readSequences(std::istream& in) {
    std::vector<Sequence> sequences(1);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        Sequence& current = sequences.back();
        if (line.empty()) {
            if (!current.calls.empty()) sequences.emplace_back();
        } else if (line == "@panel") {
            current.panel = true;
        } else if (line.rfind(kEventsLine, 0) == 0) {
            current.events = line.substr(sizeof kEventsLine - 1);
        } else if (line[0] != '#') {
            const size_t tab = line.find('\t');
            current.calls.push_back(tab == std::string::npos ? Call{line, "[]"}
                                                             : Call{line.substr(0, tab), line.substr(tab + 1)});
        }
    }
    if (sequences.back().calls.empty()) sequences.pop_back();
    return sequences;
}

// The answer of the window's table, or null for a name it lacks.
std::string answerOf(const Call& call, bool panel) {
    size_t count = 0;
    const PageCall* calls = panel ? panelPageCalls(count) : mainPageCalls(count);
    for (size_t i = 0; i < count; ++i) {
        if (call.name == calls[i].name) return jsonString(calls[i].handler(call.args));
    }
    return "null";
}

// The events of a list file: one event line each; blank lines and lines
// starting with '#' say nothing. False, naming the line, for one the
// program does not read.
bool readEventList(const std::filesystem::path& file, std::vector<MacroEvent>& events) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::cerr << "cannot read the event list " << file.string() << "\n";
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        MacroEvent event;
        if (!parseEventLine(line, event, false)) {
            std::cerr << file.string() << ":" << number << ": not an event line: " << line << "\n";
            return false;
        }
        events.push_back(event);
    }
    return true;
}

void replaceCurrentEvents(std::vector<MacroEvent> events) {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    s.profiles[size_t(s.currentProfile)].events = std::move(events);
    noteEventListEdited();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: varnet_page_answers <page_calls.txt> <answers.json>\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << argv[1] << "\n";
        return 1;
    }
    const std::filesystem::path eventLists = std::filesystem::path(argv[1]).parent_path() / "events";
    const std::string folder = fake::makeTempDir();
    std::ostringstream out;
    out << "{\"version\":" << jsonString(varnetVersion()) << ",\"sequences\":[";
    bool firstSequence = true;
    for (const Sequence& sequence : readSequences(in)) {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        fake::setPlaces(folder, folder, folder);
        resetAppStateForTest();
        addFirstStartProfile();  // as the program starts without a session
        if (!sequence.events.empty()) {
            std::vector<MacroEvent> events;
            if (!readEventList(eventLists / (sequence.events + ".txt"), events)) {
                std::filesystem::remove_all(folder);
                return 1;
            }
            replaceCurrentEvents(std::move(events));
        }
        out << (firstSequence ? "" : ",") << "\n{\"panel\":" << (sequence.panel ? "true" : "false") << ",\"calls\":[";
        firstSequence = false;
        bool firstCall = true;
        for (const Call& call : sequence.calls) {
            out << (firstCall ? "" : ",") << "\n [" << jsonString(call.name) << "," << jsonString(call.args) << ","
                << answerOf(call, sequence.panel) << "]";
            firstCall = false;
        }
        out << "]";
        if (!sequence.events.empty()) out << ",\"events\":" << jsonString(sequence.events);
        out << "}";
    }
    out << "]}\n";
    std::filesystem::remove_all(folder);
    std::ofstream file(argv[2], std::ios::binary);
    file << out.str();
    return file ? 0 : 1;
}
