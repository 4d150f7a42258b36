// The settings file as a whole (config/settings_file.h, config/site_list_store.h): load and save
// of the run options and the site list, the way the program starts and exits. Input: the file's
// bytes. Checks: a file never loads more sites than it has site sections (a tiny file cannot blow
// up); what was loaded, saved into a new file (as the export does) and, for a file whose header
// lines hold nothing but their headers, into the same file (as the exit does), loads again as the
// very same options and sites, line breaks aside.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "config/data_folder.h"
#include "config/run_options.h"
#include "config/settings_file.h"
#include "config/site_list_store.h"
#include "fuzz_support.h"

namespace {

namespace config = oz::config;
namespace fs = std::filesystem;

// A folder of this process's own, in memory where the system offers it: every input is written,
// read and saved there.
const fs::path& workFolder() {
    static const fs::path folder = [] {
        std::error_code ec;
        const fs::path base =
            fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        return base / ("oz-fuzz-settings-" + std::to_string(::getpid()));
    }();
    return folder;
}

// Whether every line that begins with "[" is a header and nothing else. A header line that carries
// more ("[站点序号_2]" and a CR without LF, then an entry) does not end the section above it: that
// section's keys are read through it, the way the Windows program reads them, until the first new
// key written into the section below cuts the header line and the keys above lose them. Such
// files are checked through the export, which writes the sections anew.
bool headerLinesAreWhole(std::string_view text) {
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.starts_with('[') && !line.ends_with(']')) return false;
        start = end + 1;
    }
    return true;
}

struct Loaded {
    config::RunOptions options;
    config::SiteList list;
};

Loaded load(config::SettingsFile& file) {
    Loaded loaded;
    loaded.options = config::loadRunOptions(file);
    loaded.list.current = config::loadSiteList(file, loaded.list);
    return loaded;
}

// A text is one line in the file: a bare LF that would end that line is stored as a line break
// and reads back as CR LF (bytes that are not GBK can hide an LF's end of line until the text is
// written anew). The texts are compared with their line breaks made alike.
std::string lineBreaksAlike(const std::string& text) {
    std::string alike;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') alike += text[i];
    }
    return alike;
}

config::SiteConfig alike(config::SiteConfig site) {
    using config::SiteConfig;
    for (std::string SiteConfig::*text :
         {&SiteConfig::user, &SiteConfig::password, &SiteConfig::domain, &SiteConfig::adminDir,
          &SiteConfig::keywordList, &SiteConfig::tagList, &SiteConfig::shortTitleList,
          &SiteConfig::authorList, &SiteConfig::source, &SiteConfig::categoryIds, &SiteConfig::articleDir,
          &SiteConfig::fileFilter, &SiteConfig::bodyKeywordList, &SiteConfig::tailKeywordList,
          &SiteConfig::tailBlockSeparator, &SiteConfig::titleKeywordList,
          &SiteConfig::titleKeywordSeparator}) {
        site.*text = lineBreaksAlike(site.*text);
    }
    return site;
}

config::RunOptions alike(config::RunOptions options) {
    using config::RunOptions;
    for (std::string RunOptions::*text :
         {&RunOptions::cycleInterval, &RunOptions::simultaneousSites, &RunOptions::globalCount,
          &RunOptions::importPath, &RunOptions::exportPath}) {
        options.*text = lineBreaksAlike(options.*text);
    }
    return options;
}

void checkSame(const Loaded& again, const Loaded& first) {
    OZ_FUZZ_CHECK(alike(again.options) == alike(first.options));
    OZ_FUZZ_CHECK_EQ(again.list.size(), first.list.size());
    OZ_FUZZ_CHECK_EQ(again.list.current, first.list.current);
    for (std::size_t i = 0; i < first.list.sites.size(); ++i) {
        OZ_FUZZ_CHECK(alike(again.list.sites[i]) == alike(first.list.sites[i]));
    }
}

// Saves as the program's exit does (the scheduler's two options are its own), then reads the file
// again.
Loaded saveAndReload(config::SettingsFile& file, const Loaded& loaded) {
    OZ_FUZZ_CHECK(config::globalSave(file, loaded.options, loaded.list));
    OZ_FUZZ_CHECK(config::saveScheduleOptions(file, loaded.options));
    config::deleteStaleSiteSections(file, loaded.list.size());
    const fs::path path = file.path();
    file.close();
    config::SettingsFile reopened;
    OZ_FUZZ_CHECK(reopened.open(path, config::SettingsFile::Mode::ReadOnly));
    return load(reopened);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path folder = workFolder();
    std::error_code ec;
    fs::remove_all(folder, ec);
    fs::create_directories(folder / "in", ec);
    fs::create_directories(folder / "out", ec);
    const fs::path path = folder / "in" / config::kSettingsFileName;
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    config::SettingsFile file;
    OZ_FUZZ_CHECK(file.open(path));
    const Loaded loaded = load(file);
    std::size_t siteSections = 0;
    for (const std::string& name : file.sectionNames()) {
        siteSections += name.starts_with(config::kSiteSectionPrefix) ? 1 : 0;
    }
    OZ_FUZZ_CHECK(loaded.list.sites.size() <= siteSections);

    config::SettingsFile exported;
    OZ_FUZZ_CHECK(exported.open(folder / "out" / config::kSettingsFileName));
    checkSame(saveAndReload(exported, loaded), loaded);
    if (headerLinesAreWhole(oz::fuzz::asText(data, size))) checkSame(saveAndReload(file, loaded), loaded);
    return 0;
}
