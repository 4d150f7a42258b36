// Listing an article folder of 100,000 files: the complete listing with each kind of filter, and
// the fast listing.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "content/article_source.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 100000;

// A folder of kFiles empty files (three in four .txt, the rest .htm), made once per process.
class ArticleFolder {
   public:
    ArticleFolder() {
        std::string pattern = (fs::temp_directory_path() / "oz-listing-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) return;
        m_path = pattern;
        for (int i = 0; i < kFiles; ++i) {
            std::string name = m_path + "/文章" + std::to_string(i) + (i % 4 == 0 ? ".htm" : ".txt");
            int fd = ::open(name.c_str(), O_CREAT | O_WRONLY, 0600);
            if (fd >= 0) ::close(fd);
        }
    }
    ~ArticleFolder() {
        std::error_code ec;
        if (!m_path.empty()) fs::remove_all(m_path, ec);
    }
    const std::string& path() const { return m_path; }

   private:
    std::string m_path;
};

const ArticleFolder& folder() {
    static ArticleFolder instance;
    return instance;
}

void listFolder(benchmark::State& state, const char* filter, oz::content::ListingMethod method) {
    const std::string& path = folder().path();
    std::size_t listed = 0;
    for (auto _ : state) {
        auto files = oz::content::listArticleFiles(path, filter, method);
        listed = files.size();
        benchmark::DoNotOptimize(files);
    }
    state.counters["files"] = static_cast<double>(listed);
}

void BM_CompleteListingAllFiles(benchmark::State& state) {
    listFolder(state, "", oz::content::ListingMethod::Complete);
}
void BM_CompleteListingExtension(benchmark::State& state) {
    listFolder(state, "*.txt", oz::content::ListingMethod::Complete);
}
void BM_CompleteListingPattern(benchmark::State& state) {
    listFolder(state, "*.htm|*.txt", oz::content::ListingMethod::Complete);
}
void BM_FastListing(benchmark::State& state) {
    listFolder(state, "*.htm|*.txt", oz::content::ListingMethod::Fast);
}

BENCHMARK(BM_CompleteListingAllFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompleteListingExtension)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompleteListingPattern)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FastListing)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
