#include "core/status_writer.h"

#include <limits>

namespace velmora::engine {
namespace {

template <typename T>
bool Aligned(const T* p) noexcept {
    return reinterpret_cast<std::uintptr_t>(p) % std::atomic_ref<T>::required_alignment == 0;
}

template <typename T>
void Store(T* target, T value) noexcept {
    if (target) std::atomic_ref<T>(*target).store(value, std::memory_order_release);
}

}  // namespace

bool StatusWriter::CanWrite(const std::int16_t* status, const std::int32_t* done,
                            const std::int32_t* total) noexcept {
    return status && done && total && Aligned(status) && Aligned(done) && Aligned(total);
}

void StatusWriter::Status(EngineStatus status) const noexcept { Store(status_, StatusCode(status)); }
void StatusWriter::Done(std::uint64_t bytes) const noexcept { Store(done_, ClampedByteCount(bytes)); }
void StatusWriter::Total(std::uint64_t bytes) const noexcept { Store(total_, ClampedByteCount(bytes)); }

std::int32_t ClampedByteCount(std::uint64_t bytes) noexcept {
    constexpr auto most = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(bytes < most ? bytes : most);
}

}  // namespace velmora::engine
