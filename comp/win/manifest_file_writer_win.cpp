#include "manifest_file_writer_win.h"

#include "file_ops_win.h"

namespace velmora::engine {

Result<ManifestFileWriter> ManifestFileWriter::Create(const std::wstring& path) {
    auto file = CreateForWriting(path);
    if (!file) return file.Error();
    return ManifestFileWriter(path, std::move(file).Value());
}

Result<void> ManifestFileWriter::Write(std::string_view bytes) {
    return Write(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

Result<void> ManifestFileWriter::Write(std::span<const std::uint8_t> bytes) {
    if (auto written = WriteAt(file_.get(), path_, written_, bytes); !written) return written;
    written_ += bytes.size();
    return hash_.Update(bytes);
}

Result<Sha256Digest> ManifestFileWriter::Finish() {
    if (auto flushed = Flush(file_.get(), path_); !flushed) return flushed.Error();
    return hash_.Finish();
}

}  // namespace velmora::engine
