#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "bridge/page_calls.h"
#include "model/state.h"
#include "store/data_dir.h"
#include "store/theme_file.h"
#include "tests/fake/fake_platform.h"

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class FilePlaces : public ::testing::Test {
protected:
    std::string root, data, side;
    void SetUp() override {
        root = fake::makeTempDir();
        data = root + "/data/Varnet";
        side = root + "/config/varnet";
        fake::setPlaces(data, side, root + "/bin");
        replaceTheme("modern-blue");
    }
    void TearDown() override {
        std::filesystem::remove_all(root);
        replaceTheme("modern-blue");
    }
};

}  // namespace

TEST_F(FilePlaces, CreatesBothFoldersAndSetsTheSessionPath) {
    initDataDir();
    EXPECT_TRUE(std::filesystem::is_directory(data));
    EXPECT_TRUE(std::filesystem::is_directory(side));
    EXPECT_EQ(appState().sessionPath, data + "/session.mcr");
}

TEST_F(FilePlaces, LegacySessionMovesWhenTheDataFolderHasNone) {
    std::filesystem::create_directories(side);
    writeText(side + "/session.mcr", "legacy");
    initDataDir();
    EXPECT_EQ(readAll(data + "/session.mcr"), "legacy");
    EXPECT_FALSE(std::filesystem::exists(side + "/session.mcr"));
}

TEST_F(FilePlaces, LegacySessionNeverOverwritesTheCurrentOne) {
    std::filesystem::create_directories(side);
    std::filesystem::create_directories(data);
    writeText(side + "/session.mcr", "legacy");
    writeText(data + "/session.mcr", "current");
    initDataDir();
    EXPECT_EQ(readAll(data + "/session.mcr"), "current");
    EXPECT_EQ(readAll(side + "/session.mcr"), "legacy");
}

TEST_F(FilePlaces, ThemeFileFallsBackAndUsesOnlyTheFirstLine) {
    initDataDir();
    EXPECT_EQ(readThemeFile(), "modern-blue");
    writeText(side + "/theme.txt", "");
    EXPECT_EQ(readThemeFile(), "modern-blue");
    writeText(side + "/theme.txt", "dark\r\nlight\n");
    EXPECT_EQ(readThemeFile(), "dark");
}

TEST_F(FilePlaces, SetThemeWritesExactlyTheNameAndSharesIt) {
    initDataDir();
    EXPECT_EQ(callGetSharedTheme("[]"), "\"modern-blue\"");
    callSetTheme(R"(["dark"])");
    EXPECT_EQ(readAll(side + "/theme.txt"), "dark");
    EXPECT_EQ(callGetSharedTheme("[]"), "\"dark\"");
    callSetTheme(R"([""])");
    EXPECT_EQ(readAll(side + "/theme.txt"), "");
    EXPECT_EQ(readThemeFile(), "modern-blue");
}

TEST_F(FilePlaces, SharedThemeStaysValidJsonWithABackslash) {
    initDataDir();
    callSetTheme(R"(["a\\b"])");
    EXPECT_EQ(callGetSharedTheme(""), R"("a\\\\b")");
}
