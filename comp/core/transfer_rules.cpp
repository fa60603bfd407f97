#include "core/transfer_rules.h"

#include "core/decimal.h"

namespace velmora::engine {
namespace {

// WinINet's numbers (wininet.h) and Winsock's (winsock2.h), spelled out so
// that this file needs neither header.
constexpr std::uint32_t kInternetTimeout = 12002;
constexpr std::uint32_t kInternetNameNotResolved = 12007;
constexpr std::uint32_t kInternetCannotConnect = 12029;
constexpr std::uint32_t kInternetConnectionAborted = 12030;
constexpr std::uint32_t kInternetConnectionReset = 12031;
constexpr std::uint32_t kWsaConnectionAborted = 10053;
constexpr std::uint32_t kWsaConnectionReset = 10054;
constexpr std::uint32_t kWsaTimedOut = 10060;
constexpr std::uint32_t kWsaConnectionRefused = 10061;
constexpr std::uint32_t kWsaHostNotFound = 11001;
constexpr std::uint32_t kWsaNoData = 11004;

std::string Number(std::uint64_t n) { return std::to_string(n); }

}  // namespace

EngineStatus StatusForNetworkError(std::uint32_t error, TransferPhase phase) {
    switch (error) {
        case kInternetNameNotResolved:
        case kWsaHostNotFound:
        case kWsaNoData:
            return EngineStatus::HostNotResolved;
        case kInternetCannotConnect:
        case kWsaConnectionRefused:
            return EngineStatus::ConnectionRefused;
        case kInternetTimeout:
        case kWsaTimedOut:
            return EngineStatus::TimedOut;
        case kInternetConnectionAborted:
        case kInternetConnectionReset:
        case kWsaConnectionAborted:
        case kWsaConnectionReset:
        default:
            return phase == TransferPhase::Connecting ? EngineStatus::ConnectionFailed
                                                      : EngineStatus::TransferBroken;
    }
}

EngineStatus StatusForNetworkError(std::uint32_t error, TransferPhase phase, std::chrono::milliseconds waited,
                                   std::chrono::milliseconds timeout) {
    // A margin for the clocks: the system's timer and ours need not tick
    // together.
    if (error == kInternetConnectionAborted && waited + std::chrono::milliseconds(500) >= timeout)
        return EngineStatus::TimedOut;
    return StatusForNetworkError(error, phase);
}

std::optional<ContentRange> ParseContentRange(std::string_view text) {
    constexpr std::string_view unit = "bytes ";
    if (!text.starts_with(unit)) return std::nullopt;
    text.remove_prefix(unit.size());
    const std::size_t dash = text.find('-');
    const std::size_t slash = text.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash)
        return std::nullopt;
    const auto first = ParseDecimal(text.substr(0, dash));
    const auto last = ParseDecimal(text.substr(dash + 1, slash - dash - 1));
    if (!first || !last || *last < *first) return std::nullopt;
    ContentRange range{*first, *last, std::nullopt};
    const std::string_view length = text.substr(slash + 1);
    if (length != "*") {
        const auto total = ParseDecimal(length);
        if (!total || *total <= *last) return std::nullopt;
        range.length = *total;
    }
    return range;
}

std::string RangeHeader(std::uint64_t first, std::uint64_t last) {
    return "Range: bytes=" + Number(first) + "-" + Number(last);
}

Result<PackAnswer> CheckPackResponse(unsigned httpStatus, std::optional<std::string_view> contentRange,
                                     std::uint64_t first, std::uint64_t last, std::uint64_t packSize) {
    if (httpStatus == 200) return PackAnswer::WholePack;
    if (httpStatus == 206) {
        const std::optional<ContentRange> range = contentRange ? ParseContentRange(*contentRange) : std::nullopt;
        const bool asked = range && range->first == first && range->last == last;
        const bool signedTotal = range && (!range->length || *range->length == packSize);
        return asked && signedTotal ? PackAnswer::AskedRange : PackAnswer::AskWhole;
    }
    if (httpStatus == 416)
        return EngineError{EngineStatus::WrongFile, "server pack is shorter than its signed " + Number(packSize) +
                                                        " bytes"};
    return EngineError{EngineStatus::ServerError, "HTTP status " + Number(httpStatus)};
}

Result<void> CheckManifestResponse(unsigned httpStatus) {
    if (httpStatus == 200) return {};
    return EngineError{EngineStatus::ServerError, "HTTP status " + Number(httpStatus) + " for the manifest"};
}

EngineError ShortBody(std::uint64_t received, std::uint64_t wanted, std::optional<std::uint64_t> announced) {
    const std::string counts = Number(received) + " of " + Number(wanted) + " bytes";
    if (announced && received >= *announced)
        return {EngineStatus::WrongFile, "server sent a complete body of " + counts};
    return {EngineStatus::TransferBroken, "connection ended after " + counts};
}

}  // namespace velmora::engine
