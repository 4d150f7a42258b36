// The journal of sent articles and the back end's fingerprint: what survives a killed run, what is
// pruned, and that the back end's secret never leaves the read.
#include "backend/send_journal.h"

#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <fstream>

#include "backend/back_end_identity.h"
#include "config/atomic_file.h"
#include "tests/support/temp_folder.h"
#include "text/fake_clock.h"
#include "text/sha256.h"

namespace oz::backend::test {
namespace {

namespace fs = std::filesystem;
using oz::test::TempFolder;

std::string opensslHex(const std::string& bytes) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char byte : digest) {
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 15]);
    }
    return hex;
}

// Lengths around the padding's edges (55/56, 63/64) and several blocks, fed whole and in pieces.
TEST(Sha256Test, MatchesOpenSslAtEveryPaddingEdge) {
    for (const std::size_t length : {0u, 1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 1000u}) {
        std::string bytes;
        for (std::size_t i = 0; i < length; ++i) bytes.push_back(static_cast<char>(i * 7 + 3));
        EXPECT_EQ(text::sha256Hex(bytes), opensslHex(bytes)) << length;
        text::Sha256 pieces;
        for (std::size_t at = 0; at < bytes.size(); at += 13)
            pieces.add(std::string_view(bytes).substr(at, 13));
        std::string piecesHex;
        for (const std::uint8_t byte : pieces.finish()) {
            piecesHex.push_back("0123456789abcdef"[byte >> 4]);
            piecesHex.push_back("0123456789abcdef"[byte & 15]);
        }
        EXPECT_EQ(piecesHex, opensslHex(bytes)) << length;
    }
}

std::string settingsPage(const std::string& secret) {
    return "<input type='text' name='edit___cfg_title_maxlen' id='edit___cfg_title_maxlen' value='80' "
           "style='width:30%'>\r\n<input type='text' name='edit___cfg_cookie_encode' "
           "id='edit___cfg_cookie_encode' value=\"" +
           secret + "\" style='width:80%'>";
}

// One installation gives one fingerprint with one salt, whatever page or address showed it; the
// secret is in no part of it; a page without the key gives none.
TEST(BackEndIdentityTest, TheFingerprintIsTheSaltedHashOfTheCookieKeyOnly) {
    const SystemSettings a = systemSettingsOf(settingsPage("fQsb4mWWXvSA9p5Be06V7ZgosspoVs"), "salt1");
    EXPECT_EQ(a.titleMaxBytes, 80);
    EXPECT_TRUE(a.fingerprint.starts_with("id:"));
    EXPECT_EQ(a.fingerprint.find("fQsb4m"), std::string::npos);
    EXPECT_EQ(
        systemSettingsOf("<p>x</p>" + settingsPage("fQsb4mWWXvSA9p5Be06V7ZgosspoVs"), "salt1").fingerprint,
        a.fingerprint);
    EXPECT_NE(systemSettingsOf(settingsPage("fQsb4mWWXvSA9p5Be06V7ZgosspoVt"), "salt1").fingerprint,
              a.fingerprint);
    EXPECT_NE(systemSettingsOf(settingsPage("fQsb4mWWXvSA9p5Be06V7ZgosspoVs"), "salt2").fingerprint,
              a.fingerprint);
    EXPECT_TRUE(systemSettingsOf("<html>登录</html>", "salt1").fingerprint.empty());

    TempFolder data;
    const std::string salt = backEndSalt(data.path());
    EXPECT_EQ(salt.size(), 32u);
    EXPECT_EQ(backEndSalt(data.path()), salt);  // kept in the data folder
}

class SendJournalTest : public ::testing::Test {
   protected:
    JournalEntry article(const std::string& path) {
        JournalEntry entry;
        entry.record = "127.0.0.1:8081(admin)";
        entry.path = path;
        entry.contentHash = "h-" + path;
        entry.title = "标题\t" + path;  // a tab in a field survives
        entry.typeId = 3;
        entry.mark = 41;
        return entry;
    }
    std::string fileBytes(const SendJournal& journal) {
        std::string error;
        return config::readWholeFile(journal.fileOf("id:a"), error).value_or("");
    }

