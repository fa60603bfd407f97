// The engine's own HTTP/1.1 client, its portable parts: the response head
// and its bounds, the body by its framing, the request text, and the proxy
// the system's settings choose.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/http_request.h"
#include "core/http_response_head.h"
#include "core/proxy_choice.h"
#include "core/response_body.h"

namespace velmora::engine {
namespace {

// Feeds `bytes` to a reader in pieces of `step` bytes; returns how many it
// took.
std::size_t FeedInSteps(ResponseHeadReader& reader, std::string_view bytes, std::size_t step) {
    std::size_t used = 0;
    while (used < bytes.size() && !reader.Complete() && !reader.Refusal()) {
        const std::string_view piece = bytes.substr(used, step);
        const std::size_t took = reader.Feed(piece);
        used += took;
        if (took < piece.size()) break;
    }
    return used;
}

TEST(EngineCoreHttp, ResponseHeadsAreReadWhateverTheirPieces) {
    const struct {
        const char* text;
        unsigned status;
        std::optional<std::uint64_t> length;
        const char* range;  // nullptr: none
        BodyFraming framing;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n", 200, 12, nullptr, BodyFraming::Length},
        {"HTTP/1.1 206 Partial Content\r\ncontent-range:  bytes 0-9/100 \r\nCONTENT-LENGTH: 10\r\n\r\n", 206, 10,
         "bytes 0-9/100", BodyFraming::Length},
        {"HTTP/1.0 200\nServer: x\n\n", 200, std::nullopt, nullptr, BodyFraming::UntilClose},  // bare LF, no reason
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, Chunked\r\nContent-Length: 5\r\n\r\n", 200, std::nullopt,
         nullptr, BodyFraming::Chunked},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n", 200, std::nullopt, nullptr, BodyFraming::UntilClose},
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\nHTTP/1.1 404 Not Found\r\n"
         "Content-Length: 3\r\nContent-Length: 3\r\n\r\n",
         404, 3, nullptr, BodyFraming::Length},
        {"HTTP/1.1 304 Not Modified\r\nContent-Length: 99\r\n\r\n", 304, 0, nullptr, BodyFraming::Length},
    };
    for (const auto& c : cases) {
        for (const std::size_t step : {std::size_t{1}, std::size_t{7}, std::size_t{4096}}) {
            SCOPED_TRACE(std::string(c.text) + " in pieces of " + std::to_string(step));
            const std::string text = std::string(c.text) + "BODY";
            ResponseHeadReader reader;
            const std::size_t used = FeedInSteps(reader, text, step);
            ASSERT_TRUE(reader.Complete()) << reader.Refusal().value_or("");
            EXPECT_EQ(used, text.size() - 4) << "the body's bytes are left";
            EXPECT_EQ(reader.Head().status, c.status);
            EXPECT_EQ(reader.Head().contentLength, c.length);
            EXPECT_EQ(reader.Head().contentRange, c.range ? std::optional<std::string>(c.range) : std::nullopt);
            EXPECT_EQ(reader.Head().framing, c.framing);
        }
    }
}

TEST(EngineCoreHttp, BadAndOversizedHeadsAreRefused) {
    const std::string flood = "HTTP/1.1 200 OK\r\n" + [] {
        std::string lines;
        while (lines.size() < 2 * kMaxResponseHeadBytes) lines += "X-Filler: " + std::string(90, 'a') + "\r\n";
        return lines;
    }();
    const std::string longLine = "HTTP/1.1 200 OK\r\nX: " + std::string(kMaxResponseHeadBytes, 'a');
    const std::string endless100 = [] {
        std::string text;
        while (text.size() < 2 * kMaxResponseHeadBytes) text += "HTTP/1.1 100 Continue\r\n\r\n";
        return text;
    }();
    const struct {
        std::string text;
        const char* why;
    } cases[] = {
        {flood, "larger than"},
        {longLine, "larger than"},
        {endless100, "larger than"},
        {"ICY 200 OK\r\n\r\n", "status line"},
        {"HTTP/2 200\r\n\r\n", "status line"},
        {"HTTP/1.1 2000 OK\r\n\r\n", "status line"},
        {"HTTP/1.1 099 Low\r\n\r\n", "status 99"},
        {"HTTP/1.1 101 Switching Protocols\r\n\r\n", "switched"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n", "two different"},
        {"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", "not a number"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 5, 5\r\n\r\n", "not a number"},
        {"HTTP/1.1 200 OK\r\nX: a\r\n folded\r\n\r\n", "folded"},
        {"HTTP/1.1 200 OK\r\nNo colon here\r\n\r\n", "malformed"},
        {"HTTP/1.1 200 OK\r\nBad Name: x\r\n\r\n", "malformed"},
    };
    for (const auto& c : cases) {
        for (const std::size_t step : {std::size_t{1}, std::size_t{1000}, c.text.size()}) {
            SCOPED_TRACE(c.text.substr(0, 40) + " in pieces of " + std::to_string(step));
            ResponseHeadReader reader;
            const std::size_t used = FeedInSteps(reader, c.text, step);
            EXPECT_FALSE(reader.Complete());
            ASSERT_TRUE(reader.Refusal().has_value());
            EXPECT_NE(reader.Refusal()->find(c.why), std::string::npos) << *reader.Refusal();
            EXPECT_LE(used, kMaxResponseHeadBytes) << "nothing is taken past the bound";
        }
    }
}

// The bytes after a head, as a connection hands them out `step` at a time.
struct Connection {
    std::string bytes;
    std::size_t step;
    std::size_t at = 0;
    Result<std::size_t> Receive(std::span<std::uint8_t> into) {
        const std::size_t n = std::min({step, into.size(), bytes.size() - at});
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), n, into.begin());
        at += n;
        return n;
    }
};

