#pragma once
// The variables the update engine writes from its own thread while the GUI
// thread reads them: status, bytes done and bytes in total. They have static
// storage, so their addresses stay fixed for the whole run, and are read
// whole with atomic loads, without locks.
#include <atomic>
#include <cstdint>

namespace velmora {

struct EngineStatusVariables {
    alignas(std::atomic_ref<std::int16_t>::required_alignment) std::int16_t status = 0;
    alignas(std::atomic_ref<std::int32_t>::required_alignment) std::int32_t done = 0;
    alignas(std::atomic_ref<std::int32_t>::required_alignment) std::int32_t total = 0;
};

// The program's one set, handed to the engine at start.
EngineStatusVariables& ProgramStatusVariables();

template <typename T>
T LoadShared(T& variable) {
    return std::atomic_ref<T>(variable).load(std::memory_order_acquire);
}

template <typename T>
void StoreShared(T& variable, T value) {
    std::atomic_ref<T>(variable).store(value, std::memory_order_release);
}

}  // namespace velmora
