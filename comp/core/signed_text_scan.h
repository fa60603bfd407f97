#pragma once
// A signed text (a manifest or a head) read in pieces of any size, as they
// come from a file or the network: its last line is the signature line,
// every byte before it the signed part. The signed part goes to a sink as
// soon as it is known not to be the last line, so that it can be hashed on
// the way, without the text ever being whole in memory.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/line_cutter.h"
#include "core/engine_status.h"
#include "core/manifest.h"

namespace velmora::engine {

// What the scan found once the whole text went by.
struct SignedTextShape {
    std::uint64_t signedLength = 0;  // bytes before the signature line
    ManifestSignature signature{};
    // The file lines (of either kind) and chunk lines, so that a reader of
    // the signed part can give its lists their room once.
    std::size_t fileLines = 0;
    std::size_t chunkLines = 0;
};

class SignedTextScan {
public:
    using Sink = std::function<void(std::string_view signedBytes)>;

    // `signedPart` receives every byte of the signed part in order, in
    // pieces; it may be empty. A text over `limit` bytes is refused.
    explicit SignedTextScan(Sink signedPart = {}, std::uint64_t limit = kMaxManifestBytes);

    // InvalidFormat once the text grows over its limit.
    Result<void> Feed(std::string_view piece);

    // InvalidFormat unless the text ends with `signature <128 lowercase hex
    // digits>\n` and has no signature line before it.
    Result<SignedTextShape> Finish();

private:
    void CompleteLine(std::string_view line);
    void Pass(std::string_view bytes);
    void FlushSigned();

    Sink sink_;
    std::uint64_t limit_;
    std::uint64_t size_ = 0;
    LineCutter lines_{true};  // each with its '\n'
    std::string last_;      // the last whole line, with its '\n': maybe the signature line
    std::string out_;       // signed bytes not yet given to the sink
    std::uint64_t signedLength_ = 0;
    bool signatureBeforeLast_ = false;
    SignedTextShape shape_;
};

}  // namespace velmora::engine