// The whole body, read `readSize` bytes at a time; or the error.
Result<std::string> ReadBody(const HttpResponseHead& head, std::string early, std::string rest, std::size_t step,
                             std::size_t readSize) {
    ResponseBody body(head, std::vector<std::uint8_t>(early.begin(), early.end()));
    Connection connection{std::move(rest), step};
    const ReceiveFunction receive = [&](std::span<std::uint8_t> into) { return connection.Receive(into); };
    std::string text;
    std::vector<std::uint8_t> buffer(readSize);
    for (;;) {
        auto got = body.Read(buffer, receive);
        if (!got) return got.Error();
        if (got.Value() == 0) return text;
        text.append(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got.Value()));
    }
}

TEST(EngineCoreHttp, BodiesEndWhereTheirFramingSays) {
    HttpResponseHead length;
    length.framing = BodyFraming::Length;
    length.contentLength = 11;
    HttpResponseHead chunked;
    chunked.framing = BodyFraming::Chunked;
    HttpResponseHead toClose;
    const std::string chunks = "5;name=value\r\nhello\r\n1\r\n \r\n5\r\nworld\r\n0\r\nTrailer: x\r\n\r\nAFTER";
    const struct {
        const char* what;
        const HttpResponseHead& head;
        std::string early;
        std::string rest;
        const char* body;  // nullptr: fails with -6
    } cases[] = {
        {"length, more sent than announced", length, "hello", " world and more", "hello world"},
        {"length, all in the head's read", length, "hello world!!", "", "hello world"},
        {"length, cut short", length, "hello", " wo", "hello wo"},
        {"chunked", chunked, chunks.substr(0, 9), chunks.substr(9), "hello world"},
        {"chunked, bare LF", chunked, "", "3\nabc\n0\n\n", "abc"},
        {"chunked, cut inside a chunk", chunked, "", "5\r\nhel", nullptr},
        {"chunked, cut before the last chunk", chunked, "", "3\r\nabc\r\n", nullptr},
        {"chunked, data longer than its size", chunked, "", "3\r\nabcd\r\n0\r\n\r\n", nullptr},
        {"chunked, size not hex", chunked, "", "x3\r\nabc\r\n0\r\n\r\n", nullptr},
        {"chunked, size overflows", chunked, "", "10000000000000000\r\n", nullptr},
        {"chunked, endless size line", chunked, "", "1" + std::string(5000, '0'), nullptr},
        {"chunked, endless trailer", chunked, "", "0\r\n" + std::string(2 * kMaxResponseHeadBytes, 'x'), nullptr},
        {"until close", toClose, "abc", "defgh", "abcdefgh"},
    };
    for (const auto& c : cases) {
        for (const std::size_t step : {std::size_t{1}, std::size_t{3}, std::size_t{1 << 20}}) {
            for (const std::size_t readSize : {std::size_t{1}, std::size_t{4096}}) {
                SCOPED_TRACE(std::string(c.what) + ", steps of " + std::to_string(step) + ", reads of " +
                             std::to_string(readSize));
                const auto body = ReadBody(c.head, c.early, c.rest, step, readSize);
                if (c.body) {
                    ASSERT_TRUE(body) << body.Error().reason;
                    EXPECT_EQ(body.Value(), c.body);
                } else {
                    ASSERT_FALSE(body) << "read " << body.Value();
                    EXPECT_EQ(body.Error().status, EngineStatus::TransferBroken) << body.Error().reason;
                }
            }
        }
    }
}

