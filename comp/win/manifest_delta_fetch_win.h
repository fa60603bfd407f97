#pragma once
// The manifest a head names, made from the local manifest and the delta
// from it (core/manifest_delta.h) when the server holds one: for an update
// that changes a few lines, a fraction of the whole manifest's bytes.
#include <memory>
#include <optional>
#include <string>

#include "core/cancel_flag.h"
#include "core/engine_status.h"
#include "core/manifest_head.h"
#include "internet_session_win.h"
#include "local_manifest_win.h"

namespace velmora::engine {

// The manifest `head` names, made from the local manifest's text and the
// delta from it at deltas/<head's SHA-256>/<local SHA-256>, into `file`:
// once it is exactly the head's size and SHA-256, it is the very text the
// whole manifest would be, and goes through the same checks (its signature
// before anything else of it is read, then the head's agreement), whose
// failures are errors as they would be for the whole manifest. Nothing
// when the server has no such delta (an HTTP error answer) or the delta
// fails (more bytes than the stored manifest, a damaged stream, a delta
// that reaches outside the local text or gives another text): the caller
// then fetches the whole manifest into `file`, so a bad delta costs one
// request and changes nothing. A stop, a connection that fails and trouble
// on this machine end it as they would end the whole manifest's fetch.
Result<std::optional<ManifestText>> ManifestFromDelta(const std::shared_ptr<const InternetSession>& session,
                                                      const ManifestHead& head, const ManifestText& local,
                                                      const std::wstring& file, const CancelFlag& cancel);

}  // namespace velmora::engine
