#include "local_manifest_win.h"

#include "core/manifest_parse.h"
#include "file_ops_win.h"
#include "signature_win.h"

namespace velmora::engine {

Result<ManifestText> ParseTrustedManifest(std::string bytes) {
    ManifestSigner signer;
    const auto check = [&signer](std::string_view signedPart, const ManifestSignature& signature) -> Result<void> {
        auto found = CheckManifestSignature(signedPart, signature);
        if (!found) return found.Error();
        signer = found.Value();
        return {};
    };
    auto parsed = ParseSignedManifest(bytes, check);
    if (!parsed) return parsed.Error();
    return ManifestText{std::move(bytes), std::move(parsed).Value(), signer};
}

std::optional<ManifestText> ReadLocalManifest(const std::wstring& path) {
    std::optional<std::string> bytes = ReadFileUpTo(path, kMaxManifestBytes);
    if (!bytes) return std::nullopt;
    auto text = ParseTrustedManifest(std::move(*bytes));
    if (!text) return std::nullopt;
    return std::move(text).Value();
}

Result<void> WriteLocalManifest(const std::wstring& path, const std::wstring& scratch, const std::string& bytes) {
    if (auto written = WriteFileFlushed(scratch, bytes); !written) return written;
    return ReplaceWith(scratch, path);
}

}  // namespace velmora::engine
