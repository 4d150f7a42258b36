#pragma once

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/black_hole.h"
#include "tests/support/tls_identity.h"

namespace oz::http {

inline std::string gzipBytes(std::string_view data) {
    z_stream zs{};
    deflateInit2(&zs, 1, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, data.size()), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

// A cpp-httplib server on 127.0.0.1 and a free port, running until destroyed; with an identity it
// speaks HTTPS and shows that certificate.
class TestServer {
   public:
    struct Seen {
        std::string method;
        std::string path;
        httplib::Headers headers;
        std::string body;
        int remotePort = 0;
    };

    explicit TestServer(const test::TlsIdentity* tls = nullptr)
        : m_server(tls != nullptr ? std::make_unique<httplib::SSLServer>(tls->cert(), tls->key())
                                  : std::make_unique<httplib::Server>()),
          m_scheme(tls != nullptr ? "https" : "http") {
        // The logger runs once the answer is written, so a client can be back before its request
        // is recorded: `seen` waits for the requests that have begun.
        m_server->set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
            std::lock_guard lock(m_mutex);
            ++m_begun;
            return httplib::Server::HandlerResponse::Unhandled;
        });
        m_server->set_logger([this](const httplib::Request& req, const httplib::Response&) {
            std::lock_guard lock(m_mutex);
            m_seen.push_back({req.method, req.path, req.headers, req.body, req.remote_port});
            m_recorded.notify_all();
        });
    }
    ~TestServer() { stop(); }

    httplib::Server& server() { return *m_server; }

    // Call after adding the routes.
    void start() {
        m_port = m_server->bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server->listen_after_bind(); });
        while (!m_server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void stop() {
        m_stopping = true;
        if (m_thread.joinable()) {
            m_server->stop();
            m_thread.join();
        }
    }

    // Sleeps in a handler up to `total`, ending early when the server stops.
    void hang(std::chrono::milliseconds total) const {
        const auto end = std::chrono::steady_clock::now() + total;
        while (!m_stopping && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    int port() const { return m_port; }
    std::string url(const std::string& path) const {
        return m_scheme + "://127.0.0.1:" + std::to_string(m_port) + path;
    }

    std::vector<Seen> seen() const {
        std::unique_lock lock(m_mutex);
        waitForRecords(lock);
        return m_seen;
    }
    Seen last() const {
        std::unique_lock lock(m_mutex);
        waitForRecords(lock);
        return m_seen.empty() ? Seen{} : m_seen.back();
    }

   private:
    // A request still in its handler (one that hangs) is not waited for beyond a second.
    void waitForRecords(std::unique_lock<std::mutex>& lock) const {
        m_recorded.wait_for(lock, std::chrono::seconds(1), [this] { return m_seen.size() >= m_begun; });
    }

    std::unique_ptr<httplib::Server> m_server;
    std::string m_scheme;
    std::thread m_thread;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    std::vector<Seen> m_seen;
    std::size_t m_begun = 0;
    mutable std::condition_variable m_recorded;
};

// Accepts connections and keeps the raw request head of each, for checks of the exact lines sent.
class RawCaptureServer {
   public:
    RawCaptureServer() {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listen, 8);
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~RawCaptureServer() {
        m_stopping = true;
        m_thread.join();
        ::close(m_listen);
    }

    std::string url(const std::string& path) const { return "127.0.0.1:" + std::to_string(m_port) + path; }
    int port() const { return m_port; }

    // The header lines of the last request (request line first), without the CR LF.
    std::vector<std::string> lastLines() const {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < m_lastHead.size()) {
            const std::size_t end = m_lastHead.find("\r\n", start);
            if (end == std::string::npos || end == start) break;
            lines.push_back(m_lastHead.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

   private:
    void run() {
        while (!m_stopping) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const int client = ::accept(m_listen, nullptr, nullptr);
            if (client < 0) continue;
            std::string data;
            char buffer[4096];
            while (data.find("\r\n\r\n") == std::string::npos) {
                pollfd c{client, POLLIN, 0};
                if (::poll(&c, 1, 2000) <= 0) break;
                const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                data.append(buffer, static_cast<std::size_t>(got));
            }
            {
                std::lock_guard lock(m_mutex);
                m_lastHead = data.substr(0, data.find("\r\n\r\n") + 2);
            }
            const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
            ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
            ::close(client);
        }
    }

    int m_listen = -1;
    int m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    std::string m_lastHead;
};

// Answers every connection at once with a plain HTTP error and closes it: a TLS client meets no
// TLS server there. With `reply` and `readRequestFirst`, a hostile HTTP server: it reads the
// request head, sends `reply` as it is (nothing at all, a header line of megabytes, ...) and
// closes the connection.
class PlainReplyServer {
   public:
    explicit PlainReplyServer(std::string reply = "HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n",
                              bool readRequestFirst = false)
        : m_reply(std::move(reply)) {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listen, 8);
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this, readRequestFirst] {
            while (!m_stopping) {
                pollfd p{m_listen, POLLIN, 0};
                if (::poll(&p, 1, 20) <= 0) continue;
                const int client = ::accept(m_listen, nullptr, nullptr);
                if (client < 0) continue;
                if (readRequestFirst) receive(client, "\r\n\r\n");
                for (std::size_t sent = 0; sent < m_reply.size();) {
                    const ssize_t n =
                        ::send(client, m_reply.data() + sent, m_reply.size() - sent, MSG_NOSIGNAL);
                    if (n <= 0) break;
                    sent += static_cast<std::size_t>(n);
                }
                if (readRequestFirst) {
                    ::shutdown(client, SHUT_WR);
                    receive(client, {});  // until the client closes: no reset of unread bytes
                }
                ::close(client);
            }
        });
    }
    ~PlainReplyServer() {
        m_stopping = true;
        m_thread.join();
        ::close(m_listen);
    }
    int port() const { return m_port; }

   private:
    // Reads until `end` arrived (empty: until the peer closes), at most two seconds.
    static void receive(int client, std::string_view end) {
        std::string data;
        char buffer[4096];
        while (end.empty() || data.find(end) == std::string::npos) {
            pollfd c{client, POLLIN, 0};
            if (::poll(&c, 1, 2000) <= 0) return;
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) return;
            data.append(buffer, static_cast<std::size_t>(got));
        }
    }

    std::string m_reply;
    int m_listen = -1;
    int m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
};

}  // namespace oz::http
