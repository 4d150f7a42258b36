// A large site group through the command line: `sites import` of N text lines into an empty data
// folder, and `sites` listing a settings file of N sites as that import writes it. Each command runs in a
// child process of its own, so the peak memory is that command's alone. Targets for 100,000 sites: the import
// under 5 s and 300 MB, the listing under 2 s.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "config/data_folder.h"
#include "config/settings_file.h"
#include "config/site_line.h"
#include "config/site_list_store.h"
#include "text/markers.h"

namespace {

namespace fs = std::filesystem;

fs::path freshFolder() {
    std::string pattern = (fs::temp_directory_path() / "oz-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return {};
    return pattern;
}

// Lines as an operator's list holds them: a domain, an account and a password each, every fourth
// line with the other fields filled in too.
void writeSiteLines(const fs::path& file, int count) {
    std::ofstream out(file, std::ios::binary);
    for (int i = 0; i < count; ++i) {
        out << "www.site" << i << ".example.com|编辑" << i % 100 << "|pw" << i;
        if (i % 4 == 0) out << "|1|dede|/home/operator/文章/" << i << "|0|*.txt|10|假|0.1|0.3|真|假|假";
        out << "\r\n";
    }
}

struct ChildFigures {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double peakMb = 0;
    int status = -1;
};

// Runs `work` in a child process and returns its exit status with the child's own figures.
template <typename Work>
ChildFigures runChild(Work work) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) _exit(work());
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    ChildFigures figures;
    figures.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    figures.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    figures.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    figures.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return figures;
}

// The command line, its output discarded.
ChildFigures runCommand(std::vector<std::string> args) {
    return runChild([&] {
        std::ostringstream out;
        std::ostringstream err;
        return oz::app::runCommandLine(args, out, err);
    });
}

// The settings file an import of the lines writes, saved directly (without the import's checks).
bool writeSettingsOfLines(const fs::path& dir, const fs::path& lines) {
    return runChild([&] {
               std::ifstream in(lines, std::ios::binary);
               const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
               oz::config::SiteList list;
               const oz::config::SiteConfig window = oz::config::initialSiteConfig();
               for (std::string_view line : oz::text::splitLines(text)) {
                   if (!line.empty()) {
                       list.sites.push_back(
                           oz::config::siteFromLine(oz::config::splitSiteLine(line), window));
                   }
               }
               list.current = list.size() - 1;
               oz::config::SettingsFile file;
               return file.open(dir / oz::config::kSettingsFileName) &&
                              oz::config::globalSave(file, oz::config::RunOptions{}, list)
                          ? 0
                          : 1;
           }).status == 0;
}

void report(benchmark::State& state, const ChildFigures& figures) {
    if (figures.status != 0) state.SkipWithError("the command failed");
    state.SetIterationTime(figures.wallSeconds);
    state.counters["cpu_s"] = figures.cpuSeconds;
    state.counters["peak_MB"] = figures.peakMb;
}

void BM_SitesImport(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const fs::path dir = freshFolder();
        writeSiteLines(dir / "list.txt", lines);
        report(state,
               runCommand({"--data-dir", dir.string(), "sites", "import", (dir / "list.txt").string()}));
        fs::remove_all(dir);
    }
}

void BM_SitesList(benchmark::State& state) {
    const int sites = static_cast<int>(state.range(0));
    const fs::path dir = freshFolder();
    writeSiteLines(dir / "list.txt", sites);
    if (!writeSettingsOfLines(dir, dir / "list.txt"))
        state.SkipWithError("the settings file was not written");
    state.counters["file_MB"] = static_cast<double>(fs::file_size(dir / oz::config::kSettingsFileName)) / 1e6;
    for (auto _ : state) report(state, runCommand({"--data-dir", dir.string(), "sites"}));
    fs::remove_all(dir);
}

}  // namespace

BENCHMARK(BM_SitesImport)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(BM_SitesList)->Arg(100000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK_MAIN();
