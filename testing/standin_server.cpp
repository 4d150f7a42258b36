#include "testing/standin_server.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <shared_mutex>
#include <thread>
#include <unordered_map>

#include "testing/standin_gzip.h"
#include "testing/standin_site.h"

namespace oz::testing {

namespace {

constexpr const char* kLoopback = "127.0.0.1";

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string garbageBytes() {
    static thread_local std::mt19937 random{std::random_device{}()};
    std::string bytes(1024, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

// Shuts down the sockets of this process whose local end is 127.0.0.1:port (the connections the
// server accepted) and, when remotePort is given, whose client end is that port.
void shutdownAcceptedConnections(int port, int remotePort = -1) {
    DIR* folder = opendir("/proc/self/fd");
    if (!folder) return;
    const int folderFd = dirfd(folder);
    while (const dirent* entry = readdir(folder)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || end == entry->d_name || fd == folderFd) continue;
        sockaddr_in local{};
        sockaddr_in peer{};
        socklen_t localLength = sizeof local;
        socklen_t peerLength = sizeof peer;
        if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &localLength) != 0)
            continue;
        if (local.sin_family != AF_INET || ntohs(local.sin_port) != port ||
            local.sin_addr.s_addr != htonl(INADDR_LOOPBACK)) {
            continue;
        }
        if (remotePort >= 0 &&
            (getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0 ||
             ntohs(peer.sin_port) != remotePort)) {
            continue;
        }
        shutdown(static_cast<int>(fd), SHUT_RDWR);
    }
    closedir(folder);
}

constexpr const char* kGatewayTimeoutPage =
    "<html>\r\n<head><title>504 Gateway Time-out</title></head>\r\n<body>\r\n"
    "<center><h1>504 Gateway Time-out</h1></center>\r\n<hr><center>nginx</center>\r\n</body>\r\n</html>\r\n";
constexpr const char* kServerErrorPage =
    "<html><head><title>500 Internal Server Error</title></head><body><h1>Internal Server Error</h1>"
    "</body></html>\n";

}  // namespace

std::string RecordedRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoringCase(key, name)) return value;
    }
    return {};
}

std::string StoredArticle::field(std::string_view name) const {
    for (const auto& [key, value] : fields) {
        if (key == name) return value;
    }
    return {};
}

std::vector<std::string> StoredArticle::fieldValues(std::string_view name) const {
    std::vector<std::string> values;
    for (const auto& [key, value] : fields) {
        if (key == name) values.push_back(value);
    }
    return values;
}

bool StoredArticle::hasField(std::string_view name) const {
    return std::any_of(fields.begin(), fields.end(),
                       [name](const auto& field) { return field.first == name; });
}

struct StandinServer::Impl {
    explicit Impl(StandinServerOptions serverOptions) : options(serverOptions) {}

    const StandinServerOptions options;
    std::unique_ptr<httplib::Server> server;
    std::thread listener;
    std::atomic<int> port{0};
    std::atomic<int> listeningSocket{-1};  // the server's listening socket, once created
    std::mutex runMutex;                   // start and stop

    // Pending delayed and never-answering requests wait on this.
    std::mutex stopMutex;
    std::condition_variable stopSignal;
    bool stopping = false;

    mutable std::shared_mutex sitesMutex;
    std::vector<std::shared_ptr<SiteBackEnd>> sites;  // longest prefix first
    const oz::text::Clock* clock = nullptr;           // for the sites' late stores

    mutable std::mutex requestsMutex;
    std::vector<RecordedRequest> requests;
    std::atomic<std::size_t> requestTotal{0};

    // Requests seen per client port: a port with an earlier request is a kept-alive connection.
    std::mutex connectionsMutex;
    std::unordered_map<int, int> requestsPerConnection;

    // The number of this request on its connection, 1 for a connection's first.
    int requestNumberOnConnection(int remotePort) {
        std::lock_guard lock(connectionsMutex);
        return ++requestsPerConnection[remotePort];
    }

    // Spoils the answer of a stored article as its site's faults ask; false when no answer is to be
    // sent (the connection was closed).
    bool spoilStoredAnswer(StoredAnswer how, const httplib::Request& request, httplib::Response& response,
                           int lateMs, int requestNumber);

    std::shared_ptr<SiteBackEnd> site(std::string_view prefix) const {
        std::shared_lock lock(sitesMutex);
        for (const auto& candidate : sites) {
            if (candidate->prefix() == prefix) return candidate;
        }
        return nullptr;
    }

