#include "core/manifest_parse.h"

#include <array>

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

Result<void> ParseHeader(Lines& lines) {
    const Split header = SplitAtBlank(lines.Next());
    if (header.head != "VELMANIFEST" || !header.hadBlank) return LineError(1, "not a Velmora manifest");
    const auto format = ParseDecimal(header.rest);
    if (!format) return LineError(1, "bad format version");
    if (*format != kManifestFormat)
        return LineError(1, "format " + std::to_string(*format) + " is not known to this engine");
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
            if (IsKnownKey(line.head) || line.head == "file" || line.head == "signature")
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

// `file <sha256> <size> <object> <stored-size> <path>` after the key word.
Result<ManifestFile> ParseFileLine(std::string_view fields, std::size_t n) {
    ManifestFile file;
    const Split sha = SplitAtBlank(fields);
    if (!sha.hadBlank || !FromHex(sha.head, file.sha256)) return LineError(n, "bad SHA-256");
    const Split size = SplitAtBlank(sha.rest);
    const auto fileSize = ParseDecimal(size.head);
    if (!size.hadBlank || !fileSize) return LineError(n, "bad size");
    const Split object = SplitAtBlank(size.rest);
    if (!object.hadBlank || object.head.empty()) return LineError(n, "missing object");
    const Split stored = SplitAtBlank(object.rest);
    const auto storedSize = ParseDecimal(stored.head);
    if (!storedSize) return LineError(n, "bad stored size");
    if (!stored.hadBlank) return LineError(n, "missing path");
    file.size = *fileSize;
    file.object = std::string(object.head);
    file.storedSize = *storedSize;
    file.path = std::string(stored.rest);
    return file;
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
    if (auto header = ParseHeader(lines); !header) return header.Error();
    if (auto keys = ParseKeys(lines, manifest); !keys) return keys.Error();
    while (!lines.AtEnd()) {
        const Split line = SplitAtBlank(lines.Next());
        const std::size_t n = lines.Number();
        if (line.head == "file" && !line.hadBlank) {
            return LineError(n, "'file' without its fields");
        } else if (line.head == "file") {
            auto file = ParseFileLine(line.rest, n);
            if (!file) return file.Error();
            manifest.files.push_back(std::move(file).Value());
        } else if (line.head == "signature") {
            return LineError(n + 1, "text after the signature line");
        } else if (IsKnownKey(line.head)) {
            return LineError(n, "repeated key '" + std::string(line.head) + "'");
        } else {
            return LineError(n, "unknown key '" + std::string(line.head) + "'");
        }
    }
    if (auto content = CheckManifestFiles(manifest.files); !content) return content.Error();
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
