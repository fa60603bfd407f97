#include "core/manifest_parse.h"

#include <array>
#include <initializer_list>
#include <memory>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "core/byte_find.h"
#include "core/data_url.h"
#include "core/decimal.h"
#include "core/hex.h"
#include "core/line_cutter.h"
#include "core/manifest_content.h"
#include "core/signed_text_scan.h"
#include "core/utc_time.h"

namespace velmora::engine {
namespace {

// Splits off the text before the first blank; the rest after it.
struct Split {
    std::string_view head;
    std::string_view rest;
    bool hadBlank;
};

Split SplitAtBlank(std::string_view text) {
    const std::size_t blank = FindByte(text, ' ');
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

Result<void> ParseHeaderLine(std::string_view text, Manifest& manifest) {
    const Split header = SplitAtBlank(text);
    if (header.head != "VELMANIFEST" || !header.hadBlank) return LineError(1, "not a Velmora manifest");
    const auto format = ParseDecimal(header.rest);
    if (!format) return LineError(1, "bad format version");
    if (*format < kEarliestManifestFormat || *format > kManifestFormat)
        return LineError(1, "format " + std::to_string(*format) + " is not known to this engine");
    manifest.format = *format;
    return {};
}

// Key line `k` of kKeys, line `n` of the text: each key exactly once and in
// the order of kKeys.
Result<void> ParseKeyLine(std::size_t k, std::string_view text, std::size_t n, Manifest& manifest) {
    const std::string expected(kKeys[k]);
    const Split line = SplitAtBlank(text);
    if (line.head != kKeys[k]) {
        for (std::size_t seen = 0; seen < k; ++seen)
            if (line.head == kKeys[seen]) return LineError(n, "repeated key '" + std::string(line.head) + "'");
        if (IsKnownKey(line.head) || line.head == "mirror" || line.head == "pack" || line.head == "file" ||
            line.head == "player-file" || line.head == "signature")
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
    return {};
}

// The fields below are read where they begin rather than cut off first:
// a large manifest holds some four million numbers and a million digests.
// A number's field is its digits: a field with any other byte is no
// number, so the digits must end where the field does, at a blank or, for
// the last field, at the line's end.
template <typename Number>
std::optional<Number> TakeNumber(std::string_view& rest, bool last) {
    std::size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
    const bool fieldEnds = last ? digits == rest.size() : digits < rest.size() && rest[digits] == ' ';
    if (!fieldEnds) return std::nullopt;
    const auto value = ParseDecimal(rest.substr(0, digits), std::numeric_limits<Number>::max());
    if (!value) return std::nullopt;
    rest.remove_prefix(last ? digits : digits + 1);
    return static_cast<Number>(*value);
}

// A digest's field is its hex digits, which no blank is among: the field
// is the digits only when it ends right after them.
bool TakeDigest(std::string_view& rest, Sha256Digest& digest, bool last) {
    constexpr std::size_t kDigits = 2 * Sha256Digest().size();
    const bool fieldEnds = last ? rest.size() == kDigits : rest.size() > kDigits && rest[kDigits] == ' ';
    if (!fieldEnds || !FromHex(rest.substr(0, kDigits), digest)) return false;
    rest.remove_prefix(last ? kDigits : kDigits + 1);
    return true;
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

// The lines of these kinds in `text`: reading a large manifest whole, the
// lists of files and chunks then take their room once, instead of twice
// that while they grow.
std::size_t CountLines(std::string_view text, std::initializer_list<std::string_view> starts) {
    std::size_t count = 0;
    for (const std::string_view line : starts)
        for (std::size_t at = text.find(line); at != std::string_view::npos; at = text.find(line, at + 1)) ++count;
    return count;
}

// The lines of a manifest's signed part one at a time: the first line,
// then the key lines, then the rest; the first refusal ends the reading.
class BodyLines {
public:
    BodyLines(std::size_t expectedFiles, std::size_t expectedChunks, ChunkLinesKept kept)
        : expectedFiles_(expectedFiles), expectedChunks_(expectedChunks), kept_(kept) {}

    Result<void> Take(std::string_view line) {
        ++number_;
        lineStart_ = nextLineStart_;
        nextLineStart_ += line.size() + 1;
        if (number_ == 1) return ParseHeaderLine(line, manifest_);
        if (number_ <= 1 + kKeys.size()) return ParseKeyLine(number_ - 2, line, number_, manifest_);
        return TakeBodyLine(line);
    }

    Result<Manifest> Finish() {
        if (auto keys = KeyLinesRead(); !keys) return keys.Error();
        if (auto content = CheckManifestContent(manifest_); !content) return content.Error();
        return std::move(manifest_);
    }

    // The manifest read keys-only, with what its content check could tell;
    // the stored places go once they are checked.
    Result<KeysOnlyReading> FinishKeysOnly() {
        if (auto keys = KeyLinesRead(); !keys) return keys.Error();
        ChunkKeysVerdict verdict = CheckChunkKeysContent(manifest_, places_, storedSizes_);
        if (kept_ == ChunkLinesKept::KeysAndPlaces) {
            manifest_.chunkPlaces = std::move(places_);
            manifest_.chunkStoredSizes = std::move(storedSizes_);
        }
        std::vector<std::uint64_t>().swap(places_);
        std::vector<std::uint32_t>().swap(storedSizes_);
        return KeysOnlyReading{std::move(manifest_), std::move(verdict)};
    }

    // The first line's and the key lines' fields, once they went by.
    Result<Manifest> Head() const {
        if (auto keys = KeyLinesRead(); !keys) return keys.Error();
        return manifest_;
    }

private:
    // Whether the first line and every key line went by.
    Result<void> KeyLinesRead() const {
        if (number_ == 0) return LineError(1, "not a Velmora manifest");
        if (number_ <= kKeys.size())
            return LineError(number_, "missing key '" + std::string(kKeys[number_ - 1]) + "'");
        return {};
    }

    Result<void> TakeBodyLine(std::string_view text) {
        const Split line = SplitAtBlank(text);
        const std::size_t n = number_;
        // Mirror lines and files of the player's came with format 3.
        const bool format3 = manifest_.format >= 3;
        const bool playerFile = format3 && line.head == "player-file";
        const bool mirror = format3 && line.head == "mirror";
        const bool known = line.head == "pack" || line.head == "file" || line.head == "chunk" || playerFile || mirror;
        if (known && !line.hadBlank) return LineError(n, "'" + std::string(line.head) + "' without its fields");
        if (mirror) return ParseMirrorLine(line.rest, n, manifest_);
        if (line.head == "pack") {
            if (!manifest_.files.empty()) return LineError(n, "a pack line after the first file line");
            auto pack = ParsePackLine(line.rest, n);
            if (!pack) return pack.Error();
            manifest_.packs.push_back(pack.Value());
            return {};
        }
        if (line.head == "file" || playerFile) {
            if (manifest_.files.empty()) ReserveLists();
            auto file = ParseFileLine(line.rest, n);
            if (!file) return file.Error();
            manifest_.files.push_back(std::move(file).Value());
            manifest_.files.back().playerFile = playerFile;
            manifest_.files.back().firstChunk = static_cast<std::uint32_t>(ChunkCount());
            return {};
        }
        if (line.head == "chunk") {
            if (manifest_.files.empty()) return LineError(n, "a chunk line before the first file line");
            auto chunk = ParseChunkLine(line.rest, n);
            if (!chunk) return chunk.Error();
            Keep(chunk.Value());
            ++manifest_.files.back().chunkCount;
            return {};
        }
        if (line.head == "signature") return LineError(n + 1, "text after the signature line");
        if (IsKnownKey(line.head)) return LineError(n, "repeated key '" + std::string(line.head) + "'");
        return LineError(n, "unknown key '" + std::string(line.head) + "'");
    }

    void ReserveLists() {
        manifest_.files.reserve(expectedFiles_);
        if (kept_ == ChunkLinesKept::Whole) {
            manifest_.chunks.reserve(expectedChunks_);
            return;
        }
        manifest_.chunkKeys.reserve(expectedChunks_);
        places_.reserve(expectedChunks_);
        storedSizes_.reserve(expectedChunks_);
        if (kept_ == ChunkLinesKept::KeysAndPlaces) manifest_.chunkLineStarts.reserve(expectedChunks_);
    }

    std::size_t ChunkCount() const {
        return kept_ == ChunkLinesKept::Whole ? manifest_.chunks.size() : manifest_.chunkKeys.size();
    }

    void Keep(const ManifestChunk& chunk) {
        if (kept_ == ChunkLinesKept::Whole) {
            manifest_.chunks.push_back(chunk);
            return;
        }
        manifest_.chunkKeys.push_back(KeyOf(chunk));
        places_.push_back(StoredPlace(chunk.Pack(), chunk.Offset()));
        storedSizes_.push_back(chunk.storedSize);
        if (kept_ == ChunkLinesKept::KeysAndPlaces) manifest_.chunkLineStarts.push_back(static_cast<std::uint32_t>(lineStart_));
    }

    Manifest manifest_;
    std::size_t number_ = 0;
    std::size_t expectedFiles_;
    std::size_t expectedChunks_;
    ChunkLinesKept kept_;
    // Where the line being read begins in the text, and the next one.
    std::size_t lineStart_ = 0;
    std::size_t nextLineStart_ = 0;
    // Keys-only: of each chunk line, what the content checks need beyond
    // its key, until they are done (or kept, with the places).
    std::vector<std::uint64_t> places_;
    std::vector<std::uint32_t> storedSizes_;
};

}  // namespace

struct ManifestBodyReader::State {
    BodyLines lines;
    LineCutter cutter;
    std::optional<EngineError> refused;
};

ManifestBodyReader::ManifestBodyReader(std::size_t expectedFiles, std::size_t expectedChunks, ChunkLinesKept kept)
    : state_(std::make_unique<State>(State{BodyLines(expectedFiles, expectedChunks, kept), {}, std::nullopt})),
      kept_(kept) {}

ManifestBodyReader::~ManifestBodyReader() = default;

Result<void> ManifestBodyReader::Feed(std::string_view piece) {
    State& state = *state_;
    if (state.refused) return *state.refused;
    state.cutter.Feed(piece, [&state](std::string_view line) {
        Result<void> taken = state.lines.Take(line);
        if (!taken) state.refused = taken.Error();
        return static_cast<bool>(taken);
    });
    if (state.refused) return *state.refused;
    return {};
}

Result<void> ManifestBodyReader::Ended() const {
    if (state_->refused) return *state_->refused;
    // A signed part ends with the '\n' before the signature line.
    if (state_->cutter.InLine()) return InvalidFormat("the signed part does not end with a line break");
    return {};
}

Result<Manifest> ManifestBodyReader::Finish() {
    if (kept_ != ChunkLinesKept::Whole) return InvalidFormat("a reader of chunk keys finishes with FinishKeysOnly");
    if (auto ended = Ended(); !ended) return ended.Error();
    return state_->lines.Finish();
}

Result<KeysOnlyReading> ManifestBodyReader::FinishKeysOnly() {
    if (kept_ == ChunkLinesKept::Whole) return InvalidFormat("a reader of whole chunk lines finishes with Finish");
    if (auto ended = Ended(); !ended) return ended.Error();
    return state_->lines.FinishKeysOnly();
}

Result<ManifestParts> SplitSignatureLine(std::string_view bytes) {
    SignedTextScan scan;
    if (auto fed = scan.Feed(bytes); !fed) return fed.Error();
    auto shape = scan.Finish();
    if (!shape) return shape.Error();
    return ManifestParts{bytes.substr(0, static_cast<std::size_t>(shape.Value().signedLength)), shape.Value().signature};
}

Result<Manifest> ParseManifestBody(std::string_view signedPart) {
    ManifestBodyReader reader(CountLines(signedPart, {"\nfile ", "\nplayer-file "}),
                              CountLines(signedPart, {"\nchunk "}));
    if (auto fed = reader.Feed(signedPart); !fed) return fed.Error();
    return reader.Finish();
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

Result<Manifest> ParseManifestHead(std::string_view start) {
    BodyLines lines(0, 0, ChunkLinesKept::KeysOnly);
    for (std::size_t n = 0; n <= kKeys.size(); ++n) {
        const std::size_t end = FindByte(start, '\n');
        if (end == std::string_view::npos) break;
        if (auto taken = lines.Take(start.substr(0, end)); !taken) return taken.Error();
        start.remove_prefix(end + 1);
    }
    return lines.Head();
}

}  // namespace velmora::engine
