#include "input/action_rate.h"

void countAction(RateWindow& window, std::atomic<double>& rate, int64_t now, int64_t frequency) {
    if (!window.open) {
        window = RateWindow{now, 0, true};
        return;
    }
    ++window.actions;
    const int64_t elapsed = now - window.opened;
    if (frequency <= 0 || elapsed < frequency) return;
    rate = double(window.actions) * double(frequency) / double(elapsed);
    window = RateWindow{now, 0, true};
}

void forgetRate(RateWindow& window, std::atomic<double>& rate) {
    window = RateWindow{};
    rate = 0.0;
}
