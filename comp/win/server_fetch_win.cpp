#include "server_fetch_win.h"

#include "winsupport/owners_win.h"
#include "core/manifest.h"
#include "file_ops_win.h"
#include "http_get_win.h"
#include "object_check_win.h"
#include "system_text_win.h"
#include "core/transfer_rules.h"

namespace velmora::engine {

Result<std::string> FetchManifest(const std::shared_ptr<const InternetSession>& session, const CancelFlag& cancel) {
    HttpGet get(session, session->Url().manifestPath, 0, kMaxManifestBytes + 1);
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

namespace {

struct ObjectAnswer {
    std::unique_ptr<HttpGet> get;
    ResponseHead head;
};

// Requests the object from `offset` and returns the answer to read, with
// `offset` set to where its body goes in the partial file. An answer that is
// not the rest of the signed object is dropped and the object asked for
// again without a Range header; that request cannot be answered with a 206,
// so it is the last.
Result<ObjectAnswer> RequestObject(const std::shared_ptr<const InternetSession>& session,
                                   const ObjectDownload& download, std::uint64_t& offset,
                                   const DownloadProgress& progress, const CancelFlag& cancel) {
    for (;;) {
        auto get = std::make_unique<HttpGet>(session, ObjectPath(session->Url(), download.object), offset,
                                             download.storedSize);
        auto head = get->Head(cancel);
        if (!head) return head.Error();
        auto use = CheckObjectResponse(head.Value().status, offset, head.Value().contentRange, download.storedSize);
        if (!use) return use.Error();
        if (use.Value() != ResponseUse::Resume && offset > 0) {
            progress.Restarted(offset);
            offset = 0;
        }
        if (use.Value() != ResponseUse::Restart) return ObjectAnswer{std::move(get), std::move(head).Value()};
    }
}

}  // namespace

Result<void> DownloadObject(const std::shared_ptr<const InternetSession>& session, const ObjectDownload& download,
                            ObjectCheck& check, const DownloadProgress& progress, const CancelFlag& cancel) {
    // A partial file as long as the object or longer is of no use here: it
    // is rewritten (the run checks a complete one with MakeReady instead).
    std::uint64_t offset = download.begun < download.storedSize ? download.begun : 0;
    auto answer = RequestObject(session, download, offset, progress, cancel);
    if (!answer) return answer.Error();
    HttpGet& get = *answer.Value().get;
    const ResponseHead& head = answer.Value().head;

    UniqueFileHandle part(::CreateFileW(download.partPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        offset > 0 ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!part) return LocalFileError("cannot open", download.partPath);
    if (auto started = check.Start(); !started) return started;
    // The bytes an earlier run got are checked before the rest is appended.
    if (auto fed = FeedFromFile(check, part.get(), offset, download.partPath, cancel); !fed) return fed;
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(part.get(), position, nullptr, FILE_BEGIN) || !::SetEndOfFile(part.get()))
        return LocalFileError("cannot position in", download.partPath);

    const std::uint64_t wanted = download.storedSize - offset;
    std::uint64_t received = 0;
    while (received < wanted) {
        auto piece = get.NextPiece(cancel);
        if (!piece) return piece.Error();
        std::span<const std::uint8_t> bytes = piece.Value();
        if (bytes.empty()) return ShortBody(received, wanted, head.contentLength);
        if (bytes.size() > wanted - received) bytes = bytes.first(static_cast<std::size_t>(wanted - received));
        DWORD written = 0;
        if (!::WriteFile(part.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size())
            return LocalFileError("cannot write", download.partPath);
        received += bytes.size();
        progress.Received(bytes.size());
        if (auto fed = check.Feed(bytes); !fed) return fed;
    }
    if (!::FlushFileBuffers(part.get())) return LocalFileError("cannot flush", download.partPath);
    part.reset();
    return check.Finish();
}

}  // namespace velmora::engine
