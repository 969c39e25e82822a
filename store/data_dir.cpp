#include "store/data_dir.h"

#include <fstream>

#include "app/state.h"
#include "platform/platform.h"

namespace {

std::string inFolder(const std::string& folder, const std::string& name) {
    return folder + platform::pathSeparator() + name;
}

}  // namespace

void initDataDir() {
    const std::string dataDir = platform::dataDir();
    platform::createDirectory(dataDir);
    platform::createDirectory(platform::sideFileDir());
    AppState& s = appState();
    s.sessionPath = inFolder(dataDir, "session.mcr");
    if (platform::pathExists(s.sessionPath)) return;
    const std::string legacy = sideFilePath("session.mcr");
    if (platform::pathExists(legacy)) platform::moveFile(legacy, s.sessionPath);
}

std::string sideFilePath(const std::string& fileName) {
    return inFolder(platform::sideFileDir(), fileName);
}

std::string pageFilePath() {
    return inFolder(inFolder(platform::executableDir(), "ui"), "index.html");
}

bool writeWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

bool readFirstLine(const std::string& path, std::string& line) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}
