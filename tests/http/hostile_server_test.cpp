// Servers that answer as no web server should: what the requester makes of them.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "http/http_requester.h"
#include "test_servers.h"

namespace oz::http {
namespace {

// Regression: what a hostile server made libcurl fail with reached the log in libcurl's English,
// and a header line of megabytes said "Out of memory".
TEST(RequesterHostile, TransportFailuresSayWhatHappenedInChinese) {
    std::string manyHeaders = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 400; ++i)
        manyHeaders += "X-" + std::to_string(i) + ": " + std::string(1000, 'b') + "\r\n";
    const std::pair<std::string, std::string> cases[] = {
        {"", "网络错误：服务器没有回答就关闭了连接"},
        {"HTTP/1.1 200 OK\r\nX-A: " + std::string(10 * 1024 * 1024, 'a') + "\r\n\r\nok",
         "网络错误：回答的头部过大（单行超过上限）"},
        {manyHeaders + "Content-Length: 2\r\n\r\nok", "网络错误：回答的头部过大（超过 300 KB）"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort",
         "网络错误：回答不完整：连接在回答结束之前关闭"},
    };
    for (const auto& [reply, reason] : cases) {
        PlainReplyServer hostile(reply, true);
        HttpRequester requester;
        PageRequest request;
        request.accessMethod = kProfile1;
        request.url = "http://127.0.0.1:" + std::to_string(hostile.port()) + "/";
        const PageAnswer answer = requester.pageRequest(request);
        EXPECT_FALSE(answer.ok);
        EXPECT_EQ(failureReason(answer), reason) << answer.error;
    }
}

}  // namespace
}  // namespace oz::http