TEST(EngineCoreHttp, RequestsNameTheServerDirectlyOrThroughAProxy) {
    const DataUrl plain{false, "updates.example", 80, "/oficial/gamedata.vel"};
    const DataUrl ported{false, "::1", 8780, "/x/gamedata.vel"};
    EXPECT_EQ(GetRequest(plain, "/oficial/gamedata.vel", std::nullopt, "VELUpdater/1", false),
              "GET /oficial/gamedata.vel HTTP/1.1\r\nHost: updates.example\r\nUser-Agent: VELUpdater/1\r\n"
              "Pragma: no-cache\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(GetRequest(ported, "/x/packs/\xc3\xa9", ByteRange{0, 99}, "VELUpdater/2", true),
              "GET http://[::1]:8780/x/packs/%C3%A9 HTTP/1.1\r\nHost: [::1]:8780\r\nUser-Agent: VELUpdater/2\r\n"
              "Range: bytes=0-99\r\nPragma: no-cache\r\nConnection: close\r\n\r\n");
}

TEST(EngineCoreHttp, SystemProxySettingsChooseTheProxyForPlainHttp) {
    const std::optional<ProxyAddress> none;
    const struct {
        const char* proxies;
        const char* bypass;
        const char* host;
        std::optional<ProxyAddress> proxy;
    } cases[] = {
        {"proxy.corp:3128", "", "updates.example", ProxyAddress{"proxy.corp", 3128}},
        {"proxy.corp", "", "updates.example", ProxyAddress{"proxy.corp", 80}},
        {"http://proxy.corp:8080/", "", "updates.example", ProxyAddress{"proxy.corp", 8080}},
        {"https=secure.corp:443;http=plain.corp:81", "", "updates.example", ProxyAddress{"plain.corp", 81}},
        {"all.corp:1 HTTP=plain.corp:2", "", "updates.example", ProxyAddress{"plain.corp", 2}},
        {"https=secure.corp:443;ftp=f:21", "", "updates.example", none},  // none for http
        {"[fd00::1]:3128", "", "updates.example", ProxyAddress{"fd00::1", 3128}},
        {"proxy.corp:3128", "*.example;other", "cdn.updates.EXAMPLE", none},
        {"proxy.corp:3128", "*.example;other", "example.org", ProxyAddress{"proxy.corp", 3128}},
        {"proxy.corp:3128", "<local>", "intranet", none},
        {"proxy.corp:3128", "<local>", "updates.example", ProxyAddress{"proxy.corp", 3128}},
        {"proxy.corp:3128", "*", "updates.example", none},
        {"proxy.corp:3128", "10.*", "10.1.2.3", none},
        {"proxy.corp:3128", "", "127.0.0.1", none},  // loopback: never through a proxy
        {"proxy.corp:3128", "", "localhost", none},
        {"proxy.corp:99999", "", "updates.example", none},  // unreadable: direct
        {"", "", "updates.example", none},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HttpProxyFor(c.proxies, c.bypass, c.host), c.proxy) << c.proxies << " | " << c.bypass << " | " << c.host;

    // With automatic configuration: its answer wins, a direct one too; the
    // fixed proxy serves only when it gave none; loopback stays direct.
    const std::optional<AutomaticProxyAnswer> noAnswer;
    const struct {
        std::optional<AutomaticProxyAnswer> answer;
        const char* host;
        std::optional<ProxyAddress> proxy;
    } automatic[] = {
        {AutomaticProxyAnswer{"script.corp:8080", ""}, "updates.example", ProxyAddress{"script.corp", 8080}},
        {AutomaticProxyAnswer{"", ""}, "updates.example", none},
        {AutomaticProxyAnswer{"script.corp:8080", "*.example"}, "updates.example", none},
        {noAnswer, "updates.example", ProxyAddress{"fixed.corp", 3128}},
        {AutomaticProxyAnswer{"script.corp:8080", ""}, "127.0.0.1", none},
    };
    for (const auto& c : automatic)
        EXPECT_EQ(HttpProxyFor(c.answer, "fixed.corp:3128", "", c.host), c.proxy)
            << (c.answer ? "answer " + c.answer->proxyList : std::string("no answer")) << " | " << c.host;
}

}  // namespace
}  // namespace velmora::engine
