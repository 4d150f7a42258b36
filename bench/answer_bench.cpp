// Tag removal on pages an attacker or a broken back end could send: it must stay linear in the
// page. The update-everything reader once cleaned its message with a pattern that took ten seconds
// on 100 KB of "<" without ">".

#include <benchmark/benchmark.h>

#include <string>

#include "backend/regeneration.h"
#include "text/cleaning.h"

namespace {

using namespace oz;

std::string oneKeyPage(std::size_t bytes) {
    return "document.write(\"a\");document.write(\"b\");document.write(\"" + std::string(bytes, '<') + "\");";
}

void BM_OneKeyPageTextUnclosedTags(benchmark::State& state) {
    const std::string page = oneKeyPage(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(backend::oneKeyPageText(page));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_OneKeyPageTextUnclosedTags)->Arg(10 << 10)->Arg(100 << 10)->Unit(benchmark::kMicrosecond);

void BM_StripTagsUnclosedTags(benchmark::State& state) {
    const std::string text(static_cast<std::size_t>(state.range(0)), '<');
    for (auto _ : state) benchmark::DoNotOptimize(text::stripTags(text));
}
BENCHMARK(BM_StripTagsUnclosedTags)->Arg(100 << 10)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
