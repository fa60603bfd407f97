#include "server_fetch_win.h"

#include "core/transfer_rules.h"
#include "http_get_win.h"

namespace velmora::engine {

Result<std::uint64_t> FetchInto(const std::shared_ptr<const InternetSession>& session, const std::string& path,
                                std::uint64_t maxBytes, const CancelFlag& cancel,
                                const std::function<Result<void>(std::span<const std::uint8_t>)>& take) {
    HttpGet get(session, path, std::nullopt, maxBytes + 1);
    auto head = get.Head(cancel);
    if (!head) return head.Error();
    if (auto answered = CheckManifestResponse(head.Value().status); !answered) return answered.Error();
    const std::optional<std::uint64_t> announced = head.Value().contentLength;
    if (announced && *announced > maxBytes)
        return InvalidFormat(path + " announces " + std::to_string(*announced) + " bytes, over its limit of " +
                             std::to_string(maxBytes));

    std::uint64_t received = 0;
    for (;;) {
        auto piece = get.NextPiece(cancel);
        if (!piece) return piece.Error();
        if (piece.Value().empty()) break;
        received += piece.Value().size();
        if (received > maxBytes)
            return InvalidFormat(path + " is larger than its limit of " + std::to_string(maxBytes) + " bytes");
        if (auto taken = take(piece.Value()); !taken) return taken.Error();
    }
    if (announced && received < *announced) return ShortBody(received, *announced, announced);
    return received;
}

Result<std::string> FetchText(const std::shared_ptr<const InternetSession>& session, const std::string& path,
                              std::uint64_t maxBytes, const CancelFlag& cancel) {
    std::string bytes;
    auto fetched = FetchInto(session, path, maxBytes, cancel, [&bytes](std::span<const std::uint8_t> piece) {
        bytes.append(reinterpret_cast<const char*>(piece.data()), piece.size());
        return Result<void>();
    });
    if (!fetched) return fetched.Error();
    return bytes;
}

}  // namespace velmora::engine
