#include "core/manifest_parse.h"

#include <array>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "core/data_url.h"
#include "core/decimal.h"
#include "core/hex.h"
#include "core/manifest_content.h"
#include "core/utc_time.h"

namespace velmora::engine {
namespace {

// The manifest's lines one at a time, with their numbers for messages.
class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}

    bool AtEnd() const { return offset_ == text_.size(); }
    std::size_t Offset() const { return offset_; }
    std::size_t Number() const { return number_; }

    // The next line without its '\n'; AtEnd() must be false. The text ends
    // in '\n' (checked first), so every line has one.
    std::string_view Next() {
        const std::size_t end = text_.find('\n', offset_);
        const std::string_view line = text_.substr(offset_, end - offset_);
        offset_ = end + 1;
        ++number_;
        return line;
    }

private:
    std::string_view text_;
    std::size_t offset_ = 0;
    std::size_t number_ = 0;
};

// Splits off the text before the first blank; the rest after it.
struct Split {
    std::string_view head;
    std::string_view rest;
    bool hadBlank;
};

Split SplitAtBlank(std::string_view text) {
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos) return {text, {}, false};
    return {text.substr(0, blank), text.substr(blank + 1), true};
}

EngineError LineError(std::size_t number, const std::string& problem) {
    return InvalidFormat("line " + std::to_string(number) + ": " + problem);
}

constexpr std::array<std::string_view, 3> kKeys = {"version", "expires", "min-updater"};

bool IsKnownKey(std::string_view word) {
    for (const auto key : kKeys)
        if (word == key) return true;
    return false;
}

Result<void> ParseHeader(Lines& lines, Manifest& manifest) {
    const Split header = SplitAtBlank(lines.Next());
    if (header.head != "VELMANIFEST" || !header.hadBlank) return LineError(1, "not a Velmora manifest");
    const auto format = ParseDecimal(header.rest);
    if (!format) return LineError(1, "bad format version");
    if (*format < kEarliestManifestFormat || *format > kManifestFormat)
        return LineError(1, "format " + std::to_string(*format) + " is not known to this engine");
    manifest.format = *format;
    return {};
}

// The key lines, exactly once each and in the order of kKeys.
Result<void> ParseKeys(Lines& lines, Manifest& manifest) {
    for (std::size_t k = 0; k < kKeys.size(); ++k) {
        const std::string expected(kKeys[k]);
        if (lines.AtEnd()) return LineError(lines.Number(), "missing key '" + expected + "'");
        const Split line = SplitAtBlank(lines.Next());
        const std::size_t n = lines.Number();
        if (line.head != kKeys[k]) {
            for (std::size_t seen = 0; seen < k; ++seen)
                if (line.head == kKeys[seen])
                    return LineError(n, "repeated key '" + std::string(line.head) + "'");
            if (IsKnownKey(line.head) || line.head == "mirror" || line.head == "pack" || line.head == "file" || line.head == "player-file" ||
                line.head == "signature")
                return LineError(n, "missing key '" + expected + "'");
            return LineError(n, "unknown key '" + std::string(line.head) + "'");
        }
        if (!line.hadBlank) return LineError(n, "key '" + expected + "' without a value");
        if (k == 0) {
            const auto version = ParseDecimal(line.rest);
            if (!version) return LineError(n, "bad version number");
            manifest.version = *version;
        } else if (k == 1) {
            const auto expires = ParseUtcTime(line.rest);
            if (!expires) return LineError(n, "bad expiry time (YYYY-MM-DDTHH:MM:SSZ)");
            manifest.expires = *expires;
        } else {
            const auto minUpdater = ParseDecimal(line.rest);
            if (!minUpdater) return LineError(n, "bad min-updater number");
            manifest.minUpdater = *minUpdater;
        }
    }
    return {};
}

// Takes the next blank-separated field off `rest`; the last field of a line
// has no blank after it.
std::optional<std::string_view> TakeField(std::string_view& rest, bool last) {
    const Split split = SplitAtBlank(rest);
    if (split.hadBlank == last || split.head.empty()) return std::nullopt;
    rest = split.rest;
    return split.head;
}

