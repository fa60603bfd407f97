#include "pack_writer.h"

#include "publish_error.h"
#include "server_folder.h"

namespace velmora::publish {

namespace fs = std::filesystem;

// The open pack has no name yet: its name is the digest of all its bytes.
fs::path PackWriter::OpenFile() const { return folder_ / kPacksFolderName / ".open-pack"; }

PackWriter::Place PackWriter::Append(std::span<const std::uint8_t> stored) {
    if (!digest_) {
        output_ = std::ofstream(OpenFile(), std::ios::binary | std::ios::trunc);
        if (!output_) throw PublishError("cannot create " + OpenFile().string());
        digest_.emplace();
        size_ = 0;
    }
    const Place place{closed_.size(), size_};
    output_.write(reinterpret_cast<const char*>(stored.data()), static_cast<std::streamsize>(stored.size()));
    if (!output_) throw PublishError("cannot write " + OpenFile().string());
    digest_->Add(stored.data(), stored.size());
    size_ += stored.size();
    if (size_ >= kPackCloseSize) Close();
    return place;
}

void PackWriter::Close() {
    output_.close();
    if (!output_) throw PublishError("cannot write " + OpenFile().string());
    const engine::ManifestPack pack{digest_->Finish(), size_};
    digest_.reset();
    fs::rename(OpenFile(), PackFile(folder_, pack.name));
    closed_.push_back(pack);
}

std::vector<engine::ManifestPack> PackWriter::Finish() {
    if (digest_) Close();
    return closed_;
}

}  // namespace velmora::publish
