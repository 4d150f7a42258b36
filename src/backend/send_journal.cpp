#include "backend/send_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <random>

#include "backend/records.h"
#include "config/atomic_file.h"
#include "config/data_folder.h"
#include "config/private_files.h"
#include "text/sha256.h"

namespace oz::backend {
namespace {

constexpr const char* kHeader = "# Orvane·Zentrel 已发送文章 1\n";
constexpr std::int64_t kKeepNotStored = 7 * SendJournal::kDay;
constexpr std::int64_t kKeepUnknown = 30 * SendJournal::kDay;
constexpr std::int64_t kKeepPublished = 400 * SendJournal::kDay;

// Fields are separated by tabs; a field's own tabs, line ends and backslashes are escaped.
std::string escaped(const std::string& field) {
    std::string out;
    for (const char c : field) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::vector<std::string> fieldsOf(std::string_view line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            const char next = line[++i];
            fields.back().push_back(next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next);
        } else {
            fields.back().push_back(c);
        }
    }
    return fields;
}

std::int64_t numberOf(const std::string& text) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("-0123456789") != std::string::npos)
        return 0;
    try {
        return std::stoll(text);
    } catch (...) {
        return 0;
    }
}

const char* outcomeName(JournalOutcome outcome) {
    switch (outcome) {
        case JournalOutcome::Published:
            return "published";
        case JournalOutcome::NotStored:
            return "not-stored";
        case JournalOutcome::Unknown:
            return "unknown";
        case JournalOutcome::Cleared:
            return "cleared";
        default:
            return "sent";
    }
}

std::optional<JournalOutcome> outcomeOf(const std::string& name) {
    for (const JournalOutcome outcome :
         {JournalOutcome::Sent, JournalOutcome::Published, JournalOutcome::NotStored, JournalOutcome::Unknown,
          JournalOutcome::Cleared}) {
        if (name == outcomeName(outcome)) return outcome;
    }
    return std::nullopt;
}

std::string sentLine(const JournalEntry& entry) {
    std::string line = "S";
    for (const std::string& field :
         {entry.key, std::to_string(entry.sentAt), std::to_string(entry.typeId), std::to_string(entry.mark),
          entry.record, entry.path, entry.contentHash, entry.title, entry.fileName}) {
        line += '\t';
        line += escaped(field);
    }
    return line + "\n";
}

std::string outcomeLine(const std::string& key, JournalOutcome outcome, std::int64_t at, int id,
                        const std::string& address) {
    std::string line = "O";
    for (const std::string& field :
         {key, std::to_string(at), std::string(outcomeName(outcome)), std::to_string(id), address}) {
        line += '\t';
        line += escaped(field);
    }
    return line + "\n";
}

// Whether the entry is kept at a load at `now`.
bool kept(const JournalEntry& entry, std::int64_t now) {
    const std::int64_t at = std::max(entry.sentAt, entry.settledAt);
    switch (entry.outcome) {
        case JournalOutcome::Published:
            return now - at <= kKeepPublished;
        case JournalOutcome::Sent:
        case JournalOutcome::Unknown:
            return now - at <= kKeepUnknown;
        default:
            return now - at <= kKeepNotStored;
    }
}

bool needsLookUp(const JournalEntry& entry, std::int64_t now) {
    return entry.outcome == JournalOutcome::Sent || entry.outcome == JournalOutcome::Unknown ||
           (entry.outcome == JournalOutcome::NotStored && now - entry.settledAt <= SendJournal::kDay);
}

}  // namespace

std::filesystem::path SendJournal::fileOf(const std::string& backEnd) const {
    if (m_dataDir.empty()) return {};
    return m_dataDir / config::kSendJournalFolder / (text::sha256Hex(backEnd).substr(0, 24) + ".txt");
}

std::int64_t SendJournal::now() const {
    return text::toSerialSeconds((m_clock != nullptr ? *m_clock : text::systemClock()).now());
}

std::string SendJournal::newKey(std::int64_t at) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    return std::to_string(at) + "-" + std::to_string(++m_counter) + "-" + std::to_string(random() % 1000000);
}

