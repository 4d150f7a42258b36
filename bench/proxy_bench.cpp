// The time one back-end request takes direct and through a proxy on this machine: the proxy must
// not make a site slower by more than a few per cent. The stand-in answers after 10 ms, about what
// a real back end's admin page takes. Proxies named in $OZ_BENCH_PROXIES (space-separated, e.g.
// "http://u:p@127.0.0.2:8888 socks5://u:p@127.0.0.3:1080") are measured too.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "http/http_requester.h"
#include "testing/standin_server.h"
#include "tests/support/forward_proxy.h"

namespace {

using namespace oz;

struct BenchWorld {
    BenchWorld() : server(options()), proxy("bench") {
        server.addSite(testing::StandinSite{});
        server.start();
        url = server.backEndUrl("s1") + "/login.php";
        ways = {"", "http://" + proxy.hostPort()};
        if (const char* more = std::getenv("OZ_BENCH_PROXIES")) {
            std::istringstream words(more);
            for (std::string way; words >> way;) ways.push_back(way);
        }
    }
    static testing::StandinServerOptions options() {
        testing::StandinServerOptions o;
        o.recordRequests = false;
        o.answerDelayMs = 10;
        return o;
    }
    testing::StandinServer server;
    test::ForwardProxy proxy;
    std::string url;
    std::vector<std::string> ways;
};

BenchWorld& world() {
    static BenchWorld instance;
    return instance;
}

void BM_BackEndRequest(benchmark::State& state) {
    BenchWorld& w = world();
    const auto index = static_cast<std::size_t>(state.range(0));
    if (index >= w.ways.size()) {
        state.SkipWithError("no such proxy");
        return;
    }
    const std::string& way = w.ways[index];
    // The way without its user and password.
    const std::size_t at = way.find('@');
    state.SetLabel(way.empty()               ? "direct"
                   : at == std::string::npos ? way
                                             : way.substr(0, way.find("://") + 3) + way.substr(at + 1));
    http::HttpRequester requester;
    for (auto _ : state) {
        http::PageRequest request;
        request.accessMethod = http::kProfile1;
        request.url = w.url;
        request.proxy = way;
        const http::PageAnswer answer = requester.pageRequest(request);
        if (!answer.ok) {
            state.SkipWithError(answer.error.c_str());
            break;
        }
    }
}
BENCHMARK(BM_BackEndRequest)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