    TempFolder data;
    text::FakeClock clock;
};

// A run killed after the POST went out and before its outcome was written: the next run reads the
// entry as sent with no outcome, hands it out once for a look-up and holds its file meanwhile. A
// line cut off by the kill is ignored, and the file is mended so the next line is whole.
TEST_F(SendJournalTest, AKilledRunLeavesEntriesTheNextRunLooksUp) {
    std::string error;
    {
        SendJournal first(data.path(), &clock);
        JournalEntry published = article("a.txt");
        ASSERT_TRUE(first.sent("id:a", published, error)) << error;
        ASSERT_TRUE(first.settled("id:a", published.key, JournalOutcome::Published, 42, "http://x/a.html"));
        JournalEntry killed = article("b.txt");
        ASSERT_TRUE(first.sent("id:a", killed, error));
    }
    // Killed while writing an outcome line.
    std::ofstream(SendJournal(data.path()).fileOf("id:a"), std::ios::app | std::ios::binary) << "O\tpart";

    SendJournal second(data.path(), &clock);
    const std::vector<JournalEntry> entries = second.entries("id:a");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].outcome, JournalOutcome::Published);
    EXPECT_EQ(entries[0].id, 42);
    EXPECT_EQ(entries[0].title, "标题\ta.txt");
    EXPECT_EQ(entries[1].outcome, JournalOutcome::Sent);
    EXPECT_EQ(entries[1].mark, 41);
    EXPECT_TRUE(second.holds("id:a", "a.txt", "h-a.txt"));
    EXPECT_FALSE(second.holds("id:a", "a.txt", "changed bytes"));
    EXPECT_TRUE(second.unsettled("id:a", "b.txt"));
    const std::vector<JournalEntry> due = second.toLookUp("id:a");
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].path, "b.txt");
    EXPECT_TRUE(second.toLookUp("id:a").empty());  // handed out once per run
    EXPECT_EQ(fileBytes(second).back(), '\n');

    ASSERT_TRUE(second.settled("id:a", due[0].key, JournalOutcome::Cleared));
    SendJournal third(data.path(), &clock);
    EXPECT_FALSE(third.unsettled("id:a", "b.txt"));
    EXPECT_TRUE(third.toLookUp("id:a").empty());
    EXPECT_TRUE(third.entries("other").empty());  // another back end has a file of its own
}

// Entries not stored are looked up for a day and dropped after a week; unknown ones after 30 days;
// published ones are kept, and the file is rewritten without the dropped ones.
TEST_F(SendJournalTest, OldEntriesArePrunedByTheirOutcome) {
    std::string error;
    {
        SendJournal journal(data.path(), &clock);
        for (const auto& [path, outcome] :
             std::vector<std::pair<std::string, JournalOutcome>>{{"p.txt", JournalOutcome::Published},
                                                                 {"n.txt", JournalOutcome::NotStored},
                                                                 {"u.txt", JournalOutcome::Unknown}}) {
            JournalEntry entry = article(path);
            ASSERT_TRUE(journal.sent("id:a", entry, error));
            ASSERT_TRUE(journal.settled("id:a", entry.key, outcome));
        }
    }
    const auto paths = [this] {
        std::vector<std::string> paths;
        for (const JournalEntry& entry : SendJournal(data.path(), &clock).entries("id:a"))
            paths.push_back(entry.path);
        return paths;
    };
    EXPECT_EQ(SendJournal(data.path(), &clock).toLookUp("id:a").size(), 2u);  // n and u
    clock.sleepFor(std::chrono::hours(25));
    EXPECT_EQ(SendJournal(data.path(), &clock).toLookUp("id:a").size(), 1u);  // u only
    clock.sleepFor(std::chrono::hours(24 * 7));
    EXPECT_EQ(paths(), (std::vector<std::string>{"p.txt", "u.txt"}));
    clock.sleepFor(std::chrono::hours(24 * 30));
    EXPECT_EQ(paths(), (std::vector<std::string>{"p.txt"}));
    EXPECT_EQ(fileBytes(SendJournal(data.path(), &clock)).find("u.txt"), std::string::npos);
}

}  // namespace
}  // namespace oz::backend::test
