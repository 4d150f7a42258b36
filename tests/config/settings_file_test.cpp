#include "config/settings_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "settings_fixture.h"

namespace oz::config {
namespace {

namespace fs = std::filesystem;
using oz::test::readBytes;
using oz::test::writeBytes;
using testing::gbk;

class SettingsFileTest : public testing::SettingsFixture {};

fs::perms permissionsOf(const fs::path& path) { return fs::status(path).permissions() & fs::perms::all; }

TEST_F(SettingsFileTest, MissingFileIsCreatedPrivateAndEmpty) {
    SettingsFile file;
    ASSERT_TRUE(file.open(m_path)) << file.lastError();
    ASSERT_TRUE(fs::exists(m_path));
    EXPECT_EQ(fs::file_size(m_path), 0u);
    EXPECT_EQ(permissionsOf(m_path), fs::perms::owner_read | fs::perms::owner_write);
    file.setSection("S");
    EXPECT_EQ(file.readText("A", "default"), "default");
}

TEST_F(SettingsFileTest, ReadOnlyOpenCreatesNothingAndRefusesWrites) {
    SettingsFile file;
    ASSERT_TRUE(file.open(m_path, SettingsFile::Mode::ReadOnly));
    EXPECT_FALSE(fs::exists(m_path));
    file.setSection("S");
    EXPECT_FALSE(file.writeText("A", "1"));
    EXPECT_FALSE(fs::exists(m_path));
}

TEST_F(SettingsFileTest, UnreadableFileIsAnError) {
    fs::create_directory(m_path);
    SettingsFile file;
    EXPECT_FALSE(file.open(m_path));
    EXPECT_FALSE(file.lastError().empty());
    EXPECT_FALSE(file.open(m_dir / "no-such-folder" / "x.ini"));
}

TEST_F(SettingsFileTest, WriteIsOnDiskWhenTheCallReturns) {
    SettingsFile file;
    ASSERT_TRUE(file.open(m_path));
    file.setSection("S");
    ASSERT_TRUE(file.writeText("A", "1"));
    EXPECT_EQ(readBytes(m_path), "[S]\r\nA=1");
}

TEST_F(SettingsFileTest, BatchWritesTheFileOnceAtTheEnd) {
    SettingsFile file;
    ASSERT_TRUE(file.open(m_path));
    file.setSection("S");
    file.beginBatch();
    file.beginBatch();
    ASSERT_TRUE(file.writeText("A", "1"));
    ASSERT_TRUE(file.writeBytes("B", "bytes"));
    EXPECT_EQ(file.readBytes("B"), "bytes");  // pending values are read back
    ASSERT_TRUE(file.endBatch());
    EXPECT_EQ(readBytes(m_path), "");
    EXPECT_FALSE(fs::exists(file.byteValuePath("B")));
    ASSERT_TRUE(file.endBatch());
    EXPECT_EQ(readBytes(m_path), "[S]\r\nA=1");
    EXPECT_EQ(readBytes(file.byteValuePath("B")), "bytes");
}

TEST_F(SettingsFileTest, FlushReplacesTheFileInsteadOfEditingIt) {
    SettingsFile file;
    ASSERT_TRUE(file.open(m_path));
    file.setSection("S");
    ASSERT_TRUE(file.writeText("A", "1"));
    struct stat before {};
    ASSERT_EQ(::stat(m_path.c_str(), &before), 0);
    ASSERT_TRUE(file.writeText("A", "2"));
    struct stat after {};
    ASSERT_EQ(::stat(m_path.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);  // a new file was renamed over the old one
    for (const auto& entry : fs::directory_iterator(m_dir.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    }
}

TEST_F(SettingsFileTest, ByteValuesLiveInTheInibinFolder) {
    SettingsFile file;
    ASSERT_TRUE(file.open(m_path));
    file.setSection("站点序号_3");
    EXPECT_EQ(file.byteValuePath("栏目数据"), m_dir / "inibin" / "站点序号_3-栏目数据.ibn");
    EXPECT_EQ(file.readBytes("栏目数据", "default"), "default");
    std::string raw("\0\xFF\x81[x]\r\n", 7);
    ASSERT_TRUE(file.writeBytes("栏目数据", raw));
    EXPECT_EQ(readBytes(file.byteValuePath("栏目数据")), raw);
    EXPECT_EQ(permissionsOf(m_dir / "inibin"), fs::perms::owner_all);
    EXPECT_EQ(file.readBytes("栏目数据"), raw);
    EXPECT_EQ(readBytes(m_path), "");  // nothing of it in the settings text

    writeBytes(file.byteValuePath("空"), "");
    EXPECT_EQ(file.readBytes("空", "default"), "default");
    ASSERT_TRUE(file.writeBytes("栏目数据", ""));
    EXPECT_EQ(file.readBytes("栏目数据", "default"), "default");
}

TEST_F(SettingsFileTest, ByteValueNamesCannotLeaveTheInibinFolder) {
    SettingsFile file;
    ASSERT_TRUE(file.open(m_path));
    file.setSection("../..");
    EXPECT_FALSE(file.writeBytes("x", "data"));
    file.setSection("S");
    EXPECT_FALSE(file.writeBytes("a/b", "data"));
    EXPECT_EQ(file.readBytes("../../etc/passwd", "default"), "default");
}

TEST_F(SettingsFileTest, SecondWriterIsRefusedUntilTheFirstCloses) {
    SettingsFile first;
    ASSERT_TRUE(first.open(m_path));
    SettingsFile second;
    EXPECT_FALSE(second.open(m_path));
    EXPECT_NE(second.lastError().find("正被另一个程序使用"), std::string::npos) << second.lastError();
    SettingsFile reader;
    EXPECT_TRUE(reader.open(m_path, SettingsFile::Mode::ReadOnly));
    first.close();
    EXPECT_TRUE(second.open(m_path)) << second.lastError();
}

TEST_F(SettingsFileTest, SecondProcessIsRefused) {
    SettingsFile first;
    ASSERT_TRUE(first.open(m_path));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SettingsFile second;
        bool refused =
            !second.open(m_path) && second.lastError().find("正被另一个程序使用") != std::string::npos;
        _exit(refused ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A writer killed at any moment leaves one of the complete files it wrote, never a mix.
TEST_F(SettingsFileTest, KilledWriterLeavesACompleteFile) {
    const std::string big(1 << 20, 'a');
    const std::string other(1 << 20, 'b');
    for (int round = 0; round < 6; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SettingsFile file;
            if (!file.open(m_path)) _exit(2);
            file.setSection("S");
            for (int i = 0;; ++i) file.writeText("V", i % 2 == 0 ? big : other);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 15 * round));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        std::string bytes = readBytes(m_path);
        EXPECT_TRUE(bytes.empty() || bytes == "[S]\r\nV=" + big || bytes == "[S]\r\nV=" + other)
            << "round " << round << ": " << bytes.size() << " bytes";
        SettingsFile after;
        EXPECT_TRUE(after.open(m_path)) << after.lastError();  // the dead writer's lock is gone
        // ... and so are its temporary files, which hold a copy of the settings.
        for (const fs::directory_entry& entry : fs::directory_iterator(m_dir.path())) {
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
        }
    }
}

// Only the program's own temporaries go: by exact name, and only when their writer is gone (or the
// lock shows that no one is saving the settings file).
TEST_F(SettingsFileTest, OpenRemovesLeftoverTemporariesAndNothingElse) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const std::string dead = std::to_string(child);
    const std::string alive = std::to_string(getpid());
    const std::string name = kSettingsFileName;
    const std::vector<std::string> leftovers = {name + ".tmp" + dead, name + ".tmp" + alive,
                                                "inibin/站点序号_1-栏目数据.ibn.tmp" + dead};
    const std::vector<std::string> kept = {
        name + ".tmp",           name + ".tmp12a",           name + ".bak",
        "other.ini.tmp" + dead,  "inibin/x.ibn.tmp" + alive, "inibin/notes.txt.tmp" + dead,
        "inibin/.ibn.tmp" + dead};
    for (const std::string& file : leftovers) m_dir.write(file, "secret");
    for (const std::string& file : kept) m_dir.write(file, "keep");
    fs::create_directories(m_dir / (name + ".tmp1" + dead));

    SettingsFile readOnly;
    ASSERT_TRUE(readOnly.open(m_path, SettingsFile::Mode::ReadOnly));
    EXPECT_FALSE(fs::exists(m_dir / leftovers[0]));  // its writer is gone
    EXPECT_TRUE(fs::exists(m_dir / leftovers[1]));   // without the lock, a live writer may be saving
    EXPECT_FALSE(fs::exists(m_dir / leftovers[2]));
    readOnly.close();

    SettingsFile file;
    ASSERT_TRUE(file.open(m_path)) << file.lastError();
    EXPECT_FALSE(fs::exists(m_dir / leftovers[1]));
    for (const std::string& other : kept) EXPECT_EQ(readBytes(m_dir / other), "keep") << other;
    EXPECT_TRUE(fs::is_directory(m_dir / (name + ".tmp1" + dead)));
}

TEST_F(SettingsFileTest, GbkFileFromWindowsLoadsUnchanged) {
    const std::string original = gbk("[站点序号_1]\r\n文章目录=C:\\乗\\廬山\\文章\r\n作者数据=佚名┊*┊小编");
    writeBytes(m_path, original);
    SettingsFile file;
    ASSERT_TRUE(file.open(m_path));
    file.setSection("站点序号_1");
    EXPECT_EQ(file.readText("文章目录"), "C:\\乗\\廬山\\文章");
    EXPECT_EQ(file.readText("作者数据"), "佚名\r\n小编");
    ASSERT_TRUE(file.writeText("作者数据", "佚名\r\n小编"));
    EXPECT_EQ(readBytes(m_path), original);
}

TEST_F(SettingsFileTest, FileWithBareLineFeedsKeepsItsEntries) {
    writeBytes(m_path, gbk("[基本配置]\n同时站点数=3\n[站点配置]\n站点数=2\n"));
    SettingsFile file;
    ASSERT_TRUE(file.open(m_path));
    file.setSection("基本配置");
    EXPECT_EQ(file.readText("同时站点数"), "3");
    ASSERT_TRUE(file.writeText("同时站点数", "4"));
    EXPECT_EQ(readBytes(m_path), gbk("[基本配置]\r\n同时站点数=4\r\n[站点配置]\r\n站点数=2\r\n"));
}

// A file a text editor saved as UTF-8 (with or without the mark) reads right, says so once, and
// the next save writes it as GBK instead of appending a GBK copy.
TEST_F(SettingsFileTest, Utf8FileIsReadAsUtf8AndSavedAsGbk) {
    for (const std::string mark : {"", "\xEF\xBB\xBF"}) {
        writeBytes(m_path, mark + "[基本配置]\r\n同时站点数=3\r\n导入路径=/home/站点.ini");
        SettingsFile file;
        ASSERT_TRUE(file.open(m_path));
        EXPECT_NE(file.notice().find("UTF-8"), std::string::npos);
        file.setSection("基本配置");
        EXPECT_EQ(file.readText("导入路径"), "/home/站点.ini");
        ASSERT_TRUE(file.writeText("同时站点数", "4"));
        EXPECT_EQ(readBytes(m_path), gbk("[基本配置]\r\n同时站点数=4\r\n导入路径=/home/站点.ini"));
        file.close();
        ASSERT_TRUE(file.open(m_path));
        EXPECT_EQ(file.notice(), "");
    }
}

}  // namespace
}  // namespace oz::config
