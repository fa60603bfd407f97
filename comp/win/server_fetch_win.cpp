#include "server_fetch_win.h"

#include "core/transfer_rules.h"
#include "http_get_win.h"

namespace velmora::engine {

Result<std::string> FetchText(const std::shared_ptr<const InternetSession>& session, const std::string& path,
                              std::uint64_t maxBytes, const CancelFlag& cancel) {
    HttpGet get(session, path, std::nullopt, maxBytes + 1);
    auto head = get.Head(cancel);
    if (!head) return head.Error();
    if (auto answered = CheckManifestResponse(head.Value().status); !answered) return answered.Error();
    const std::optional<std::uint64_t> announced = head.Value().contentLength;
    if (announced && *announced > maxBytes)
        return InvalidFormat(path + " announces " + std::to_string(*announced) + " bytes, over its limit of " +
                             std::to_string(maxBytes));

    std::string bytes;
    for (;;) {
        auto piece = get.NextPiece(cancel);
        if (!piece) return piece.Error();
        if (piece.Value().empty()) break;
        bytes.append(reinterpret_cast<const char*>(piece.Value().data()), piece.Value().size());
        if (bytes.size() > maxBytes)
            return InvalidFormat(path + " is larger than its limit of " + std::to_string(maxBytes) + " bytes");
    }
    if (announced && bytes.size() < *announced) return ShortBody(bytes.size(), *announced, announced);
    return bytes;
}

}  // namespace velmora::engine
