#include <cmath>

#include "app/state.h"
#include "bridge/arguments.h"
#include "bridge/page_calls.h"

namespace {

void appendMember(std::string& out, const char* key, const std::string& value) {
    if (out.size() > 1) out.push_back(',');
    out.push_back('"');
    out += key;
    out += "\":";
    out += value;
}

void appendInt(std::string& out, const char* key, int32_t value) {
    appendMember(out, key, std::to_string(value));
}

void appendBool(std::string& out, const char* key, bool value) {
    appendMember(out, key, value ? "true" : "false");
}

// JSON has no infinity or NaN: such a speed is reported as 0, which the page
// shows as "no valid speed" rather than failing to parse the whole snapshot.
std::string speedText(float speed) {
    double wide = speed;
    return std::isfinite(wide) ? formatGeneral6(wide) : "0";
}

}  // namespace

std::string callGetSettings(const std::string&) {
    const AppState& s = appState();
    std::string out = "{";
    appendInt(out, "sh", s.clicker.sh);
    appendInt(out, "sm", s.clicker.sm);
    appendInt(out, "ss", s.clicker.ss);
    appendInt(out, "sms", s.clicker.sms);
    appendInt(out, "sbtn", s.clicker.sbtn);
    appendInt(out, "stype", s.clicker.stype);
    appendInt(out, "rptMode", s.clicker.rptMode);
    appendInt(out, "rptTimes", s.clicker.rptTimes);
    appendInt(out, "locMode", s.clicker.locMode);
    appendInt(out, "fixedX", s.clicker.fixedX);
    appendInt(out, "fixedY", s.clicker.fixedY);
    appendBool(out, "tmv", s.tracker.tmv);
    appendBool(out, "tclk", s.tracker.tclk);
    appendBool(out, "tscr", s.tracker.tscr);
    appendBool(out, "tkey", s.tracker.tkey);
    appendBool(out, "trel", s.tracker.trel);
    appendMember(out, "tspd", speedText(s.tracker.tspd));
    appendBool(out, "tloop", s.tracker.tloop);
    appendInt(out, "tloopMs", s.tracker.tloopMs);
    appendInt(out, "ksh", s.keySpam.ksh);
    appendInt(out, "ksm", s.keySpam.ksm);
    appendInt(out, "kss", s.keySpam.kss);
    appendInt(out, "ksms", s.keySpam.ksms);
    appendInt(out, "ksRptMode", s.keySpam.ksRptMode);
    appendInt(out, "ksRptTimes", s.keySpam.ksRptTimes);
    out.push_back('}');
    return out;
}
