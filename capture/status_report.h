// The status report the main page polls and the pop-out panels read from
// status.txt.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a panel shows when status.txt is missing or empty.
extern const char kDefaultStatusReport[];

struct StatusFields {
    std::string state = "Idle";  // "Recording", "Playing" or "Idle"
    size_t count = 0;
    std::vector<std::string> restore;  // ids of panels whose process has ended
    std::string hkRec, hkPlay, hkAuto, hkKeySpam, keySpamTarget;  // display names
    std::string reassigning;
    bool panelHover = false, autoClicking = false, keySpamming = false;
    std::string saveError;  // why the last failed save failed; "" once saves succeed
    bool picking = false;   // a pick of the fixed point is pending
    std::string pipeProblem;  // why pop-out panels cannot reach the main window
    double clickRate = 0.0, keySpamRate = 0.0;  // actions per second achieved, 0 while off
    // Why the last start of each engine was refused, "" once one starts.
    std::string clickerRefused, keySpamRefused;
    // What went wrong with the input hooks, for the person; "" while they
    // work, and then the report leaves the key out.
    std::string hookProblem;
    // The actions per second each engine's interval asks for, while it
    // runs; the report leaves the key out while it is off.
    double clickAsked = 0.0, keySpamAsked = 0.0;
};

// The hook problem's words: missing hooks, or how often they were put back.
std::string hookProblemText(bool missing, uint32_t reinstalls, uint64_t dropped = 0);

// One line of JSON without spaces, keys in their fixed order. Names are
// escaped so that a key named by a quote or a backslash keeps it valid JSON.
std::string statusReportJson(const StatusFields& fields);

// The report as the state holds it now, save for restore: which panels have
// ended is the panel processes' table's to say.
StatusFields gatherStatus();
