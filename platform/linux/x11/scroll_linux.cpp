#include "platform/linux/x11/scroll_linux.h"

#include <cmath>

namespace {

constexpr int32_t kNotch = 120;

// Raw values come packed in the order of the set bits of the mask.
bool rawValuatorValue(const XIRawEvent& raw, int number, double& value) {
    const double* next = raw.raw_values;
    for (int axis = 0; axis < raw.valuators.mask_len * 8; ++axis) {
        if (!XIMaskIsSet(raw.valuators.mask, axis)) continue;
        if (axis == number) {
            value = *next;
            return true;
        }
        ++next;
    }
    return false;
}

}  // namespace

ScrollAxis scrollAxisOf(const XIDeviceInfo& device) {
    ScrollAxis axis;
    for (int c = 0; c < device.num_classes; ++c) {
        if (device.classes[c]->type != XIScrollClass) continue;
        const auto* scroll = reinterpret_cast<const XIScrollClassInfo*>(device.classes[c]);
        if (scroll->scroll_type != XIScrollTypeVertical || scroll->increment == 0.0) continue;
        axis.number = scroll->number;
        axis.increment = scroll->increment;
    }
    return axis;
}

int32_t wheelDeltaOfRawMotion(ScrollAxis& axis, const XIRawEvent& raw) {
    if (axis.number < 0 || (raw.flags & XIPointerEmulated)) return 0;
    double value = 0.0;
    if (!rawValuatorValue(raw, axis.number, value) || !std::isfinite(value)) return 0;
    // Valuator motion grows downwards; a Windows wheel delta grows away from the user.
    axis.pendingDelta -= value / axis.increment * kNotch;
    // One event can never be more than a thousand notches, as a file's cannot.
    axis.pendingDelta = std::fmax(-1000.0 * kNotch, std::fmin(1000.0 * kNotch, axis.pendingDelta));
    const double whole = std::trunc(axis.pendingDelta);
    axis.pendingDelta -= whole;
    return int32_t(whole);
}

int32_t wheelDeltaOfRawButton(const XIRawEvent& raw, bool down) {
    if (!down || (raw.flags & XIPointerEmulated)) return 0;
    if (raw.detail == 4) return kNotch;
    if (raw.detail == 5) return -kNotch;
    return 0;
}