template <typename Number>
std::optional<Number> TakeNumber(std::string_view& rest, bool last) {
    const std::optional<std::string_view> field = TakeField(rest, last);
    if (!field) return std::nullopt;
    const auto value = ParseDecimal(*field);
    if (!value || *value > std::numeric_limits<Number>::max()) return std::nullopt;
    return static_cast<Number>(*value);
}

bool TakeDigest(std::string_view& rest, Sha256Digest& digest, bool last) {
    const std::optional<std::string_view> field = TakeField(rest, last);
    return field && FromHex(*field, digest);
}

// `pack <sha256> <size>` after the key word.
Result<ManifestPack> ParsePackLine(std::string_view fields, std::size_t n) {
    ManifestPack pack;
    if (!TakeDigest(fields, pack.name, false)) return LineError(n, "bad pack name (a SHA-256)");
    const auto size = TakeNumber<std::uint64_t>(fields, true);
    if (!size) return LineError(n, "bad pack size");
    pack.size = *size;
    return pack;
}

// `file <sha256> <size> <path>` after the key word.
Result<ManifestFile> ParseFileLine(std::string_view fields, std::size_t n) {
    ManifestFile file;
    if (!TakeDigest(fields, file.sha256, false)) return LineError(n, "bad SHA-256");
    const auto size = TakeNumber<std::uint64_t>(fields, false);
    if (!size) return LineError(n, "bad size");
    if (fields.empty()) return LineError(n, "missing path");
    file.size = *size;
    file.path = std::string(fields);
    return file;
}

// `chunk <pack> <offset> <sha256> <size> <stored-size>` after the key word.
Result<ManifestChunk> ParseChunkLine(std::string_view fields, std::size_t n) {
    ManifestChunk chunk;
    const auto pack = TakeNumber<std::uint32_t>(fields, false);
    if (!pack) return LineError(n, "bad pack number");
    const auto offset = TakeNumber<std::uint64_t>(fields, false);
    if (!offset) return LineError(n, "bad offset");
    if (!TakeDigest(fields, chunk.sha256, false)) return LineError(n, "bad SHA-256");
    const auto size = TakeNumber<std::uint32_t>(fields, false);
    if (!size) return LineError(n, "bad size");
    const auto storedSize = TakeNumber<std::uint32_t>(fields, true);
    if (!storedSize) return LineError(n, "bad stored size");
    // No manifest lists that many packs, nor a pack that large.
    if (*pack >= kMaxPackCount) return LineError(n, "a chunk names a pack not listed");
    if (*offset >= kMaxFileSize) return LineError(n, "a chunk lies outside its pack");
    chunk.SetPlace(*pack, *offset);
    chunk.size = *size;
    chunk.storedSize = *storedSize;
    return chunk;
}

// `mirror <folder URL>` after the key word: a URL the engine can use, once,
// before the first pack line.
Result<void> ParseMirrorLine(std::string_view url, std::size_t n, Manifest& manifest) {
    if (!manifest.packs.empty() || !manifest.files.empty())
        return LineError(n, "a mirror line after the first pack or file line");
    if (!ParseMirrorUrl(url)) return LineError(n, "bad mirror URL (http or https, a folder ending in '/')");
    for (const std::string& earlier : manifest.mirrors)
        if (earlier == url) return LineError(n, "mirror listed twice");
    manifest.mirrors.emplace_back(url);
    return {};
}

// The lines of these kinds after the current one: reading a large
// manifest, the lists of files and chunks then take their room once,
// instead of twice that while they grow.
std::size_t CountLines(std::string_view rest, std::initializer_list<std::string_view> starts) {
    std::size_t count = 0;
    for (const std::string_view line : starts)
        for (std::size_t at = rest.find(line); at != std::string_view::npos; at = rest.find(line, at + 1)) ++count;
    return count;
}

}  // namespace

