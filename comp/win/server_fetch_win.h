#pragma once
// The two downloads of a run: the server's manifest into memory, capped in
// size, and an object into its partial file in the staging folder, resumed
// where an earlier run stopped and stopped at the object's signed size.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "cancel_flag.h"
#include "core/engine_status.h"
#include "internet_session_win.h"
#include "object_check_win.h"

namespace velmora::engine {

// The manifest's bytes: -1..-4 no connection, -5 an HTTP error, -6 a body
// cut short, -9 more than kMaxManifestBytes.
Result<std::string> FetchManifest(const std::shared_ptr<const InternetSession>& session, const CancelFlag& cancel);

struct ObjectDownload {
    std::string object;          // name under objects/
    std::uint64_t storedSize = 0;
    std::wstring partPath;       // staging\<object>.part
    std::uint64_t begun = 0;     // bytes an earlier run left in it
};

// Hooks into the run's progress: `Received` after every piece written,
// `Restarted` when the server ignored the Range request, or answered it
// with a range that is not the rest of the object, and the partial file's
// bytes must come again (the run raises its total by that many).
struct DownloadProgress {
    std::function<void(std::uint64_t bytes)> Received;
    std::function<void(std::uint64_t bytes)> Restarted;
};

// Brings the partial file to the object's stored size and checks the
// object on the way (object_check_win.h): asks for the rest with a Range
// request (a 206 whose Content-Range runs to the end of the signed object
// continues the file, a 200 starts it over, any other 206 makes it ask
// again for the whole object), writes each piece, flushes, and finishes the
// check.
// Errors: the network's, -5
// for an HTTP error, -6 when the body broke off, -7 when the server's object
// is not the signed one (the caller discards it then).
Result<void> DownloadObject(const std::shared_ptr<const InternetSession>& session, const ObjectDownload& download,
                            ObjectCheck& check, const DownloadProgress& progress, const CancelFlag& cancel);

}  // namespace velmora::engine
