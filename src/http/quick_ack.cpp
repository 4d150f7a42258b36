#include "http/quick_ack.h"

#include <algorithm>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace oz::http::curl {

void QuickAck::watch(CURL* easy) {
    curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &QuickAck::onSocketOptions);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, this);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &QuickAck::onClose);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, this);
}

void QuickAck::acknowledge() const {
#ifdef TCP_QUICKACK
    for (const curl_socket_t socket : m_sockets) {
        const int on = 1;
        setsockopt(socket, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    }
#endif
}

int QuickAck::onSocketOptions(void* self, curl_socket_t socket, curlsocktype purpose) {
    if (purpose == CURLSOCKTYPE_IPCXN) static_cast<QuickAck*>(self)->m_sockets.push_back(socket);
    return CURL_SOCKOPT_OK;
}

int QuickAck::onClose(void* self, curl_socket_t socket) {
    auto& sockets = static_cast<QuickAck*>(self)->m_sockets;
    sockets.erase(std::remove(sockets.begin(), sockets.end(), socket), sockets.end());
#ifdef _WIN32
    return closesocket(socket);
#else
    return close(socket);
#endif
}

}  // namespace oz::http::curl
