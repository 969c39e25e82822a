// A clean AppState and private file places for the persistence tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "model/state.h"
#include "store/data_dir.h"
#include "tests/fake/fake_platform.h"
#include "tests/fake/reset_state.h"

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string goldenPath(const std::string& name) {
    return std::string(VARNET_TEST_DATA) + "/" + name;
}

class StoreTest : public ::testing::Test {
protected:
    std::string root, data, side;
    void SetUp() override {
        root = fake::makeTempDir();
        data = root + "/data/Varnet";
        side = root + "/config/varnet";
        fake::setPlaces(data, side, root + "/bin");
        resetAppStateForTest();
        initDataDir();
    }
    void TearDown() override {
        resetAppStateForTest();
        std::filesystem::remove_all(root);
    }
    std::string sessionFile() const { return appState().sessionPath; }
    void useSession(const std::string& golden) {
        std::filesystem::copy_file(goldenPath(golden), sessionFile(),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    std::vector<Profile> profilesCopy() {
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        return appState().profiles;
    }
    int32_t currentIndex() {
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        return appState().currentProfile;
    }
    void setProfiles(std::vector<Profile> profiles, int32_t current) {
        std::lock_guard<std::mutex> lock(appState().profilesLock);
        appState().profiles = std::move(profiles);
        appState().currentProfile = current;
        noteEventListEdited();
    }
};
