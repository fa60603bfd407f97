// libFuzzer target for the capped unpacking of a stored object, fed as the
// download comes. The input is three bytes of the file's signed size (up to
// 256 KiB), a byte choosing the piece size, a byte choosing a sink call that
// fails, and the stored object. It checks that the output never passes the
// cap, that the sink's failure is the one reported, and, against zlib's
// one-shot uncompress2, that an object is accepted exactly when it is one
// complete zlib stream unpacking to the signed size, with the same bytes.
#include <zlib.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/inflate_stream.h"
#include "fuzz_check.h"

namespace {

using namespace velmora::engine;
using velmora::fuzz::Check;

constexpr const char* kSinkFailure = "the sink refused";

struct Outcome {
    bool ok = false;
    bool sinkFailed = false;
    std::string bytes;
};

Outcome Unpack(std::span<const std::uint8_t> stored, std::uint64_t cap, std::size_t piece, unsigned failingCall) {
    Outcome outcome;
    unsigned calls = 0;
    InflateStream inflate(cap, [&](std::span<const std::uint8_t> bytes) -> Result<void> {
        Check(!bytes.empty(), "no empty pieces of output");
        Check(outcome.bytes.size() + bytes.size() <= cap, "output stays within the cap");
        Check(!outcome.sinkFailed, "nothing more after the sink failed");
        if (++calls == failingCall) {
            outcome.sinkFailed = true;
            return EngineError{EngineStatus::WrongFile, kSinkFailure};
        }
        outcome.bytes.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return {};
    });
    Result<void> result;
    for (std::size_t at = 0; at < stored.size() && result; at += piece)
        result = inflate.Feed(stored.subspan(at, std::min(piece, stored.size() - at)));
    if (outcome.sinkFailed) Check(!result && result.Error().reason == kSinkFailure, "the sink's failure is reported");
    if (result) result = inflate.Finish();
    if (!result) {
        Check(result.Error().status == EngineStatus::WrongFile, "refusal is the wrong file");
        Check(!result.Error().reason.empty(), "refusal has a reason");
    }
    outcome.ok = result.Ok();
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const std::uint64_t cap = (data[0] | (data[1] << 8) | (data[2] << 16)) & ((1u << 18) - 1);
    const std::size_t piece = data[3] == 0 ? size : std::size_t{data[3]} * 7 % 251 + 1;
    const unsigned failingCall = data[4] < 16 ? data[4] % 4 : 0;
    const std::span<const std::uint8_t> stored(data + 5, size - 5);

    const Outcome outcome = Unpack(stored, cap, piece, failingCall);
    if (outcome.sinkFailed) return 0;

    // One byte more than the cap, so that zlib shows a stream that is longer.
    const std::unique_ptr<Bytef[]> reference(new Bytef[cap + 1]);
    uLongf made = static_cast<uLongf>(cap + 1);
    uLong used = static_cast<uLong>(stored.size());
    const int status = uncompress2(reference.get(), &made, stored.data(), &used);
    const bool whole = status == Z_OK && used == stored.size() && made == cap;
    Check(outcome.ok == whole, "accepted exactly when zlib unpacks the whole object to the signed size");
    if (whole)
        Check(outcome.bytes == std::string(reinterpret_cast<const char*>(reference.get()), made),
              "the same bytes as zlib");
    return 0;
}
