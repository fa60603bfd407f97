#include "core/manifest_delta.h"

#include <algorithm>
#include <optional>

#include "core/decimal.h"

namespace velmora::engine {
namespace {

// "copy " and two 20-digit numbers with their blank and newline fit well.
constexpr std::size_t kMaxLine = 64;

EngineError Refused(std::string reason) { return InvalidFormat("manifest delta: " + std::move(reason)); }

// "<name> <n>" or "<name> <n> <m>": the numbers after `name`, or nothing.
std::optional<std::string_view> Arguments(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || !line.starts_with(name) || line[name.size()] != ' ') return std::nullopt;
    return line.substr(name.size() + 1);
}

}  // namespace

std::uint64_t ManifestDeltaLimit(std::uint64_t newSize) { return 2 * newSize + 4096; }

ManifestDeltaApplier::ManifestDeltaApplier(std::string_view oldText, std::uint64_t newSize, Sink sink)
    : old_(oldText), newSize_(newSize), sink_(std::move(sink)) {}

Result<void> ManifestDeltaApplier::Feed(std::string_view piece) {
    fed_ += piece.size();
    if (fed_ > ManifestDeltaLimit(newSize_))
        return Refused("longer than the " + std::to_string(ManifestDeltaLimit(newSize_)) + " bytes allowed");
    while (!piece.empty()) {
        if (literalLeft_ > 0) {
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(literalLeft_, piece.size()));
            literalLeft_ -= take;
            if (auto emitted = Emit(piece.substr(0, take)); !emitted) return emitted;
            piece.remove_prefix(take);
            continue;
        }
        const std::size_t newline = piece.find('\n');
        const std::size_t take = newline == std::string_view::npos ? piece.size() : newline + 1;
        if (line_.size() + take > kMaxLine) return Refused("a line longer than " + std::to_string(kMaxLine) + " bytes");
        line_.append(piece.substr(0, take));
        piece.remove_prefix(take);
        if (line_.back() != '\n') continue;
        const std::string line = std::move(line_);
        line_.clear();
        if (auto taken = TakeLine(std::string_view(line).substr(0, line.size() - 1)); !taken) return taken;
    }
    return {};
}

Result<void> ManifestDeltaApplier::TakeLine(std::string_view line) {
    if (!firstLineRead_) {
        if (line != kManifestDeltaFirstLine.substr(0, kManifestDeltaFirstLine.size() - 1))
            return Refused("its first line is not " + std::string(kManifestDeltaFirstLine.substr(0, 10)));
        firstLineRead_ = true;
        return {};
    }
    const std::uint64_t room = newSize_ - produced_;
    if (const auto numbers = Arguments(line, "add")) {
        const std::uint64_t length = ParseDecimal(*numbers).value_or(0);
        if (length == 0) return Refused("not a length: \"" + std::string(line) + "\"");
        if (length > room) return Refused("adds beyond the new text's " + std::to_string(newSize_) + " bytes");
        literalLeft_ = length;
        return {};
    }
    if (const auto numbers = Arguments(line, "copy")) {
        // Without a blank the length is empty, which is no number.
        const std::size_t blank = std::min(numbers->find(' '), numbers->size());
        const std::uint64_t offset = ParseDecimal(numbers->substr(0, blank)).value_or(UINT64_MAX);
        const std::uint64_t length = ParseDecimal(numbers->substr(std::min(blank + 1, numbers->size()))).value_or(0);
        if (offset == UINT64_MAX || length == 0)
            return Refused("not an offset and a length: \"" + std::string(line) + "\"");
        if (offset > old_.size() || length > old_.size() - offset)
            return Refused("copies from outside the old text's " + std::to_string(old_.size()) + " bytes");
        if (length > room) return Refused("copies beyond the new text's " + std::to_string(newSize_) + " bytes");
        return Emit(old_.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(length)));
    }
    return Refused("not an operation: \"" + std::string(line) + "\"");
}

Result<void> ManifestDeltaApplier::Emit(std::string_view bytes) {
    produced_ += bytes.size();
    return sink_(bytes);
}

Result<void> ManifestDeltaApplier::Finish() {
    if (!firstLineRead_ || !line_.empty() || literalLeft_ > 0) return Refused("it ends inside an operation");
    if (produced_ != newSize_)
        return Refused("it gives " + std::to_string(produced_) + " bytes, not " + std::to_string(newSize_));
    return {};
}

}  // namespace velmora::engine