    std::shared_ptr<SiteBackEnd> siteForPath(std::string_view path) const {
        std::shared_lock lock(sitesMutex);
        for (const auto& candidate : sites) {
            const std::string& sitePath = candidate->sitePath();
            if (path.starts_with(sitePath) &&
                (path.size() == sitePath.size() || path[sitePath.size()] == '/')) {
                return candidate;
            }
        }
        return nullptr;
    }

    // Waits up to ms; false when the server is stopping.
    bool waitUnlessStopping(int ms) {
        std::unique_lock lock(stopMutex);
        return !stopSignal.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping; });
    }

    void serve(const httplib::Request& request, httplib::Response& response, const std::string& body,
               std::vector<UploadedFile> files = {});
};

bool StandinServer::Impl::spoilStoredAnswer(StoredAnswer how, const httplib::Request& request,
                                            httplib::Response& response, int lateMs, int requestNumber) {
    switch (how) {
        case StoredAnswer::Page:
            return true;
        case StoredAnswer::GatewayTimeout:
            response.status = 504;
            response.set_content(kGatewayTimeoutPage, "text/html");
            return false;
        case StoredAnswer::ServerError:
            response.status = 500;
            response.set_content(kServerErrorPage, "text/html; charset=iso-8859-1");
            return false;
        case StoredAnswer::Garbage:
            response.status = 200;
            response.set_content(garbageBytes(), "text/html");
            return false;
        case StoredAnswer::Late:
            waitUnlessStopping(lateMs);
            return true;
        case StoredAnswer::CloseKeptAlive:
            if (requestNumber == 1) return true;
            [[fallthrough]];
        case StoredAnswer::DropConnection:
            // The client sees the connection closed without an answer.
            shutdownAcceptedConnections(port.load(), request.remote_port);
            response.status = 500;
            return false;
    }
    return true;
}

void StandinServer::Impl::serve(const httplib::Request& request, httplib::Response& response,
                                const std::string& body, std::vector<UploadedFile> files) {
    const int requestNumber = requestNumberOnConnection(request.remote_port);
    const std::size_t question = request.target.find('?');
    const std::string rawPath = request.target.substr(0, question);
    const std::string rawQuery =
        question == std::string::npos ? std::string() : request.target.substr(question + 1);
    const std::shared_ptr<SiteBackEnd> site = siteForPath(request.path);

    ++requestTotal;
    if (options.recordRequests) {
        RecordedRequest record;
        record.site = site ? site->prefix() : std::string();
        record.method = request.method;
        record.path = rawPath;
        record.query = rawQuery;
        record.headers.assign(request.headers.begin(), request.headers.end());
        record.body = body;
        std::lock_guard lock(requestsMutex);
        requests.push_back(std::move(record));
    }
    // Compression is the gzip switch's business alone: without this the library would compress
    // on its own whenever the client accepts it. The request object is the server's own, not const.
    const_cast<httplib::Request&>(request).headers.erase("Accept-Encoding");
    if (options.answerDelayMs > 0 && !waitUnlessStopping(options.answerDelayMs)) {
        response.status = 503;
        return;
    }

    if (!site) {
        response.status = 404;
        response.set_content("<html><body><h1>Not Found</h1></body></html>\n",
                             "text/html; charset=iso-8859-1");
        return;
    }
    const StandinFaults faults = site->faults();
    if (faults.neverAnswer) {
        waitUnlessStopping(options.neverAnswerCapMs);
        response.status = 503;
        return;
    }
    if (faults.delayMs > 0 && !waitUnlessStopping(faults.delayMs)) {
        response.status = 503;
        return;
    }
    if (faults.serverError) {
        response.status = 500;
        response.set_content(
            "<html><head><title>500 Internal Server Error</title></head><body><h1>Internal Server Error</h1>"
            "</body></html>\n",
            "text/html; charset=iso-8859-1");
        return;
    }
    if (faults.garbageAnswers) {
        response.set_content(garbageBytes(), "text/html");
        return;
    }

    SiteRequest siteRequest;
    siteRequest.method = request.method;
    siteRequest.path = request.path.substr(site->sitePath().size());
    siteRequest.target = request.target;
    siteRequest.query = rawQuery;
    siteRequest.body = body;
    siteRequest.files = std::move(files);
    siteRequest.cookies = request.get_header_value("Cookie");
    siteRequest.host = request.get_header_value("Host");
    if (siteRequest.host.empty())
        siteRequest.host = std::string(kLoopback) + ":" + std::to_string(port.load());

    SiteAnswer answer = site->handle(siteRequest);
    if (answer.workMicros > 0 && !waitUnlessStopping(answer.workMicros / 1000)) {
        response.status = 503;
        return;
    }
    if (!spoilStoredAnswer(answer.storedAnswer, request, response, faults.lateAnswerMs, requestNumber))
        return;
    response.status = answer.status;
    for (const auto& [name, value] : answer.headers) response.set_header(name, value);
    if (faults.gzipAnswers && !answer.body.empty()) {
        answer.body = gzipCompress(answer.body);
        response.set_header("Content-Encoding", "gzip");
    }
    response.set_content(std::move(answer.body), answer.contentType);
}

