#pragma once
// The front-end's three variables, written from the engine's thread with
// atomic stores while the GUI thread reads them with atomic loads. Byte
// counts are 64-bit inside the engine and are clamped into the variables'
// 32-bit signed range.
#include <atomic>
#include <cstdint>

#include "core/engine_status.h"

namespace velmora::engine {

class StatusWriter {
public:
    StatusWriter() = default;
    StatusWriter(std::int16_t* status, std::int32_t* done, std::int32_t* total) noexcept
        : status_(status), done_(done), total_(total) {}

    // Whether the three addresses can be written whole by atomic stores.
    static bool CanWrite(const std::int16_t* status, const std::int32_t* done, const std::int32_t* total) noexcept;

    void Status(EngineStatus status) const noexcept;
    void Done(std::uint64_t bytes) const noexcept;
    void Total(std::uint64_t bytes) const noexcept;

private:
    std::int16_t* status_ = nullptr;
    std::int32_t* done_ = nullptr;
    std::int32_t* total_ = nullptr;
};

// `bytes` as a 32-bit signed count, INT32_MAX when it does not fit.
std::int32_t ClampedByteCount(std::uint64_t bytes) noexcept;

}  // namespace velmora::engine
