#include "model/start_rule.h"

#include <algorithm>
#include <mutex>

namespace {

double totalMs(int32_t hours, int32_t minutes, int32_t seconds, int32_t milliseconds) {
    return double(hours) * 3600000.0 + double(minutes) * 60000.0 + double(seconds) * 1000.0 + double(milliseconds);
}

StartRefusal refusalFor(int32_t mode, int32_t times, double runMs, double intervalMs) {
    if (mode == RunCounted && times <= 0) return StartRefusal::NoTimes;
    if (mode == RunTimed && runMs <= 0.0) return StartRefusal::NoLength;
    if (mode != RunCounted && intervalMs <= 0.0) return StartRefusal::NoInterval;
    return StartRefusal::None;
}

}  // namespace

bool fixedPointIsSet(const ClickerSettings& c) { return c.fixedPointChosen || c.fixedX != 0 || c.fixedY != 0; }

double stepWaitMs(const ClickStep& step) { return std::max(1.0, double(step.waitMs)); }

double liveSequencePassMs() {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    double total = 0.0;
    for (const ClickStep& step : s.clickSteps) total += stepWaitMs(step);
    return total;
}

StartRefusal clickerStartRefusal(const ClickerSettings& c, double passMs) {
    const bool inSequence = c.locMode == InSequence;
    if (inSequence && passMs <= 0.0) return StartRefusal::NoSteps;
    const StartRefusal run = refusalFor(c.rptMode, c.rptTimes, totalMs(c.runH, c.runM, c.runS, 0),
                                        inSequence ? passMs : totalMs(c.sh, c.sm, c.ss, c.sms));
    if (run != StartRefusal::None) return run;
    return c.locMode == AtFixedPoint && !fixedPointIsSet(c) ? StartRefusal::NoPoint : StartRefusal::None;
}

StartRefusal keySpamStartRefusal(const KeySpamSettings& k) {
    return refusalFor(k.ksRptMode, k.ksRptTimes, totalMs(k.ksRunH, k.ksRunM, k.ksRunS, 0),
                      totalMs(k.ksh, k.ksm, k.kss, k.ksms));
}

namespace {
double perSecond(double intervalMs) { return intervalMs > 0.0 ? 1000.0 / intervalMs : 0.0; }
}  // namespace

double clickerAskedRate(const ClickerSettings& c, double passMs) {
    return perSecond(c.locMode == InSequence ? passMs : totalMs(c.sh, c.sm, c.ss, c.sms));
}

double keySpamAskedRate(const KeySpamSettings& k) { return perSecond(totalMs(k.ksh, k.ksm, k.kss, k.ksms)); }

const char* startRefusalText(StartRefusal refusal) {
    switch (refusal) {
    case StartRefusal::None: return "";
    case StartRefusal::NoTimes: return "Not started: the number of times must be 1 or more.";
    case StartRefusal::NoLength: return "Not started: a timed run needs a length above 0 h 0 m 0 s.";
    case StartRefusal::NoInterval: return "Not started: the interval must be above 0 ms.";
    case StartRefusal::NoPoint: return "Not started: pick or type a point first.";
    case StartRefusal::NoSteps: return "Not started: add a step to the sequence first.";
    }
    return "";
}
