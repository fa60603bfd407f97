#include "pack_reader.h"

#include "chunk_codec.h"
#include "core/hex.h"
#include "publish_error.h"
#include "server_folder.h"

namespace velmora::publish {

std::optional<std::vector<std::uint8_t>> PackReader::Read(const engine::ManifestPack& pack,
                                                          const engine::ManifestChunk& chunk) {
    const std::filesystem::path file = PackFile(folder_, pack.name);
    if (openPack_ != pack.name) {
        openPack_.reset();
        input_ = std::ifstream(file, std::ios::binary);
        if (!input_) throw PublishError("cannot read pack " + file.string());
        openPack_ = pack.name;
    }
    std::vector<std::uint8_t> stored(chunk.storedSize);
    input_.seekg(static_cast<std::streamoff>(chunk.Offset()));
    input_.read(reinterpret_cast<char*>(stored.data()), static_cast<std::streamsize>(stored.size()));
    if (!input_) {
        openPack_.reset();  // the stream is spent; open it again next time
        throw PublishError("pack " + file.string() + " ends before the chunk " + engine::ToHex(chunk.sha256) +
                           " at " + std::to_string(chunk.Offset()) + " (" + std::to_string(chunk.storedSize) +
                           " bytes)");
    }
    return ChunkContent(stored, chunk.size);
}

}  // namespace velmora::publish