Result<ManifestParts> SplitSignatureLine(std::string_view bytes) {
    if (bytes.size() > kMaxManifestBytes) return InvalidFormat("manifest larger than the limit");
    if (bytes.empty()) return InvalidFormat("empty manifest");
    if (bytes.back() != '\n') return InvalidFormat("manifest does not end with a line break");
    const std::size_t previousBreak = bytes.rfind('\n', bytes.size() - 2);
    const std::size_t lineStart = previousBreak == std::string_view::npos ? 0 : previousBreak + 1;
    const Split line = SplitAtBlank(bytes.substr(lineStart, bytes.size() - 1 - lineStart));
    if (line.head != "signature") {
        if (bytes.starts_with("signature ") || bytes.find("\nsignature ") != std::string_view::npos)
            return InvalidFormat("text after the signature line");
        return InvalidFormat("missing signature line (the last line)");
    }
    if (!line.hadBlank) return InvalidFormat("'signature' without its fields");
    ManifestParts parts;
    if (!FromHex(line.rest, parts.signature)) return InvalidFormat("bad signature (128 lowercase hex digits)");
    parts.signedPart = bytes.substr(0, lineStart);
    return parts;
}

Result<Manifest> ParseManifestBody(std::string_view signedPart) {
    if (signedPart.empty()) return LineError(1, "not a Velmora manifest");
    Manifest manifest;
    Lines lines(signedPart);
    if (auto header = ParseHeader(lines, manifest); !header) return header.Error();
    if (auto keys = ParseKeys(lines, manifest); !keys) return keys.Error();
    // Mirror lines and files of the player's came with format 3.
    const bool format3 = manifest.format >= 3;
    while (!lines.AtEnd()) {
        const Split line = SplitAtBlank(lines.Next());
        const std::size_t n = lines.Number();
        const bool playerFile = format3 && line.head == "player-file";
        const bool mirror = format3 && line.head == "mirror";
        const bool known = line.head == "pack" || line.head == "file" || line.head == "chunk" || playerFile || mirror;
        if (known && !line.hadBlank) {
            return LineError(n, "'" + std::string(line.head) + "' without its fields");
        } else if (mirror) {
            if (auto mirror = ParseMirrorLine(line.rest, n, manifest); !mirror) return mirror.Error();
        } else if (line.head == "pack") {
            if (!manifest.files.empty()) return LineError(n, "a pack line after the first file line");
            auto pack = ParsePackLine(line.rest, n);
            if (!pack) return pack.Error();
            manifest.packs.push_back(pack.Value());
        } else if (line.head == "file" || playerFile) {
            if (manifest.files.empty()) {
                // From the '\n' that ends this line.
                const std::string_view rest = signedPart.substr(lines.Offset() - 1);
                manifest.files.reserve(CountLines(rest, {"\nfile ", "\nplayer-file "}) + 1);
                manifest.chunks.reserve(CountLines(rest, {"\nchunk "}));
            }
            auto file = ParseFileLine(line.rest, n);
            if (!file) return file.Error();
            manifest.files.push_back(std::move(file).Value());
            manifest.files.back().playerFile = playerFile;
            manifest.files.back().firstChunk = static_cast<std::uint32_t>(manifest.chunks.size());
        } else if (line.head == "chunk") {
            if (manifest.files.empty()) return LineError(n, "a chunk line before the first file line");
            auto chunk = ParseChunkLine(line.rest, n);
            if (!chunk) return chunk.Error();
            manifest.chunks.push_back(chunk.Value());
            ++manifest.files.back().chunkCount;
        } else if (line.head == "signature") {
            return LineError(n + 1, "text after the signature line");
        } else if (IsKnownKey(line.head)) {
            return LineError(n, "repeated key '" + std::string(line.head) + "'");
        } else {
            return LineError(n, "unknown key '" + std::string(line.head) + "'");
        }
    }
    if (auto content = CheckManifestContent(manifest); !content) return content.Error();
    return manifest;
}

Result<SignedManifest> ParseSignedManifest(std::string_view bytes, const SignatureCheck& check) {
    auto parts = SplitSignatureLine(bytes);
    if (!parts) return parts.Error();
    const ManifestParts& split = parts.Value();
    if (auto checked = check(split.signedPart, split.signature); !checked) return checked.Error();
    auto manifest = ParseManifestBody(split.signedPart);
    if (!manifest) return manifest.Error();
    return SignedManifest{std::move(manifest).Value(), split.signedPart.size(), split.signature};
}

}  // namespace velmora::engine
