// libFuzzer target for the Content-Range header of a resumed object
// download, which the server writes. The input is a control byte, eight
// bytes of a stored size and the header's text. It checks:
// - a parsed range is ordered, ends inside the object length it names, and
//   has one spelling: printing it back gives the header exactly;
// - a 206 answer is resumed only from the offset asked for, for a range
//   that lies within the signed object, with the signed size if it names
//   one; every other answer is refused with a reason.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/transfer_rules.h"
#include "fuzz_check.h"

namespace {

using namespace velmora::engine;
using velmora::fuzz::Check;

std::string Printed(const ContentRange& range) {
    return "bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" +
           (range.length ? std::to_string(*range.length) : std::string("*"));
}

// The offset and the stored size a download might have had: mostly ones
// close to the parsed range, so that the checks after the parse are reached.
std::uint64_t Chosen(unsigned choice, std::uint64_t raw, const std::optional<ContentRange>& range) {
    if (!range) return raw;
    switch (choice & 3) {
        case 0: return range->first;
        case 1: return range->last;
        case 2: return range->last + 1;
        default: return raw;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9) return 0;
    const unsigned control = data[0];
    std::uint64_t raw = 0;
    std::memcpy(&raw, data + 1, sizeof raw);
    const std::string_view text(reinterpret_cast<const char*>(data + 9), size - 9);

    const std::optional<ContentRange> range = ParseContentRange(text);
    if (range) {
        Check(range->first <= range->last, "first byte not after the last");
        Check(!range->length || range->last < *range->length, "range ends inside the object length");
        Check(Printed(*range) == text, "one spelling");
    }

    const std::uint64_t first = Chosen(control, raw, range);
    const std::uint64_t last = Chosen(control >> 2, raw ^ 0x5a5a, range);
    const std::uint64_t packSize = Chosen(control >> 4, raw ^ 0xa5a5, range);
    const auto answer = CheckPackResponse(206, text, first, last, packSize);
    if (answer) {
        // A 206 either is exactly the range asked for, of the signed pack,
        // or has the pack asked for whole.
        Check(answer.Value() != PackAnswer::WholePack, "a 206 is never the whole pack");
        if (answer.Value() == PackAnswer::AskedRange) {
            Check(range.has_value() && range->first == first && range->last == last, "the range asked for");
            Check(!range->length || *range->length == packSize, "named length is the signed size");
        }
    } else {
        Check(false, "a 206 is never refused");
    }
    return 0;
}
