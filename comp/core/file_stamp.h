#pragma once
// What the file system says of a file without reading it: its size and the
// time it was last written. A file whose stamp is the one the engine saw
// when it placed (or last hashed) it still holds that content; any write
// moves its last-write time.
#include <cstdint>

namespace velmora::engine {

struct FileStamp {
    std::uint64_t size = 0;
    // In 100 ns ticks since 1601-01-01 UTC, as Windows keeps it; 0 when not
    // known, which matches no file.
    std::uint64_t lastWrite = 0;

    bool Known() const { return lastWrite != 0; }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

}  // namespace velmora::engine
