// libFuzzer target for applying a manifest delta to the local manifest's
// text. The input is a byte giving the old text's length (its first bytes
// after the header, up to 255), two bytes of the new text's size (up to
// 64 KiB), a byte choosing the piece size, then the old text and the
// delta. It checks that no more than the new size ever comes out, that a
// delta is accepted only when it gave exactly the new size, and that the
// outcome and the bytes are the same fed whole as fed in pieces.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/manifest_delta.h"
#include "fuzz_check.h"

namespace {

using namespace velmora::engine;
using velmora::fuzz::Check;

struct Outcome {
    bool ok = false;
    std::string bytes;
};

Outcome Apply(std::string_view old, std::uint64_t newSize, std::string_view delta, std::size_t piece) {
    Outcome outcome;
    ManifestDeltaApplier applier(old, newSize, [&](std::string_view bytes) -> Result<void> {
        Check(!bytes.empty(), "no empty pieces of output");
        Check(outcome.bytes.size() + bytes.size() <= newSize, "output stays within the new size");
        outcome.bytes += bytes;
        return {};
    });
    Result<void> result;
    for (std::size_t at = 0; at < delta.size() && result; at += piece) result = applier.Feed(delta.substr(at, piece));
    if (result) result = applier.Finish();
    if (!result) {
        Check(result.Error().status == EngineStatus::InvalidFormat, "refusal is invalid format");
        Check(!result.Error().reason.empty(), "refusal has a reason");
    }
    outcome.ok = result.Ok();
    if (outcome.ok) Check(outcome.bytes.size() == newSize, "accepted only at exactly the new size");
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::size_t oldLength = std::min<std::size_t>(data[0], size - 4);
    const std::uint64_t newSize = data[1] | (data[2] << 8);
    const std::size_t piece = data[3] % 13 + 1;
    const std::string_view rest(reinterpret_cast<const char*>(data + 4), size - 4);
    const std::string_view old = rest.substr(0, oldLength), delta = rest.substr(oldLength);

    const Outcome whole = Apply(old, newSize, delta, delta.size() + 1);
    const Outcome pieces = Apply(old, newSize, delta, piece);
    Check(whole.ok == pieces.ok, "the same outcome whatever the pieces");
    if (whole.ok) Check(whole.bytes == pieces.bytes, "the same bytes whatever the pieces");
    return 0;
}
