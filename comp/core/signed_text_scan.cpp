#include "core/signed_text_scan.h"

#include "core/hex.h"
#include "core/line_cutter.h"

namespace velmora::engine {
namespace {

// Signed bytes collect up to this much before the sink sees them: a hash
// takes few large pieces faster than a piece a line.
constexpr std::size_t kSinkPiece = 64 * 1024;

}  // namespace

SignedTextScan::SignedTextScan(Sink signedPart, std::uint64_t limit) : sink_(std::move(signedPart)), limit_(limit) {}

Result<void> SignedTextScan::Feed(std::string_view piece) {
    size_ += piece.size();
    if (size_ > limit_) return InvalidFormat("manifest larger than the limit");
    lines_.Feed(piece, [this](std::string_view line) {
        CompleteLine(line);
        return true;
    });
    return {};
}

// `line` (with its '\n') is whole: the one before it is not the last, so it
// is signed.
void SignedTextScan::CompleteLine(std::string_view line) {
    if (!last_.empty()) {
        if (last_.starts_with("signature ")) signatureBeforeLast_ = true;
        Pass(last_);
    }
    if (line.starts_with("chunk ")) {
        ++shape_.chunkLines;
    } else if (line.starts_with("file ") || line.starts_with("player-file ")) {
        ++shape_.fileLines;
    }
    last_.assign(line);
}

void SignedTextScan::Pass(std::string_view bytes) {
    signedLength_ += bytes.size();
    if (!sink_) return;
    out_.append(bytes);
    if (out_.size() >= kSinkPiece) FlushSigned();
}

void SignedTextScan::FlushSigned() {
    if (sink_ && !out_.empty()) sink_(out_);
    out_.clear();
}

Result<SignedTextShape> SignedTextScan::Finish() {
    FlushSigned();
    if (size_ == 0) return InvalidFormat("empty manifest");
    if (lines_.InLine()) return InvalidFormat("manifest does not end with a line break");
    const std::string_view line = std::string_view(last_).substr(0, last_.size() - 1);
    if (line != "signature" && !line.starts_with("signature ")) {
        if (signatureBeforeLast_) return InvalidFormat("text after the signature line");
        return InvalidFormat("missing signature line (the last line)");
    }
    if (line == "signature") return InvalidFormat("'signature' without its fields");
    if (!FromHex(line.substr(10), shape_.signature)) return InvalidFormat("bad signature (128 lowercase hex digits)");
    shape_.signedLength = signedLength_;
    return shape_;
}

}  // namespace velmora::engine
