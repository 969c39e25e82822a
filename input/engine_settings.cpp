#include "input/engine_settings.h"

#include "bridge/arguments.h"

bool storeIntegerFields(const std::vector<std::string>& fields, std::atomic<int32_t>* const* targets,
                        size_t count) {
    if (fields.size() < count) return false;
    for (size_t i = 0; i < count; ++i) {
        int32_t value = 0;
        if (!parseInt32(fields[i], value)) return false;
        targets[i]->store(value);
    }
    return true;
}
