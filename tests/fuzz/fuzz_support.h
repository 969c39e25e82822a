// What every fuzz target shares: a property check that stops the run with
// its reason, and a program state with file places of its own, reset before
// each input so that a finding replays alone.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "store/data_dir.h"
#include "tests/fake/fake_platform.h"
#include "tests/fake/reset_state.h"

#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__,    \
                         __LINE__);                                                        \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

namespace fuzz {

// A fresh program state; the file places are made once per process.
inline const std::string& freshState() {
    static const std::string root = [] {
        std::string folder = fake::makeTempDir();
        fake::setPlaces(folder + "/data", folder + "/side", folder + "/bin");
        initDataDir();
        return folder;
    }();
    resetAppStateForTest();
    return root;
}

inline std::string text(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace fuzz