SendJournal::BackEnd& SendJournal::load(const std::string& backEnd) {
    BackEnd& journal = m_backEnds[backEnd];
    if (journal.loaded) return journal;
    journal.loaded = true;
    const std::filesystem::path file = fileOf(backEnd);
    if (file.empty()) return journal;
    std::string error;
    const std::optional<std::string> bytes = config::readWholeFile(file, error);
    if (!bytes) return journal;
    std::size_t lines = 0;
    std::size_t start = 0;
    // Only whole lines count: a line without its end was cut off by a killed run.
    for (std::size_t end = bytes->find('\n'); end != std::string::npos; end = bytes->find('\n', start)) {
        const std::string_view line(bytes->data() + start, end - start);
        start = end + 1;
        ++lines;
        const std::vector<std::string> fields = fieldsOf(line);
        if (fields[0] == "S" && fields.size() >= 9 && !journal.byKey.contains(fields[1])) {
            JournalEntry entry;
            entry.key = fields[1];
            entry.sentAt = numberOf(fields[2]);
            entry.typeId = static_cast<int>(numberOf(fields[3]));
            entry.mark = static_cast<int>(numberOf(fields[4]));
            entry.record = fields[5];
            entry.path = fields[6];
            entry.contentHash = fields[7];
            entry.title = fields[8];
            if (fields.size() >= 10) entry.fileName = fields[9];
            journal.byKey[entry.key] = journal.entries.size();
            journal.entries.push_back(std::move(entry));
        } else if (fields[0] == "O" && fields.size() >= 6) {
            const auto found = journal.byKey.find(fields[1]);
            const std::optional<JournalOutcome> outcome = outcomeOf(fields[3]);
            if (found == journal.byKey.end() || !outcome) continue;
            JournalEntry& entry = journal.entries[found->second];
            entry.settledAt = numberOf(fields[2]);
            entry.outcome = *outcome;
            entry.id = static_cast<int>(numberOf(fields[4]));
            entry.address = fields[5];
        }
    }
    const bool torn = start < bytes->size();
    const std::int64_t now = this->now();
    const std::size_t before = journal.entries.size();
    std::vector<JournalEntry> keep;
    for (JournalEntry& entry : journal.entries) {
        if (kept(entry, now)) keep.push_back(std::move(entry));
    }
    if (keep.size() > kMaxEntries) keep.erase(keep.begin(), keep.end() - kMaxEntries);
    journal.entries = std::move(keep);
    journal.byKey.clear();
    for (std::size_t i = 0; i < journal.entries.size(); ++i) journal.byKey[journal.entries[i].key] = i;
    if (torn || journal.entries.size() < before || lines > 2 * journal.entries.size() + 16) {
        std::string whole = kHeader;
        for (const JournalEntry& entry : journal.entries) {
            whole += sentLine(entry);
            if (entry.outcome != JournalOutcome::Sent) {
                whole += outcomeLine(entry.key, entry.outcome, entry.settledAt, entry.id, entry.address);
            }
        }
        config::replaceFile(file, whole, error);  // failing, the old file stays as it was: still good
    }
    return journal;
}

bool SendJournal::append(const std::string& backEnd, const std::string& line, std::string& error) {
    const std::filesystem::path file = fileOf(backEnd);
    if (file.empty()) return true;
    if (!config::makePrivateFolder(file.parent_path(), error)) return false;
    if (const int refused = config::preparePrivateFile(file); refused != 0) {
        error = writeErrorReason(refused);
        return false;
    }
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = writeErrorReason(errno);
        return false;
    }
    std::string bytes = line;
    if (::lseek(fd, 0, SEEK_END) == 0) bytes = kHeader + bytes;
    std::size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (!ok) error = writeErrorReason(errno != 0 ? errno : EIO);
    ::close(fd);
    return ok;
}

