#include "store/data_dir.h"

#include "model/state.h"
#include "platform/platform.h"

namespace {

// The files saved through a temporary file, in either folder.
const char* const kDurablySavedFiles[] = {"session.mcr", "appsettings.txt", "theme.txt"};

std::string inFolder(const std::string& folder, const std::string& name) {
    return folder + platform::pathSeparator() + name;
}

bool allDigits(const std::string& text, size_t from, size_t to) {
    if (from >= to) return false;
    for (size_t i = from; i < to; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}

void removeStaleTemporaryFiles(const std::string& folder) {
    for (const std::string& name : platform::filesInFolder(folder)) {
        uint64_t writer = 0;
        if (temporaryFileWriter(name, writer) && !platform::processRunning(writer))
            platform::removeFile(inFolder(folder, name));
    }
}

}  // namespace

bool temporaryFileWriter(const std::string& fileName, uint64_t& processId) {
    for (const char* saved : kDurablySavedFiles) {
        const std::string prefix = std::string(saved) + ".tmp";
        if (fileName.compare(0, prefix.size(), prefix) != 0) continue;
        const size_t dash = fileName.find('-', prefix.size());
        if (dash == std::string::npos || dash - prefix.size() > 19 ||
            !allDigits(fileName, prefix.size(), dash) ||
            !allDigits(fileName, dash + 1, fileName.size()))
            return false;
        processId = std::stoull(fileName.substr(prefix.size(), dash - prefix.size()));
        return true;
    }
    return false;
}

void initDataDir() {
    const std::string dataDir = platform::dataDir();
    platform::createDirectory(dataDir);
    platform::createDirectory(platform::sideFileDir());
    removeStaleTemporaryFiles(dataDir);
    if (platform::sideFileDir() != dataDir) removeStaleTemporaryFiles(platform::sideFileDir());
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
    return platform::writeFile(path, bytes);
}

bool readWholeFile(const std::string& path, std::string& text) {
    if (!platform::readFile(path, text)) return false;
    dropByteOrderMark(text);
    return true;
}

bool readFirstLine(const std::string& path, std::string& line) {
    std::string text;
    if (!platform::readFile(path, text)) return false;
    line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

void dropByteOrderMark(std::string& text) {
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
}
