#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace oz::test {

// A plain HTTP forward proxy on 127.0.0.1 (requests with an absolute URL), for counting what
// reaches a server through it. It refuses CONNECT with 403, as proxies that tunnel to port 443 only
// do (after the password check). With a user it asks for Basic authentication as tinyproxy
// does: 407 without Proxy-Authorization, 401 with its own realm for a wrong one. Every forwarded request gets
// an "X-Test-Proxy" header with the proxy's name, so the server tells which way each request came.
class ForwardProxy {
   public:
    explicit ForwardProxy(std::string name, std::string user = {}, std::string password = {})
        : m_name(std::move(name)) {
        if (!user.empty()) {
            m_expected = httplib::make_basic_authentication_header(user, password, true).second;
        }
        auto handler = [this](const httplib::Request& req, httplib::Response& res) { forward(req, res); };
        m_server.set_keep_alive_timeout(1);  // so that stopping does not wait for idle clients
        m_server.set_tcp_nodelay(true);
        m_server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
            if (req.method != "CONNECT") return httplib::Server::HandlerResponse::Unhandled;
            if (!shutOff(res) && !wrongPassword(req, res)) {
                ++m_tunnelsRefused;
                res.status = 403;
            }
            return httplib::Server::HandlerResponse::Handled;
        });
        m_server.Get(".*", handler);
        m_server.Post(".*", handler);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~ForwardProxy() {
        m_server.stop();
        m_thread.join();
    }
    ForwardProxy(const ForwardProxy&) = delete;
    ForwardProxy& operator=(const ForwardProxy&) = delete;

    int port() const { return m_port; }
    std::string hostPort() const { return "127.0.0.1:" + std::to_string(m_port); }
    int forwarded() const { return m_forwarded; }
    int refused() const { return m_refused; }
    int tunnelsRefused() const { return m_tunnelsRefused; }
    // Refuses every request (407) once one whose target holds `part` has been forwarded: a proxy
    // whose account is shut off during a run.
    void refuseAfter(std::string part) {
        std::lock_guard lock(m_mutex);
        m_refuseAfter = std::move(part);
    }

   private:
    bool shutOff(httplib::Response& res) {
        if (!m_shutOff) return false;
        ++m_refused;
        res.status = 407;
        return true;
    }

    bool wrongPassword(const httplib::Request& req, httplib::Response& res) {
        if (!m_expected.empty() && req.get_header_value("Proxy-Authorization") != m_expected) {
            ++m_refused;
            const bool wrong = req.has_header("Proxy-Authorization");
            res.status = wrong ? 401 : 407;
            res.set_header("Server", "tinyproxy/1.11.1");
            res.set_header(wrong ? "WWW-Authenticate" : "Proxy-Authenticate", "Basic realm=\"Tinyproxy\"");
            res.set_content("proxy authentication required", "text/plain");
            return true;
        }
        return false;
    }

    void forward(const httplib::Request& req, httplib::Response& res) {
        if (shutOff(res)) return;
        {
            std::lock_guard lock(m_mutex);
            if (!m_refuseAfter.empty() && req.target.find(m_refuseAfter) != std::string::npos)
                m_shutOff = true;
        }
        if (wrongPassword(req, res)) return;
        const std::string& target = req.target;
        const std::size_t hostStart = target.find("://");
        if (hostStart == std::string::npos) {
            res.status = 400;
            return;
        }
        const std::size_t pathStart = target.find('/', hostStart + 3);
        httplib::Client upstream(target.substr(0, pathStart));
        upstream.set_decompress(false);
        upstream.set_tcp_nodelay(true);
        upstream.set_read_timeout(std::chrono::seconds(30));
        httplib::Request out;
        out.method = req.method;
        out.path = pathStart == std::string::npos ? "/" : target.substr(pathStart);
        for (const auto& [name, value] : req.headers) {
            const bool proxyHeader =
                name.size() > 6 && (name.compare(0, 6, "Proxy-") == 0 || name.compare(0, 6, "proxy-") == 0);
            if (!proxyHeader && name != "Content-Length" && name != "REMOTE_ADDR" && name != "REMOTE_PORT" &&
                name != "LOCAL_ADDR" && name != "LOCAL_PORT") {
                out.headers.emplace(name, value);
            }
        }
        out.headers.emplace("X-Test-Proxy", m_name);
        out.body = req.body;
        ++m_forwarded;
        httplib::Result result = upstream.send(out);
        if (!result) {
            res.status = 502;
            return;
        }
        res.status = result->status;
        for (const auto& [name, value] : result->headers) {
            if (name != "Content-Length" && name != "Transfer-Encoding" && name != "Connection" &&
                name != "Keep-Alive") {
                res.headers.emplace(name, value);
            }
        }
        res.body = result->body;
    }

    std::string m_name;
    std::string m_expected;
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    std::atomic<int> m_forwarded{0};
    std::atomic<int> m_refused{0};
    std::atomic<int> m_tunnelsRefused{0};
    std::mutex m_mutex;
    std::string m_refuseAfter;
    std::atomic<bool> m_shutOff{false};
};

}  // namespace oz::test
