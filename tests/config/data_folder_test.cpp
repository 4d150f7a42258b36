#include "config/data_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "config/atomic_file.h"
#include "config/private_files.h"
#include "config/settings_file.h"
#include "tests/support/temp_folder.h"
#include "text/path_text.h"

namespace oz::config {
namespace {

namespace fs = std::filesystem;

using oz::test::modeOf;
using oz::test::readBytes;
using oz::test::writeBytes;

TEST(DataFolder, ExplicitBeatsEnvironmentBeatsProgramFolder) {
    oz::test::TempFolder program;
    DataFolderChoice choice;
    choice.executableDir = program.path();
    choice.environment = "/env/dir";
    EXPECT_EQ(chooseDataFolder(choice), fs::path("/env/dir"));
    choice.explicitDir = "/explicit";
    EXPECT_EQ(chooseDataFolder(choice), fs::path("/explicit"));
    choice.explicitDir.reset();
    choice.environment.reset();
    EXPECT_EQ(chooseDataFolder(choice), program.path());
}

struct FallbackRow {
    const char* name;
    std::optional<std::string> xdgDataHome;
    std::optional<std::string> home;
    std::optional<fs::path> expected;
};

class DataFolderFallback : public ::testing::TestWithParam<FallbackRow> {};

// The program folder is not writable (an installed program): XDG_DATA_HOME, else HOME, else none.
TEST_P(DataFolderFallback, IsTheUsersOwnOrNone) {
    DataFolderChoice choice;
    choice.executableDir = "/nonexistent/program/folder";
    choice.xdgDataHome = GetParam().xdgDataHome;
    choice.home = GetParam().home;
    EXPECT_EQ(chooseDataFolder(choice), GetParam().expected);
    // Regression: root, who may write to /usr/bin, put the settings file with its passwords there.
    choice.executableDir = "/usr/bin";
    EXPECT_EQ(chooseDataFolder(choice), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DataFolderFallback,
    ::testing::Values(FallbackRow{"Home", std::nullopt, "/home/op",
                                  fs::path("/home/op/.local/share/Orvane·Zentrel")},
                      FallbackRow{"Xdg", "/xdg", "/home/op", fs::path("/xdg/Orvane·Zentrel")},
                      // Regression: with HOME unset (env -i, cron) the shared temporary folder was taken,
                      // where another user had made the folder first and read every password.
                      FallbackRow{"NoHomeNoXdg", std::nullopt, std::nullopt, std::nullopt},
                      // The XDG rules ignore a relative XDG_DATA_HOME.
                      FallbackRow{"RelativeXdg", "relative/xdg", "/home/op",
                                  fs::path("/home/op/.local/share/Orvane·Zentrel")},
                      FallbackRow{"RelativeXdgNoHome", "relative/xdg", std::nullopt, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DataFolder, WithoutOneTheStartSaysWhatToDo) {
    DataFolderChoice choice;
    choice.executableDir = "/nonexistent/program/folder";
    const DataFolder folder = openDataFolder(choice);
    EXPECT_TRUE(folder.dir.empty());
    EXPECT_NE(folder.problem.find("--data-dir"), std::string::npos) << folder.problem;
    EXPECT_NE(folder.problem.find("ORVANE_DATA_DIR"), std::string::npos) << folder.problem;
}

TEST(DataFolder, CreatedFolderAndParentsArePrivateWhateverTheUmask) {
    oz::test::ScopedUmask open(0);
    oz::test::TempFolder root;
    const fs::path dir = root / "outer" / "inner";
    std::string notice;
    ASSERT_EQ(prepareDataFolder(dir, &notice), "");
    EXPECT_EQ(modeOf(dir), 0700u);
    EXPECT_EQ(modeOf(root / "outer"), 0700u);
    EXPECT_EQ(notice, "");  // nothing had to be narrowed
}

// Regression: an existing folder of 0777 with a settings file of 0644 (and logs of 0666 made under
// umask 000) stayed so, with every site's password readable by anyone.
TEST(DataFolder, ExistingWideFolderAndEntriesAreNarrowedAndSaidOnce) {
    oz::test::TempFolder root;
    const fs::path dir = root / "data";
    const fs::path logs = dir / text::utf8Path(kLogFolder);
    fs::create_directories(logs);
    ASSERT_TRUE(writeBytes(dir / text::utf8Path(kSettingsFileName), "[基本配置]\r\n"));
    ASSERT_TRUE(writeBytes(logs / "2024-05-07 09-03-02.txt", "log"));
    ::chmod(dir.c_str(), 0777);
    ::chmod(logs.c_str(), 0777);
    ::chmod((dir / text::utf8Path(kSettingsFileName)).c_str(), 0644);
    ::chmod((logs / "2024-05-07 09-03-02.txt").c_str(), 0666);

    std::string notice;
    ASSERT_EQ(prepareDataFolder(dir, &notice), "");
    EXPECT_EQ(modeOf(dir), 0700u);
    EXPECT_EQ(modeOf(dir / text::utf8Path(kSettingsFileName)), 0600u);
    EXPECT_EQ(modeOf(logs), 0700u);
    EXPECT_EQ(modeOf(logs / "2024-05-07 09-03-02.txt"), 0600u);
    EXPECT_NE(notice.find("0700"), std::string::npos) << notice;

    notice.clear();
    ASSERT_EQ(prepareDataFolder(dir, &notice), "");
    EXPECT_EQ(notice, "") << "said once: the next start finds nothing to narrow";
}

// Regression: a data folder of 0555 and a settings file of 0444, made read-only by the user, came
// out 0700 and 0600 (writable) after a start.
TEST(DataFolder, NarrowingOnlyTakesRightsAwayFromGroupAndOthers) {
    oz::test::TempFolder root;
    const fs::path dir = root / "data";
    fs::create_directories(dir);
    const fs::path settings = dir / text::utf8Path(kSettingsFileName);
    ASSERT_TRUE(writeBytes(settings, "[基本配置]\r\n"));
    ::chmod(settings.c_str(), 0444);
    ::chmod(dir.c_str(), 0555);

    std::string notice;
    ASSERT_EQ(prepareDataFolder(dir, &notice), "");
    EXPECT_EQ(modeOf(dir), 0500u);
    EXPECT_EQ(modeOf(settings), 0400u);
    EXPECT_NE(notice, "");
    ::chmod(dir.c_str(), 0700);

    const fs::path log = root / "log.txt";
    ASSERT_TRUE(writeBytes(log, "log"));
    ::chmod(log.c_str(), 0444);
    const int result = preparePrivateFile(log);  // root may open it all the same
    EXPECT_TRUE(result == 0 || result == EACCES) << result;
    EXPECT_EQ(modeOf(log), 0400u);
}

// Regression: another local user made /tmp/Orvane·Zentrel (0777) first; it was taken as it was.
TEST(DataFolder, AFolderOfAnotherUserIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a folder to another user";
    oz::test::TempFolder root;
    const fs::path dir = root / "theirs";
    fs::create_directories(dir);
    ASSERT_EQ(::chown(dir.c_str(), 65534, 65534), 0);
    ::chmod(dir.c_str(), 0777);
    const std::string problem = prepareDataFolder(dir);
    EXPECT_NE(problem.find("不属于当前用户"), std::string::npos) << problem;
}

// Regression: Orvane·Zentrel.ini as a link to a file of 0644 made the saved settings 0644 (the
// mode of the link's target); the write must replace the link and leave its target alone.
TEST(DataFolder, SettingsAreWritten0600NeverThroughALink) {
    oz::test::ScopedUmask open(0);
    oz::test::TempFolder root;
    const fs::path victim = root / "victim.txt";
    ASSERT_TRUE(writeBytes(victim, "the victim's own file"));
    ::chmod(victim.c_str(), 0644);
    const fs::path settings = root / text::utf8Path(kSettingsFileName);
    fs::create_symlink(victim, settings);

    std::string error;
    ASSERT_TRUE(replaceFile(settings, "[基本配置]\r\n密码=secret\r\n", error)) << error;
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(settings)));
    EXPECT_EQ(modeOf(settings), 0600u);
    EXPECT_EQ(readBytes(victim), "the victim's own file");
    EXPECT_EQ(modeOf(victim), 0644u);

    // A plain file of 0644 becomes 0600 at its next save as well.
    ::chmod(settings.c_str(), 0644);
    ASSERT_TRUE(replaceFile(settings, "[基本配置]\r\n", error)) << error;
    EXPECT_EQ(modeOf(settings), 0600u);
}

TEST(DataFolder, FilesForStreamsArePreparedPrivateAndLinksRefused) {
    oz::test::ScopedUmask open(0);
    oz::test::TempFolder root;
    const fs::path file = root / "log.txt";
    EXPECT_EQ(preparePrivateFile(file), 0);
    EXPECT_EQ(modeOf(file), 0600u);
    ::chmod(file.c_str(), 0666);
    EXPECT_EQ(preparePrivateFile(file), 0);
    EXPECT_EQ(modeOf(file), 0600u);

    const fs::path link = root / "link.txt";
    fs::create_symlink(file, link);
    EXPECT_EQ(preparePrivateFile(link), ELOOP);
}

}  // namespace
}  // namespace oz::config
