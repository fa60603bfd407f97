#pragma once
// Counts the bytes the program holds on the heap, and the most it held at
// once since the last Reset, by replacing the global allocation functions.
// Each block carries its size in a header of its own, so what is counted
// is what was asked for, not what the allocator rounds it to.
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace heap_count {

inline std::atomic<std::size_t> held{0};
inline std::atomic<std::size_t> peak{0};

inline void Reset() { peak = held.load(); }
inline std::size_t Held() { return held; }
inline std::size_t Peak() { return peak; }

inline constexpr std::size_t kHeader = alignof(std::max_align_t);

inline void* Allocate(std::size_t size) {
    void* block = std::malloc(size + kHeader);
    if (!block) throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    const std::size_t now = held += size;
    std::size_t before = peak;
    while (now > before && !peak.compare_exchange_weak(before, now)) {}
    return static_cast<char*>(block) + kHeader;
}

inline void Free(void* pointer) {
    if (!pointer) return;
    void* block = static_cast<char*>(pointer) - kHeader;
    held -= *static_cast<std::size_t*>(block);
    std::free(block);
}

}  // namespace heap_count

void* operator new(std::size_t size) { return heap_count::Allocate(size); }
void* operator new[](std::size_t size) { return heap_count::Allocate(size); }
void operator delete(void* pointer) noexcept { heap_count::Free(pointer); }
void operator delete[](void* pointer) noexcept { heap_count::Free(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { heap_count::Free(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { heap_count::Free(pointer); }
