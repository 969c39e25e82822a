// The process and every process it started, however deep (the web engine's
// processes hang off the main process, some through a sandbox launcher), as
// /proc lists them now.
#pragma once

#include <dirent.h>
#include <sys/types.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

inline std::vector<pid_t> processTree(pid_t root) {
    std::vector<std::pair<pid_t, pid_t>> parents;  // pid, parent pid
    DIR* proc = opendir("/proc");
    if (!proc) return {root};
    while (dirent* entry = readdir(proc)) {
        const pid_t pid = pid_t(std::atoi(entry->d_name));
        if (pid <= 0) continue;
        std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(in, line);
        // The name in parentheses may hold spaces; the parent follows the state.
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int parent = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) == 2)
            parents.emplace_back(pid, pid_t(parent));
    }
    closedir(proc);
    std::vector<pid_t> tree{root};
    for (size_t i = 0; i < tree.size(); ++i)
        for (const auto& [pid, parent] : parents)
            if (parent == tree[i]) tree.push_back(pid);
    return tree;
}
