// oz-standin: serves stand-in DedeCMS back ends on 127.0.0.1 until SIGINT or SIGTERM.
//   oz-standin [--port N] [--delay-ms MS] [--site PREFIX,USER,PASSWORD,utf8|gbk]...
// The first line on stdout is "listening on 127.0.0.1:PORT". Without --site one UTF-8 site "s1"
// with the account admin/admin is served. --delay-ms makes every answer wait that long first, as a
// distant host would.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "testing/standin_server.h"

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void onSignal(int) { g_stopRequested = 1; }

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

bool parseSite(const std::string& text, oz::testing::StandinSite& site) {
    const std::vector<std::string> parts = split(text, ',');
    if (parts.size() != 4) return false;
    site.prefix = parts[0];
    site.user = parts[1];
    site.password = parts[2];
    if (parts[3] == "utf8") {
        site.charset = oz::text::Charset::Utf8;
    } else if (parts[3] == "gbk") {
        site.charset = oz::text::Charset::Gbk;
    } else {
        return false;
    }
    return true;
}

int usage() {
    std::cerr << "usage: oz-standin [--port N] [--delay-ms MS] [--site PREFIX,USER,PASSWORD,utf8|gbk]...\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    int delayMs = 0;
    std::vector<oz::testing::StandinSite> sites;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--port" && i + 1 < argc) {
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || value < 0 || value > 65535) return usage();
            port = static_cast<int>(value);
        } else if (argument == "--delay-ms" && i + 1 < argc) {
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || value < 0 || value > 600000) return usage();
            delayMs = static_cast<int>(value);
        } else if (argument == "--site" && i + 1 < argc) {
            oz::testing::StandinSite site;
            if (!parseSite(argv[++i], site)) return usage();
            sites.push_back(site);
        } else {
            return usage();
        }
    }
    if (sites.empty()) sites.emplace_back();

    oz::testing::StandinServerOptions options;
    options.recordRequests = false;  // a long-running demo would only pile them up
    options.answerDelayMs = delayMs;
    oz::testing::StandinServer server(options);
    for (const auto& site : sites) {
        if (!server.addSite(site)) {
            std::cerr << "oz-standin: cannot add site \"" << site.prefix << "\" (taken or malformed)\n";
            return 1;
        }
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    if (!server.start(port)) {
        std::cerr << "oz-standin: cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }
    std::cout << "listening on " << server.hostAndPort() << std::endl;
    for (const auto& site : sites) std::cout << "site " << server.backEndUrl(site.prefix) << std::endl;

    while (!g_stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    server.stop();
    return 0;
}