bool SendJournal::sent(const std::string& backEnd, JournalEntry& entry, std::string& error) {
    std::lock_guard lock(m_mutex);
    BackEnd& journal = load(backEnd);
    entry.sentAt = now();
    entry.key = newKey(entry.sentAt);
    entry.outcome = JournalOutcome::Sent;
    if (!append(backEnd, sentLine(entry), error)) return false;
    journal.byKey[entry.key] = journal.entries.size();
    journal.entries.push_back(entry);
    return true;
}

bool SendJournal::settled(const std::string& backEnd, const std::string& key, JournalOutcome outcome, int id,
                          const std::string& address, std::string* error) {
    std::lock_guard lock(m_mutex);
    const std::int64_t at = now();
    BackEnd& journal = load(backEnd);
    const auto found = journal.byKey.find(key);
    if (found == journal.byKey.end()) return true;
    JournalEntry& entry = journal.entries[found->second];
    entry.outcome = outcome;
    entry.settledAt = at;
    entry.id = id;
    entry.address = address;
    std::string ignored;
    return append(backEnd, outcomeLine(key, outcome, at, id, address), error != nullptr ? *error : ignored);
}

std::vector<JournalEntry> SendJournal::toLookUp(const std::string& backEnd) {
    std::lock_guard lock(m_mutex);
    const std::int64_t now = this->now();
    BackEnd& journal = load(backEnd);
    std::vector<JournalEntry> due;
    for (const JournalEntry& entry : journal.entries) {
        if (needsLookUp(entry, now) && journal.handedOut.insert(entry.key).second) due.push_back(entry);
    }
    return due;
}

bool SendJournal::holds(const std::string& backEnd, const std::string& path, const std::string& contentHash) {
    std::lock_guard lock(m_mutex);
    const BackEnd& journal = load(backEnd);
    return std::any_of(journal.entries.begin(), journal.entries.end(), [&](const JournalEntry& entry) {
        return entry.outcome == JournalOutcome::Published && entry.path == path &&
               entry.contentHash == contentHash;
    });
}

std::map<std::string, std::set<std::string>> SendJournal::publishedFiles(const std::string& backEnd) {
    std::lock_guard lock(m_mutex);
    std::map<std::string, std::set<std::string>> files;
    for (const JournalEntry& entry : load(backEnd).entries) {
        if (entry.outcome == JournalOutcome::Published) files[entry.path].insert(entry.contentHash);
    }
    return files;
}

std::set<std::string> SendJournal::unsettledPaths(const std::string& backEnd) {
    std::lock_guard lock(m_mutex);
    std::set<std::string> paths;
    for (const JournalEntry& entry : load(backEnd).entries) {
        if (entry.outcome == JournalOutcome::Sent || entry.outcome == JournalOutcome::Unknown)
            paths.insert(entry.path);
    }
    return paths;
}

bool SendJournal::unsettled(const std::string& backEnd, const std::string& path) {
    std::lock_guard lock(m_mutex);
    const BackEnd& journal = load(backEnd);
    return std::any_of(journal.entries.begin(), journal.entries.end(), [&](const JournalEntry& entry) {
        return entry.path == path &&
               (entry.outcome == JournalOutcome::Sent || entry.outcome == JournalOutcome::Unknown);
    });
}

void SendJournal::newRun() {
    std::lock_guard lock(m_mutex);
    m_backEnds.clear();
}

bool SendJournal::fileNameTaken(const std::string& backEnd, const std::string& fileName) {
    std::lock_guard lock(m_mutex);
    const BackEnd& journal = load(backEnd);
    return std::any_of(journal.entries.begin(), journal.entries.end(), [&](const JournalEntry& entry) {
        return entry.fileName == fileName && entry.outcome != JournalOutcome::NotStored &&
               entry.outcome != JournalOutcome::Cleared;
    });
}

std::vector<JournalEntry> SendJournal::entries(const std::string& backEnd) {
    std::lock_guard lock(m_mutex);
    return load(backEnd).entries;
}

std::string fileContentHash(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    text::Sha256 hash;
    std::string buffer(1 << 16, '\0');
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        hash.add(std::string_view(buffer.data(), static_cast<std::size_t>(in.gcount())));
    }
    if (in.bad()) return {};
    return text::hexDigest(hash.finish());
}

}  // namespace oz::backend
