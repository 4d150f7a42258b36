#pragma once

#include <curl/curl.h>

#include <vector>

namespace oz::http::curl {

// The open connections of one requester, acknowledged at once whenever an answer's bytes arrive.
//
// A proxy that relays an answer in small pieces without TCP_NODELAY (microsocks, tinyproxy as
// Debian builds them) holds each piece until the one before is acknowledged, and Linux delays that
// acknowledgement by up to 40 ms on a connection that looks interactive: every request through such
// a proxy waited 40 ms more. The kernel's quick-ACK mode does not last, so it is asked for again
// each time data arrives. Elsewhere than Linux this does nothing.
class QuickAck {
   public:
    // Lets the handle's new connections be watched. The object must outlive the handle and the
    // multi handle that caches its connections: libcurl closes them through it.
    void watch(CURL* easy);
    void acknowledge() const;

   private:
    static int onSocketOptions(void* self, curl_socket_t socket, curlsocktype purpose);
    static int onClose(void* self, curl_socket_t socket);

    std::vector<curl_socket_t> m_sockets;
};

}  // namespace oz::http::curl
