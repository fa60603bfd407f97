#include "local_manifest_win.h"

#include "core/manifest_parse.h"
#include "file_ops_win.h"
#include "signature_win.h"

namespace velmora::engine {

std::optional<ManifestText> ReadLocalManifest(const std::wstring& path) {
    std::optional<std::string> bytes = ReadFileUpTo(path, kMaxManifestBytes);
    if (!bytes) return std::nullopt;
    auto parsed = ParseSignedManifest(*bytes, VerifyManifestSignature);
    if (!parsed) return std::nullopt;
    return ManifestText{std::move(*bytes), std::move(parsed).Value()};
}

Result<void> WriteLocalManifest(const std::wstring& path, const std::wstring& scratch, const std::string& bytes) {
    if (auto written = WriteFileFlushed(scratch, bytes); !written) return written;
    return ReplaceWith(scratch, path);
}

}  // namespace velmora::engine
