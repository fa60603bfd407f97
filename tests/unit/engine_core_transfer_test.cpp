// The Windows engine's portable rules: the data URL, what network errors
// and HTTP answers mean, and the 32-bit byte counts.
#include <gtest/gtest.h>

#include "core/data_url.h"
#include "core/status_writer.h"
#include "core/transfer_rules.h"

namespace velmora::engine {
namespace {

TEST(EngineCoreTransfer, DataUrlsAreTakenApart) {
    const struct {
        const char* url;
        bool secure;
        const char* host;
        std::uint16_t port;
        const char* objectPath;  // of object "ab"
    } cases[] = {
        {"http://127.0.0.1:8780/oficial/gamedata.vel", false, "127.0.0.1", 8780, "/oficial/objects/ab"},
        {"HTTP://Updates.Example/gamedata.vel", false, "Updates.Example", 80, "/objects/ab"},
        {"https://cdn.example/a/b/gamedata.vel", true, "cdn.example", 443, "/a/b/objects/ab"},
        {"http://[::1]:8080/x/gamedata.vel", false, "::1", 8080, "/x/objects/ab"},
    };
    for (const auto& c : cases) {
        const std::optional<DataUrl> url = ParseDataUrl(c.url);
        ASSERT_TRUE(url.has_value()) << c.url;
        EXPECT_EQ(url->secure, c.secure) << c.url;
        EXPECT_EQ(url->host, c.host) << c.url;
        EXPECT_EQ(url->port, c.port) << c.url;
        EXPECT_EQ(ObjectPath(*url, "ab"), c.objectPath) << c.url;
    }
}

TEST(EngineCoreTransfer, DataUrlsTheEngineCannotUseAreRefused) {
    for (const char* url : {
             "ftp://host/gamedata.vel",
             "http://host",                // no path
             "http://host/folder/",        // names no file
             "http://:80/gamedata.vel",    // no host
             "http://host:0/gamedata.vel",
             "http://host:65536/gamedata.vel",
             "http://host:/gamedata.vel",
             "http://user@host/gamedata.vel",
             "http://host/game data.vel",
             "http://host/gamedata.vel?v=2",
             "http://[::1/gamedata.vel",
             "http://[1]/gamedata.vel",        // brackets around no IPv6 address
             "http://[1.2.3.4]/gamedata.vel",
         })
        EXPECT_FALSE(ParseDataUrl(url).has_value()) << url;
}

TEST(EngineCoreTransfer, NetworkErrorsMapToTheirStatusByPhase) {
    using P = TransferPhase;
    using S = EngineStatus;
    const struct {
        std::uint32_t error;
        P phase;
        S status;
    } cases[] = {
        {12007, P::Connecting, S::HostNotResolved},  // ERROR_INTERNET_NAME_NOT_RESOLVED
        {11001, P::Connecting, S::HostNotResolved},  // WSAHOST_NOT_FOUND
        {12029, P::Connecting, S::ConnectionRefused},  // ERROR_INTERNET_CANNOT_CONNECT
        {10061, P::Connecting, S::ConnectionRefused},  // WSAECONNREFUSED
        {12002, P::Connecting, S::TimedOut},
        {12002, P::ReceivingBody, S::TimedOut},
        {10060, P::ReceivingBody, S::TimedOut},      // WSAETIMEDOUT, as Wine reports a read time-out
        {12031, P::Connecting, S::ConnectionFailed},  // reset before the response
        {12030, P::ReceivingBody, S::TransferBroken},  // aborted during the body
        {10054, P::ReceivingBody, S::TransferBroken},
        {12152, P::Connecting, S::ConnectionFailed},  // invalid server response
        {6, P::ReceivingBody, S::TransferBroken},     // anything else during the body
    };
    for (const auto& c : cases)
        EXPECT_EQ(StatusForNetworkError(c.error, c.phase), c.status) << c.error;
}

TEST(EngineCoreTransfer, ObjectResponsesResumeRestartOrFail) {
    constexpr std::uint64_t size = 1000;
    const struct {
        unsigned status;
        std::uint64_t offset;
        std::optional<std::string_view> range;
        std::optional<ResponseUse> use;      // or the error:
        EngineStatus error;
    } cases[] = {
        {200, 0, std::nullopt, ResponseUse::FromStart, {}},
        {200, 400, std::nullopt, ResponseUse::FromStart, {}},  // Range ignored: start over
        {206, 400, "bytes 400-999/1000", ResponseUse::Resume, {}},
        {206, 400, "bytes 400-999/*", ResponseUse::Resume, {}},
        {206, 400, "bytes 300-999/1000", std::nullopt, EngineStatus::ServerError},  // not where asked
        {206, 400, std::nullopt, std::nullopt, EngineStatus::ServerError},
        {206, 400, "items 400-999/1000", std::nullopt, EngineStatus::ServerError},
        {206, 400, "bytes 400-1998/1999", std::nullopt, EngineStatus::WrongFile},  // not the signed size
        {206, 400, "bytes 400-1000/*", std::nullopt, EngineStatus::WrongFile},     // past the signed size
        {206, 0, "bytes 0-999/1000", std::nullopt, EngineStatus::ServerError},   // no Range was sent
        {416, 400, std::nullopt, std::nullopt, EngineStatus::WrongFile},
        {404, 0, std::nullopt, std::nullopt, EngineStatus::ServerError},
        {503, 400, std::nullopt, std::nullopt, EngineStatus::ServerError},
    };
    for (const auto& c : cases) {
        const auto use = CheckObjectResponse(c.status, c.offset, c.range, size);
        const std::string name = std::to_string(c.status) + " " + std::string(c.range.value_or("-"));
        ASSERT_EQ(use.Ok(), c.use.has_value()) << name;
        if (use)
            EXPECT_EQ(use.Value(), *c.use) << name;
        else
            EXPECT_EQ(use.Error().status, c.error) << name;
    }
    EXPECT_EQ(RangeHeader(400), "Range: bytes=400-");
    EXPECT_TRUE(CheckManifestResponse(200));
    EXPECT_EQ(CheckManifestResponse(500).Error().status, EngineStatus::ServerError);
}

TEST(EngineCoreTransfer, ContentRangeForms) {
    EXPECT_EQ(ParseContentRange("bytes 0-0/1")->length, 1u);
    EXPECT_EQ(ParseContentRange("bytes 5-9/*")->length, std::nullopt);
    for (const char* bad : {"bytes 9-5/10", "bytes 5-9/9", "bytes 5-/10", "bytes -9/10", "bytes 5-9", "bytes  5-9/10",
                            "bytes 05-9/10"})
        EXPECT_FALSE(ParseContentRange(bad).has_value()) << bad;
}

// A body that ends before the object does: broken off, unless the server
// delivered all it announced (then its object is not the signed one).
TEST(EngineCoreTransfer, ShortBodiesAreBrokenOffOrTheWrongObject) {
    EXPECT_EQ(ShortBody(100, 1000, 1000).status, EngineStatus::TransferBroken);
    EXPECT_EQ(ShortBody(100, 1000, std::nullopt).status, EngineStatus::TransferBroken);
    EXPECT_EQ(ShortBody(500, 1000, 500).status, EngineStatus::WrongFile);
}

TEST(EngineCoreTransfer, ByteCountsClampToThe32BitVariables) {
    EXPECT_EQ(ClampedByteCount(0), 0);
    EXPECT_EQ(ClampedByteCount(2147483647u), 2147483647);
    EXPECT_EQ(ClampedByteCount(2147483648u), 2147483647);
    EXPECT_EQ(ClampedByteCount(std::uint64_t{1} << 40), 2147483647);

    alignas(4) std::int32_t counts[2] = {};
    alignas(2) std::int16_t status[2] = {};
    EXPECT_TRUE(StatusWriter::CanWrite(&status[0], &counts[0], &counts[1]));
    EXPECT_FALSE(StatusWriter::CanWrite(nullptr, &counts[0], &counts[1]));
    const auto* misaligned = reinterpret_cast<std::int32_t*>(reinterpret_cast<char*>(&counts[0]) + 1);
    EXPECT_FALSE(StatusWriter::CanWrite(&status[0], misaligned, &counts[1]));

    const StatusWriter writer(&status[0], &counts[0], &counts[1]);
    writer.Status(EngineStatus::TransferBroken);
    writer.Total(std::uint64_t{5} << 32);
    writer.Done(1234);
    EXPECT_EQ(status[0], -6);
    EXPECT_EQ(counts[1], 2147483647);
    EXPECT_EQ(counts[0], 1234);
}

}  // namespace
}  // namespace velmora::engine
