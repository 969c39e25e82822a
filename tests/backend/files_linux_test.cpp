// The program's own path when its binary was replaced while it ran.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/linux/system/files_linux.h"

TEST(InstalledPath, AReplacedBinaryIsNamedByItsInstalledPath) {
    const std::string folder = std::filesystem::temp_directory_path() / "varnet-installed-path";
    std::filesystem::create_directories(folder);
    const std::string realName = folder + "/odd (deleted)";
    std::ofstream(realName) << "a file really named so";
    struct Row {
        std::string link, expected;
    };
    const Row rows[] = {
        {"/usr/lib/varnet/varnet", "/usr/lib/varnet/varnet"},
        {"/usr/lib/varnet/varnet (deleted)", "/usr/lib/varnet/varnet"},
        {"/opt/my apps/varnet (deleted)", "/opt/my apps/varnet"},
        {realName, realName},
        {" (deleted)", " (deleted)"},
        {"/usr/bin/varnet (deleted) ", "/usr/bin/varnet (deleted) "},
    };
    for (const Row& row : rows) EXPECT_EQ(platform::installedPath(row.link), row.expected) << row.link;
    std::filesystem::remove_all(folder);
}