StandinServer::StandinServer(StandinServerOptions options) : m_impl(std::make_unique<Impl>(options)) {}

StandinServer::~StandinServer() { stop(); }

bool StandinServer::start(int port) {
    // Answers written to a connection the server itself closed must not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    std::lock_guard runLock(m_impl->runMutex);
    if (m_impl->server) return false;
    {
        std::lock_guard lock(m_impl->stopMutex);
        m_impl->stopping = false;
    }
    auto server = std::make_unique<httplib::Server>();
    const auto threads = static_cast<std::size_t>(std::max(2, m_impl->options.threads));
    server->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    server->set_tcp_nodelay(true);
    server->set_keep_alive_max_count(1000000);
    server->set_keep_alive_timeout(std::max(1, m_impl->options.keepAliveTimeoutSeconds));
    server->set_read_timeout(5);
    server->set_payload_max_length(64 * 1024 * 1024);
    // The library listens with a backlog of 5, so a burst of new connections (ten sites logging in
    // at once) overflows the queue and a client waits a second for its SYN to be sent again. The
    // listening socket is noted here and given a full backlog once it is bound.
    Impl* impl = m_impl.get();
    impl->listeningSocket = -1;
    server->set_socket_options([impl](socket_t socket) {
        httplib::default_socket_options(socket);
        impl->listeningSocket = socket;
    });
    const auto handler = [impl](const httplib::Request& request, httplib::Response& response) {
        impl->serve(request, response, request.body);
    };
    // Bodies are read through a content reader: the library's own reading refuses form bodies
    // above 8 KiB (a limit built into the shared library), and articles are longer.
    const auto readingHandler = [impl](const httplib::Request& request, httplib::Response& response,
                                       const httplib::ContentReader& reader) {
        std::string body;
        std::vector<UploadedFile> files;
        if (request.is_multipart_form_data()) {
            // Text parts become url-encoded fields, as PHP puts them beside the query's; file parts
            // are the request's files.
            std::vector<httplib::MultipartFormData> parts;
            reader(
                [&parts](const httplib::MultipartFormData& part) {
                    parts.push_back(part);
                    return true;
                },
                [&parts](const char* data, std::size_t length) {
                    if (!parts.empty()) parts.back().content.append(data, length);
                    return true;
                });
            for (httplib::MultipartFormData& part : parts) {
                if (part.filename.empty()) {
                    if (!body.empty()) body += '&';
                    body += phpUrlEncode(part.name) + "=" + phpUrlEncode(part.content);
                } else {
                    files.push_back({part.name, part.filename, part.content_type, std::move(part.content)});
                }
            }
        } else {
            reader([&body](const char* data, std::size_t length) {
                body.append(data, length);
                return true;
            });
        }
        impl->serve(request, response, body, std::move(files));
    };
    // Every path goes to serve(); the library's route patterns are only the catch-all.
    server->Get(".*", handler);
    server->Post(".*", handler);  // a POST without a body
    server->Post(".*", readingHandler);

    const int bound =
        port == 0 ? server->bind_to_any_port(kLoopback) : (server->bind_to_port(kLoopback, port) ? port : -1);
    if (bound <= 0) return false;
    if (impl->listeningSocket >= 0) ::listen(impl->listeningSocket, SOMAXCONN);
    m_impl->port = bound;
    httplib::Server* raw = server.get();
    m_impl->server = std::move(server);
    m_impl->listener = std::thread([raw] { raw->listen_after_bind(); });
    // stop() right after start() must find the server listening, or it would not end the loop.
    for (int i = 0; i < 5000 && !raw->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void StandinServer::stop() {
    std::lock_guard runLock(m_impl->runMutex);
    if (!m_impl->server) return;
    {
        std::lock_guard lock(m_impl->stopMutex);
        m_impl->stopping = true;
    }
    m_impl->stopSignal.notify_all();
    m_impl->server->stop();
    shutdownAcceptedConnections(m_impl->port.load());
    if (m_impl->listener.joinable()) m_impl->listener.join();
    m_impl->server.reset();
    m_impl->port = 0;
}

bool StandinServer::isRunning() const {
    std::lock_guard runLock(m_impl->runMutex);
    return m_impl->server != nullptr;
}

int StandinServer::port() const { return m_impl->port.load(); }

std::string StandinServer::hostAndPort() const {
    return std::string(kLoopback) + ":" + std::to_string(port());
}

std::string StandinServer::siteDomain(std::string_view prefix) const {
    std::string domain = hostAndPort();
    if (!prefix.empty()) domain += "/" + std::string(prefix);
    return domain;
}

std::string StandinServer::backEndUrl(std::string_view prefix) const {
    const auto found = m_impl->site(prefix);
    return "http://" + siteDomain(prefix) + "/" + (found ? found->adminDir() : std::string("dede"));
}

bool StandinServer::addSite(StandinSite site) {
    if (!SiteBackEnd::validate(site).empty()) return false;
    auto backEnd = std::make_shared<SiteBackEnd>(std::move(site));
    std::unique_lock lock(m_impl->sitesMutex);
    backEnd->setClock(m_impl->clock);
    for (const auto& existing : m_impl->sites) {
        if (existing->prefix() == backEnd->prefix()) return false;
    }
    m_impl->sites.push_back(std::move(backEnd));
    std::stable_sort(m_impl->sites.begin(), m_impl->sites.end(), [](const auto& a, const auto& b) {
        return a->sitePath().size() > b->sitePath().size();
    });
    return true;
}

bool StandinServer::setFaults(std::string_view prefix, const StandinFaults& faults) {
    const auto found = m_impl->site(prefix);
    if (!found) return false;
    found->setFaults(faults);
    return true;
}

StandinFaults StandinServer::faults(std::string_view prefix) const {
    const auto found = m_impl->site(prefix);
    return found ? found->faults() : StandinFaults{};
}

std::vector<StandinCategory> StandinServer::categories(std::string_view prefix) const {
    const auto found = m_impl->site(prefix);
    return found ? found->categories() : std::vector<StandinCategory>{};
}

void StandinServer::setClock(const oz::text::Clock* clock) {
    std::unique_lock lock(m_impl->sitesMutex);
    m_impl->clock = clock;
    for (const auto& site : m_impl->sites) site->setClock(clock);
}

std::vector<StoredArticle> StandinServer::articles(std::string_view prefix) const {
    const auto found = m_impl->site(prefix);
    return found ? found->articles() : std::vector<StoredArticle>{};
}

std::vector<StoredUpload> StandinServer::uploads(std::string_view prefix) const {
    const auto found = m_impl->site(prefix);
    return found ? found->uploads() : std::vector<StoredUpload>{};
}

std::size_t StandinServer::articleCount(std::string_view prefix) const {
    const auto found = m_impl->site(prefix);
    return found ? found->articleCount() : 0;
}

int StandinServer::loginCount(std::string_view prefix) const {
    const auto found = m_impl->site(prefix);
    return found ? found->loginCount() : 0;
}

std::pair<std::string, std::string> StandinServer::homePage(std::string_view prefix) const {
    const auto found = m_impl->site(prefix);
    return found ? found->homePage() : std::pair<std::string, std::string>{};
}

std::vector<RecordedRequest> StandinServer::requests() const {
    std::lock_guard lock(m_impl->requestsMutex);
    return m_impl->requests;
}

std::vector<RecordedRequest> StandinServer::requests(std::string_view prefix) const {
    std::lock_guard lock(m_impl->requestsMutex);
    std::vector<RecordedRequest> selected;
    for (const RecordedRequest& request : m_impl->requests) {
        if (request.site == prefix) selected.push_back(request);
    }
    return selected;
}

std::size_t StandinServer::requestCount() const { return m_impl->requestTotal.load(); }

void StandinServer::clearRequests() {
    std::lock_guard lock(m_impl->requestsMutex);
    m_impl->requests.clear();
    m_impl->requestTotal = 0;
}

}  // namespace oz::testing
