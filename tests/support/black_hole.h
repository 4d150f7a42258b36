#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace oz::test {

// A host that drops every connection attempt: a listener that never accepts, its one-place queue
// taken by a connection of its own, so the kernel ignores further SYNs.
class BlackHoleListener {
   public:
    BlackHoleListener() {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listen, 0);
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_filler = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(m_filler, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    }
    ~BlackHoleListener() {
        ::close(m_filler);
        ::close(m_listen);
    }
    int port() const { return m_port; }
    std::string url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

   private:
    int m_listen = -1;
    int m_filler = -1;
    int m_port = 0;
};

}  // namespace oz::test
