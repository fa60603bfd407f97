#pragma once
// The server's manifest into memory, capped in size.
#include <memory>
#include <string>

#include "core/cancel_flag.h"
#include "core/engine_status.h"
#include "internet_session_win.h"

namespace velmora::engine {

// The manifest's bytes: -1..-4 no connection, -5 an HTTP error, -6 a body
// cut short, -9 more than kMaxManifestBytes.
Result<std::string> FetchManifest(const std::shared_ptr<const InternetSession>& session, const CancelFlag& cancel);

}  // namespace velmora::engine
