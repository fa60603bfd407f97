#pragma once
// The rollback floor: the highest manifest this install has gone to, kept in
// a record of its own (libs\gamedata.floor) beside the local manifest, so
// that it stays when the local manifest is lost or damaged. A manifest below
// it, or of the same version with other bytes (one version signed twice with
// different content), is refused.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/engine_status.h"
#include "core/manifest.h"

namespace velmora::engine {

struct AcceptedFloor {
    std::uint64_t version = 0;
    Sha256Digest digest{};  // of the manifest's bytes, signature line included

    bool operator==(const AcceptedFloor&) const = default;
};

// "version <n>\nsha256 <hex>\n".
std::string FloorRecordText(const AcceptedFloor& floor);
// Nothing for a record that is not in that form.
std::optional<AcceptedFloor> ParseFloorRecord(std::string_view text);

// The higher of two floors; the first when both have one version.
std::optional<AcceptedFloor> HigherFloor(const std::optional<AcceptedFloor>& a, const std::optional<AcceptedFloor>& b);

// InvalidFormat (-9) when the remote manifest lies below the floor, or has
// its version with other bytes.
Result<void> CheckAgainstFloor(const std::optional<AcceptedFloor>& floor, const AcceptedFloor& remote);

}  // namespace velmora::engine
