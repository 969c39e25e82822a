// Every JSON text the main process hands out: the query calls of the page and
// the side files that panels read. For tests and fuzz targets that feed the
// program hostile input and then check that each still parses.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "bridge/page_calls.h"
#include "store/data_dir.h"
#include "tests/fake/json_check.h"

namespace json_check {

// The name of the first output that is not valid JSON, or "" when all are.
// getTrackerStatus runs first: it rewrites both side files.
inline std::string firstBrokenOutput() {
    struct Query {
        const char* name;
        std::string (*call)(const std::string&);
    };
    const Query queries[] = {
        {"getTrackerStatus", callGetTrackerStatus}, {"getSettings", callGetSettings},
        {"getMacroEvents", callGetMacroEvents},     {"getProfiles", callGetProfiles},
        {"getSharedTheme", callGetSharedTheme},     {"getAppSettings", callGetAppSettings},
    };
    for (const Query& query : queries) {
        if (!parses(query.call(""))) return query.name;
    }
    for (const char* side : {"status.txt", "macroevents.txt"}) {
        std::ifstream in(sideFilePath(side), std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (!parses(text)) return side;
    }
    return "";
}

}  // namespace json_check
