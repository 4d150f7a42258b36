#include "config/data_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_folder.h"

namespace oz::config {
namespace {

namespace fs = std::filesystem;

TEST(DataFolder, ExplicitBeatsEnvironmentBeatsProgramFolder) {
    DataFolderChoice choice;
    choice.executableDir = fs::temp_directory_path();
    choice.environment = "/env/dir";
    EXPECT_EQ(chooseDataFolder(choice), fs::path("/env/dir"));
    choice.explicitDir = "/explicit";
    EXPECT_EQ(chooseDataFolder(choice), fs::path("/explicit"));
    choice.explicitDir.reset();
    choice.environment.reset();
    EXPECT_EQ(chooseDataFolder(choice), fs::temp_directory_path());
}

TEST(DataFolder, UnwritableProgramFolderFallsBackToXdgDataHome) {
    DataFolderChoice choice;
    choice.executableDir = "/nonexistent/program/folder";
    choice.home = "/home/op";
    EXPECT_EQ(chooseDataFolder(choice), fs::path("/home/op/.local/share/Orvane·Zentrel"));
    choice.xdgDataHome = "/xdg";
    EXPECT_EQ(chooseDataFolder(choice), fs::path("/xdg/Orvane·Zentrel"));
    // Regression: root, who may write to /usr/bin, put the settings file with its passwords there.
    choice.executableDir = "/usr/bin";
    EXPECT_EQ(chooseDataFolder(choice), fs::path("/xdg/Orvane·Zentrel"));
}

TEST(DataFolder, CreatedFolderIsPrivate) {
    oz::test::TempFolder root;
    const fs::path dir = root / "outer" / "inner";
    ASSERT_EQ(prepareDataFolder(dir), "");
    EXPECT_EQ(fs::status(dir).permissions() & fs::perms::all, fs::perms::owner_all);
}

}  // namespace
}  // namespace oz::config
