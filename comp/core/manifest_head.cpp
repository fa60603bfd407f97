#include "core/manifest_head.h"

#include <array>
#include <optional>

#include "core/decimal.h"
#include "core/hex.h"
#include "core/utc_time.h"

namespace velmora::engine {
namespace {

constexpr std::string_view kFormatWord = "VELHEAD";
constexpr std::array<std::string_view, 5> kLineWords = {kFormatWord, "version", "expires", "min-updater",
                                                        "manifest"};

EngineError HeadError(std::size_t line, const std::string& problem) {
    return InvalidFormat("head line " + std::to_string(line) + ": " + problem);
}

// Splits the value off a line "<word> <value>": nothing unless the line
// starts with the word and one blank.
std::optional<std::string_view> ValueOf(std::string_view line, std::string_view word) {
    if (line.size() <= word.size() || !line.starts_with(word) || line[word.size()] != ' ') return std::nullopt;
    return line.substr(word.size() + 1);
}

// The next blank-separated field of `rest`, taken off it; the last one has
// no blank after it.
std::optional<std::string_view> TakeField(std::string_view& rest, bool last) {
    const std::size_t blank = rest.find(' ');
    if ((blank == std::string_view::npos) != last) return std::nullopt;
    const std::string_view field = rest.substr(0, blank);
    rest = last ? std::string_view() : rest.substr(blank + 1);
    if (field.empty()) return std::nullopt;
    return field;
}

std::optional<std::uint64_t> TakeSize(std::string_view& rest, bool last, std::uint64_t max) {
    const auto field = TakeField(rest, last);
    if (!field) return std::nullopt;
    const auto value = ParseDecimal(*field);
    if (!value || *value == 0 || *value > max) return std::nullopt;
    return value;
}

Result<void> ParseManifestLine(std::string_view fields, ManifestHead& head) {
    const auto digest = TakeField(fields, false);
    if (!digest || !FromHex(*digest, head.manifestSha256)) return HeadError(5, "bad manifest SHA-256");
    const auto size = TakeSize(fields, false, kMaxManifestBytes);
    if (!size) return HeadError(5, "bad manifest size");
    const auto stored = TakeSize(fields, true, kMaxStoredManifestBytes);
    if (!stored) return HeadError(5, "bad manifest stored size");
    head.manifestSize = *size;
    head.storedSize = *stored;
    return {};
}

// A decimal number of line `n` into `field`.
Result<void> ParseNumber(std::string_view value, std::size_t n, const char* what, std::uint64_t& field) {
    const auto number = ParseDecimal(value);
    if (!number) return HeadError(n, std::string("bad ") + what + " number");
    field = *number;
    return {};
}

Result<void> ParseLine(std::size_t index, std::string_view value, ManifestHead& head) {
    const std::size_t n = index + 1;
    switch (index) {
        case 0: {
            const auto format = ParseDecimal(value);
            if (!format) return HeadError(n, "bad format version");
            if (*format != kHeadFormat)
                return HeadError(n, "head format " + std::to_string(*format) + " is not known to this engine");
            return {};
        }
        case 1: return ParseNumber(value, n, "version", head.version);
        case 2: {
            const auto expires = ParseUtcTime(value);
            if (!expires) return HeadError(n, "bad expiry time (YYYY-MM-DDTHH:MM:SSZ)");
            head.expires = *expires;
            return {};
        }
        case 3: return ParseNumber(value, n, "min-updater", head.minUpdater);
        default:
            return ParseManifestLine(value, head);
    }
}

}  // namespace

bool IsHeadText(std::string_view signedPart) {
    return signedPart.starts_with(kFormatWord) && signedPart.size() > kFormatWord.size() &&
           signedPart[kFormatWord.size()] == ' ';
}

Result<ManifestHead> ParseHeadBody(std::string_view signedPart) {
    ManifestHead head;
    std::string_view rest = signedPart;
    for (std::size_t index = 0; index < kLineWords.size(); ++index) {
        const std::size_t end = rest.find('\n');
        if (end == std::string_view::npos)
            return HeadError(index + 1, "missing '" + std::string(kLineWords[index]) + "' line");
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end + 1);
        const auto value = ValueOf(line, kLineWords[index]);
        if (!value) {
            if (index == 0) return HeadError(1, "not a Velmora head");
            return HeadError(index + 1, "expected the '" + std::string(kLineWords[index]) + "' line");
        }
        if (auto parsed = ParseLine(index, *value, head); !parsed) return parsed.Error();
    }
    if (!rest.empty()) return HeadError(kLineWords.size() + 1, "text after the manifest line");
    return head;
}

std::string HeadBody(const ManifestHead& head) {
    return std::string(kFormatWord) + " " + std::to_string(kHeadFormat) + "\nversion " +
           std::to_string(head.version) + "\nexpires " + FormatUtcTime(head.expires) + "\nmin-updater " +
           std::to_string(head.minUpdater) + "\nmanifest " + ToHex(head.manifestSha256) + " " +
           std::to_string(head.manifestSize) + " " + std::to_string(head.storedSize) + "\n";
}

ManifestHead HeadFor(const Manifest& manifest, const Sha256Digest& manifestSha256, std::uint64_t manifestSize,
                     std::uint64_t storedSize) {
    return ManifestHead{manifest.version, manifest.expires, manifest.minUpdater, manifestSha256, manifestSize,
                        storedSize};
}

Result<void> CheckHeadAgrees(const ManifestHead& head, const Manifest& manifest) {
    if (head.version != manifest.version || head.expires != manifest.expires ||
        head.minUpdater != manifest.minUpdater)
        return InvalidFormat("the head names version " + std::to_string(head.version) +
                             " but its manifest is version " + std::to_string(manifest.version) +
                             " (or their expiry or min-updater differ)");
    return {};
}

}  // namespace velmora::engine
