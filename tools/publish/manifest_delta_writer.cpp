#include "manifest_delta_writer.h"

#include <algorithm>
#include <span>
#include <unordered_map>

#include "core/hex.h"
#include "core/inflate_stream.h"
#include "core/manifest_delta.h"
#include "file_digest.h"
#include "file_io.h"
#include "publish_error.h"
#include "stored_manifest.h"

namespace velmora::publish {

namespace fs = std::filesystem;

namespace {

// The line of `text` that starts at `at`, its newline included.
std::string_view LineAt(std::string_view text, std::size_t at) {
    const std::size_t newline = text.find('\n', at);
    return text.substr(at, newline == std::string_view::npos ? std::string_view::npos : newline + 1 - at);
}

// How many bytes of whole lines the two texts share from their starts (a
// last line without a newline counts whole where the new text ends).
std::size_t CommonLines(std::string_view oldRest, std::string_view newRest) {
    const auto [differs, ignored] = std::mismatch(newRest.begin(), newRest.end(), oldRest.begin(), oldRest.end());
    const auto same = static_cast<std::size_t>(differs - newRest.begin());
    if (same == newRest.size()) return same;
    const std::size_t lastNewline = newRest.substr(0, same).rfind('\n');
    return lastNewline == std::string_view::npos ? 0 : lastNewline + 1;
}

void AppendAdd(std::string& delta, std::string_view literal) {
    if (literal.empty()) return;
    delta += "add " + std::to_string(literal.size()) + "\n";
    delta += literal;
}

}  // namespace

fs::path ManifestDeltaFile(const fs::path& folder, const engine::Sha256Digest& newSha256,
                           const engine::Sha256Digest& oldSha256) {
    return folder / kDeltasFolderName / engine::ToHex(newSha256) / engine::ToHex(oldSha256);
}

std::string ManifestDeltaText(std::string_view oldText, std::string_view newText) {
    std::unordered_map<std::string_view, std::size_t> firstAt;
    for (std::size_t at = 0; at < oldText.size();) {
        const std::string_view line = LineAt(oldText, at);
        firstAt.try_emplace(line, at);
        at += line.size();
    }
    std::string delta(engine::kManifestDeltaFirstLine);
    std::size_t literalStart = 0, afterLastCopy = 0;
    for (std::size_t at = 0; at < newText.size();) {
        const std::string_view line = LineAt(newText, at);
        // The old text's next line first, so that a run goes on where the
        // last one stopped; else the line's first place in the old text.
        std::size_t from = afterLastCopy;
        if (!oldText.substr(from).starts_with(line)) {
            const auto found = firstAt.find(line);
            if (found == firstAt.end()) {
                at += line.size();
                continue;
            }
            from = found->second;
        }
        const std::size_t length = CommonLines(oldText.substr(from), newText.substr(at));
        AppendAdd(delta, newText.substr(literalStart, at - literalStart));
        delta += "copy " + std::to_string(from) + " " + std::to_string(length) + "\n";
        at += length;
        literalStart = at;
        afterLastCopy = from + length;
    }
    AppendAdd(delta, newText.substr(literalStart));
    return delta;
}

bool StoreManifestDelta(const fs::path& folder, std::string_view oldText, std::string_view newText,
                        const engine::ManifestHead& head) {
    const std::string text = ManifestDeltaText(oldText, newText);
    if (text.size() > engine::ManifestDeltaLimit(newText.size())) return false;
    const std::string stored = Compressed(text);
    if (stored.size() >= head.storedSize) return false;

    std::string problem;
    if (AppliedManifestDelta(stored, oldText, newText.size(), problem) != newText)
        throw PublishError("the manifest delta does not give the manifest it was made for" +
                           (problem.empty() ? std::string() : ": " + problem));

    const fs::path file = ManifestDeltaFile(folder, head.manifestSha256, Sha256Of(oldText));
    fs::create_directories(file.parent_path());
    WriteNewFile(file, stored, 0644);
    return true;
}

std::optional<std::string> AppliedManifestDelta(std::string_view stored, std::string_view oldText,
                                                std::uint64_t newSize, std::string& problem) {
    std::string applied;
    engine::ManifestDeltaApplier applier(oldText, newSize, [&applied](std::string_view piece) {
        applied += piece;
        return engine::Result<void>();
    });
    engine::InflateStream inflate(
        engine::ManifestDeltaLimit(newSize),
        [&applier](std::span<const std::uint8_t> piece) {
            return applier.Feed({reinterpret_cast<const char*>(piece.data()), piece.size()});
        },
        engine::InflateStream::Size::AtMost);
    auto fed = inflate.Feed({reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size()});
    if (fed) fed = inflate.Finish();
    if (fed) fed = applier.Finish();
    if (!fed) {
        problem = fed.Error().reason;
        return std::nullopt;
    }
    return applied;
}

}  // namespace velmora::publish
