#include "server_fetch_win.h"

#include "core/manifest.h"
#include "http_get_win.h"
#include "core/transfer_rules.h"

namespace velmora::engine {

Result<std::string> FetchManifest(const std::shared_ptr<const InternetSession>& session, const CancelFlag& cancel) {
    HttpGet get(session, session->Url().manifestPath, std::nullopt, kMaxManifestBytes + 1);
    auto head = get.Head(cancel);
    if (!head) return head.Error();
    if (auto answered = CheckManifestResponse(head.Value().status); !answered) return answered.Error();
    const std::optional<std::uint64_t> announced = head.Value().contentLength;
    if (announced && *announced > kMaxManifestBytes)
        return InvalidFormat("server manifest announces " + std::to_string(*announced) + " bytes, over the limit");

    std::string bytes;
    for (;;) {
        auto piece = get.NextPiece(cancel);
        if (!piece) return piece.Error();
        if (piece.Value().empty()) break;
        bytes.append(reinterpret_cast<const char*>(piece.Value().data()), piece.Value().size());
        if (bytes.size() > kMaxManifestBytes) return InvalidFormat("server manifest is larger than the limit");
    }
    if (announced && bytes.size() < *announced) return ShortBody(bytes.size(), *announced, announced);
    return bytes;
}

}  // namespace velmora::engine
