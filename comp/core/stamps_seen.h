#pragma once
// The disk as seen once: the stamps of a set of paths, asked of the file
// system a single time and then answered from memory, so that a run with
// nothing to do asks about each file once however many steps look at it.
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/file_stamp.h"
#include "core/manifest.h"
#include "core/update_plan.h"

namespace velmora::engine {

class StampsSeen final : public InstalledFiles {
public:
    // Asks `disk` for the stamp of each of `files`' paths now; `disk` answers
    // for any other path, each time it is asked. `files` must outlive this:
    // the paths are looked up in it, by their bytes as given.
    StampsSeen(std::span<const ManifestFile> files, const InstalledFiles& disk);

    std::optional<std::uint64_t> FileSize(std::string_view path) const override;
    std::optional<FileStamp> Stamp(std::string_view path) const override;

private:
    // What the disk said of one path in 16 bytes: its stamp, or a last-write
    // time Windows never gives (it keeps none at or above 2^63) when there
    // was no file.
    struct Seen {
        static constexpr std::uint64_t kNoFile = std::numeric_limits<std::uint64_t>::max();
        FileStamp stamp{0, kNoFile};
        bool Present() const { return stamp.lastWrite != kNoFile; }
    };

    // The position in files_ of the first file at `path`, or nothing.
    std::optional<std::uint32_t> Find(std::string_view path) const;
    // The slot that holds `path`'s position, or the empty one where it goes.
    std::size_t Probe(std::string_view path) const;

    static constexpr std::uint32_t kEmpty = std::numeric_limits<std::uint32_t>::max();

    std::span<const ManifestFile> files_;
    const InstalledFiles& disk_;
    std::vector<Seen> seen_;  // by position in files_
    // Positions in files_ by the hash of the path, two thirds full; kEmpty
    // where none. Above each position (positionBits_ wide) lie further bits
    // of its path's hash, so that a probe compares few other paths.
    std::vector<std::uint32_t> slots_;
    unsigned positionBits_ = 1;
};

}  // namespace velmora::engine
