#pragma once
// A text of the server (the head or manifest at the data URL, a stored
// manifest) into memory, capped in size.
#include <cstdint>
#include <memory>
#include <string>

#include "core/cancel_flag.h"
#include "core/engine_status.h"
#include "internet_session_win.h"

namespace velmora::engine {

// The bytes at `path`: -1..-4 no connection, -5 an HTTP error, -6 a body
// cut short, -9 more than `maxBytes` (announced or sent).
Result<std::string> FetchText(const std::shared_ptr<const InternetSession>& session, const std::string& path,
                              std::uint64_t maxBytes, const CancelFlag& cancel);

}  // namespace velmora::engine
