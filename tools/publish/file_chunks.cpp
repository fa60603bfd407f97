#include "file_chunks.h"

#include <fstream>
#include <vector>

#include "core/chunker.h"
#include "file_digest.h"
#include "publish_error.h"

namespace velmora::publish {

FileContent CutFile(const std::filesystem::path& file,
                    const std::function<void(std::span<const std::uint8_t>)>& onChunk) {
    constexpr std::size_t kReadSize = 1 << 20;
    std::ifstream input(file, std::ios::binary);
    if (!input) throw PublishError("cannot read " + file.string());
    engine::ChunkCutter cutter;
    Sha256Stream whole;
    FileContent content;
    // The bytes read but not yet handed out as a chunk: the unfinished
    // chunk (under kMaxChunkSize) and the latest piece.
    std::vector<std::uint8_t> pending;
    std::vector<std::uint8_t> piece(kReadSize);
    const auto handOut = [&](std::size_t& start, std::uint64_t length) {
        onChunk(std::span<const std::uint8_t>(pending).subspan(start, static_cast<std::size_t>(length)));
        start += static_cast<std::size_t>(length);
    };
    while (input) {
        input.read(reinterpret_cast<char*>(piece.data()), static_cast<std::streamsize>(piece.size()));
        const auto got = static_cast<std::size_t>(input.gcount());
        if (got == 0) break;
        const std::span<const std::uint8_t> bytes(piece.data(), got);
        whole.Add(bytes.data(), bytes.size());
        content.size += got;
        pending.insert(pending.end(), bytes.begin(), bytes.end());
        std::size_t start = 0;
        for (const std::uint64_t length : cutter.Feed(bytes)) handOut(start, length);
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(start));
    }
    if (input.bad()) throw PublishError("cannot read " + file.string());
    std::size_t start = 0;
    if (const auto last = cutter.Finish()) handOut(start, *last);
    content.sha256 = whole.Finish();
    return content;
}

}  // namespace velmora::publish
