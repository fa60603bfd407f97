#pragma once
// A file of the server (the head or manifest at the data URL, a stored
// manifest), capped in size: into memory, or piece by piece to a taker.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "core/cancel_flag.h"
#include "core/engine_status.h"
#include "internet_session_win.h"

namespace velmora::engine {

// The bytes at `path`, given to `take` as they come; how many there were.
// -1..-4 no connection, -5 an HTTP error, -6 a body cut short, -9 more
// than `maxBytes` (announced or sent); `take`'s own failure as it gives it.
Result<std::uint64_t> FetchInto(const std::shared_ptr<const InternetSession>& session, const std::string& path,
                                std::uint64_t maxBytes, const CancelFlag& cancel,
                                const std::function<Result<void>(std::span<const std::uint8_t>)>& take);

// FetchInto, into memory.
Result<std::string> FetchText(const std::shared_ptr<const InternetSession>& session, const std::string& path,
                              std::uint64_t maxBytes, const CancelFlag& cancel);

}  // namespace velmora::engine
