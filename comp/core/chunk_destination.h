#pragma once
// Where the fetched chunks go. Each worker of a download takes a writer of
// its own when it begins and gives it every chunk it fetches, so writers
// need no lock between them (a writer may keep the file it last wrote open
// for the next chunk).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "core/engine_status.h"

namespace velmora::engine {

class ChunkDestination {
public:
    virtual ~ChunkDestination() = default;
    // Writes chunk number `chunk` (an index into the needed chunks), whose
    // content has been checked against its SHA-256.
    virtual Result<void> Write(std::size_t chunk, std::span<const std::uint8_t> content) = 0;
};

class ChunkDestinations {
public:
    // A writer for one worker, called on that worker's thread.
    virtual std::unique_ptr<ChunkDestination> NewWriter() const = 0;

protected:
    ~ChunkDestinations() = default;
};

}  // namespace velmora::engine
