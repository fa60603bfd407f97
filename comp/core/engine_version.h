#pragma once
// The version of this engine, compared with a manifest's `min-updater`. Raise
// it when the engine learns something an older one cannot handle, and have
// the publishing tool's --min-updater follow.
#include <cstdint>

namespace velmora::engine {

inline constexpr std::uint64_t kEngineVersion = 1;

}  // namespace velmora::engine
