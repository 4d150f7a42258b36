// The settings text layer (config/ini_text.h): the GBK text of the settings file with its edits.
// Input: the text NUL section NUL key NUL value (see fuzz_support.h). Checks: a text with CR LF
// line ends is written back byte for byte, and any text is after one reading; byteSize is the size
// written; every section listed is found; a value stored reads back, both from memory and from the
// text written, also with a second new key in the section; the edit leaves every other entry as it
// was, and what is in memory is what a new reading of the written text finds.

#include <optional>
#include <utility>

#include "config/ini_text.h"
#include "fuzz_support.h"

namespace {

using oz::config::IniText;

// Up to this many entries of the text are watched across the edits.
constexpr std::size_t kWatchedEntries = 32;

bool hasBareLineFeed(std::string_view text) {
    for (std::size_t lf = text.find('\n'); lf != std::string_view::npos; lf = text.find('\n', lf + 1)) {
        if (lf == 0 || text[lf - 1] != '\r') return true;
    }
    return false;
}

// Section and key of the text's entries: the "[name]" lines and the "key=" lines after them.
std::vector<std::pair<std::string, std::string>> entriesOf(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> entries;
    std::string section;
    for (std::size_t start = 0; start < text.size() && entries.size() < kWatchedEntries;) {
        const std::size_t end = std::min(text.find("\r\n", start), text.size());
        const std::string_view line = text.substr(start, end - start);
        if (line.starts_with('[') && line.find(']') != std::string_view::npos) {
            section = std::string(line.substr(1, line.find(']') - 1));
        } else if (const std::size_t eq = line.find('='); eq != std::string_view::npos) {
            entries.emplace_back(section, std::string(line.substr(0, eq)));
        }
        start = end + 2;
    }
    return entries;
}

// Whether every line that begins with "[" is a header of one section and nothing else: "[name]"
// with no other "]". (A new key cuts its header line after "[name]", so a line like "[]]", the
// header of sections "" and "]", stops being the header of "]" when "" gets a new key.)
bool headersArePlain(std::string_view text) {
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.starts_with('[') && line.find(']') + 1 != line.size()) return false;
        start = end + 1;
    }
    return true;
}

using Values = std::vector<std::optional<std::string>>;

Values valuesOf(const IniText& ini, const std::vector<std::pair<std::string, std::string>>& entries) {
    Values values;
    for (const auto& [section, key] : entries) {
        const auto value = ini.value(section, key);
        values.push_back(value ? std::optional<std::string>(std::string(*value)) : std::nullopt);
    }
    return values;
}

// Memory and a new reading of the written text agree.
void checkWrittenTextAgrees(const IniText& ini,
                            const std::vector<std::pair<std::string, std::string>>& entries) {
    const std::string written = ini.bytes();
    OZ_FUZZ_CHECK_EQ(ini.byteSize(), written.size());
    const IniText reread(written);
    OZ_FUZZ_CHECK_EQ(reread.bytes(), written);
    OZ_FUZZ_CHECK(reread.sectionNames() == ini.sectionNames());
    OZ_FUZZ_CHECK(valuesOf(reread, entries) == valuesOf(ini, entries));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = oz::fuzz::fields(oz::fuzz::asText(data, size), 4);
    const std::string_view text = parts[0];
    const std::string_view section = parts[1];
    const std::string_view key = parts[2];
    const std::string_view value = parts[3];

    IniText ini(text);
    if (!hasBareLineFeed(text)) OZ_FUZZ_CHECK_EQ(ini.bytes(), text);
    for (const std::string& name : ini.sectionNames()) OZ_FUZZ_CHECK(ini.hasSection(name));
    std::vector<std::pair<std::string, std::string>> entries = entriesOf(ini.bytes());
    entries.emplace_back(section, key);
    checkWrittenTextAgrees(ini, entries);

    const Values before = valuesOf(ini, entries);
    if (ini.setValue(section, key, value)) {
        OZ_FUZZ_CHECK_EQ(ini.value(section, key).value_or("(missing)"), value);
        const IniText written(ini.bytes());
        OZ_FUZZ_CHECK_EQ(written.value(section, key).value_or("(missing)"), value);
        // In a text of plain headers, entries that were there keep their values. (A key holding
        // "=" is also read as the shorter key before its "=", and a section name holding "]" makes
        // a header of two sections, so neither is held to that.)
        const bool plain = headersArePlain(text) && key.find('=') == std::string_view::npos &&
                           section.find_first_of("[]") == std::string_view::npos;
        const Values after = valuesOf(ini, entries);
        for (std::size_t i = 0; plain && i + 1 < entries.size(); ++i) {
            if (entries[i] != entries.back() && before[i]) OZ_FUZZ_CHECK(after[i] == before[i]);
        }
        // A second key into the same section (a save writes many before the text is written):
        // both read back, from memory and from the text written.
        const std::string second = std::string(key) + "2";
        if (plain && ini.setValue(section, second, "v2")) {
            OZ_FUZZ_CHECK_EQ(ini.value(section, key).value_or("(missing)"), value);
            OZ_FUZZ_CHECK_EQ(ini.value(section, second).value_or("(missing)"), "v2");
            entries.emplace_back(section, second);
        }
    }
    checkWrittenTextAgrees(ini, entries);

    const bool had = ini.hasSection(section);
    OZ_FUZZ_CHECK_EQ(ini.removeSection(section), had);
    checkWrittenTextAgrees(ini, entries);
    return 0;
}
