#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "text/clock.h"

// The journal: the program's memory, across runs, of every article it sent to each back end. One
// file per back end in the data folder (已发送文章/), one line per event, appended and flushed to
// disk before the next step: a line "S" before the article's POST goes out, a line "O" when its
// outcome is known. A run killed between the two leaves the entry without an outcome, which the
// next run takes as unknown and looks up on the site before anything is sent again. A torn last
// line (killed mid-write) is ignored.
//
// Bounded: when a back end's file is first read in a run, entries are dropped by age (settled not
// stored: 7 days; unknown: 30 days; published: 400 days) and then the oldest beyond 20,000 per back
// end; the file is then rewritten whole (through a temporary file) when anything was dropped, when
// it holds more than twice the lines its entries need, or when its last line was torn.
namespace oz::backend {

enum class JournalOutcome {
    Sent,       // no outcome written: the run ended between the POST and its answer
    Published,  // on the site (id and address when known)
    NotStored,  // the back end refused it, or it was looked up and not found
    Unknown,    // maybe stored: looked up before the file is sent again
    Cleared,    // an unknown one looked up later and not found: free to send
};

struct JournalEntry {
    std::string key;          // unique within the back end's file
    std::int64_t sentAt = 0;  // serial seconds of the clock (text::toSerialSeconds)
    std::string record;       // the site record, as the log names it
    std::string path;         // the article file
    std::string contentHash;  // SHA-256 of its bytes, hex
    std::string title;        // as sent
    std::string fileName;     // the static file name sent (filename); empty: the back end's own
    int typeId = 0;
    int mark = 0;  // the back end's newest article id before the POST; 0: not known
    JournalOutcome outcome = JournalOutcome::Sent;
    std::int64_t settledAt = 0;
    int id = 0;
    std::string address;
};

// Thread-safe; one per run (each back end's file is read once, on its first use).
class SendJournal {
   public:
    static constexpr std::int64_t kDay = 24 * 3600;
    static constexpr std::size_t kMaxEntries = 20000;

    // Times are serial seconds of `clock` (nullptr: the system clock).
    explicit SendJournal(std::filesystem::path dataDir, const text::Clock* clock = nullptr)
        : m_dataDir(std::move(dataDir)), m_clock(clock) {}

    // Writes the entry before its POST; its key and time are filled in. False with `error` when the line
    // could not be written (the article must not be sent then). Without a data folder nothing is written.
    bool sent(const std::string& backEnd, JournalEntry& entry, std::string& error);
    // Writes an outcome of the entry `key`. False with `error` when it could not be written.
    bool settled(const std::string& backEnd, const std::string& key, JournalOutcome outcome, int id = 0,
                 const std::string& address = {}, std::string* error = nullptr);

    // The entries to look up before anything is sent: without an outcome, unknown, or not stored
    // within the last day. Each is handed out once per run.
    std::vector<JournalEntry> toLookUp(const std::string& backEnd);
    // Whether the back end holds the file with these bytes (a published entry of both).
    bool holds(const std::string& backEnd, const std::string& path, const std::string& contentHash);
    // The back end's published files: path, and the content hashes published under it.
    std::map<std::string, std::set<std::string>> publishedFiles(const std::string& backEnd);
    // The paths of the back end's unsettled entries (see unsettled).
    std::set<std::string> unsettledPaths(const std::string& backEnd);
    // Whether an entry of the file is still unsettled (unknown and not looked up): it is not sent.
    bool unsettled(const std::string& backEnd, const std::string& path);

    // A new run: each file is read again when first used (another program may have written it), and
    // every entry may be handed out again.
    void newRun();

    // Whether an entry that may be on the back end (not settled as not stored) used this file name.
    bool fileNameTaken(const std::string& backEnd, const std::string& fileName);

    // The back end's entries, in the order they were first written (for tests and the tools).
    std::vector<JournalEntry> entries(const std::string& backEnd);
    std::filesystem::path fileOf(const std::string& backEnd) const;

   private:
    struct BackEnd {
        bool loaded = false;
        std::vector<JournalEntry> entries;
        std::map<std::string, std::size_t, std::less<>> byKey;
        std::set<std::string> handedOut;
    };

    BackEnd& load(const std::string& backEnd);  // m_mutex held
    bool append(const std::string& backEnd, const std::string& line, std::string& error);
    std::string newKey(std::int64_t at);
    std::int64_t now() const;

    const std::filesystem::path m_dataDir;
    const text::Clock* m_clock;
    std::mutex m_mutex;
    std::map<std::string, BackEnd, std::less<>> m_backEnds;
    std::uint64_t m_counter = 0;
};

// The SHA-256 of a file's bytes in hex; empty when it cannot be read.
std::string fileContentHash(const std::filesystem::path& file);

}  // namespace oz::backend
