#pragma once
// SHA-256 block compression with the x86 SHA extensions (SHA-NI), and the
// run-time test for them. Under Wine, CNG's SHA-256 is plain C at about
// 150 MB/s; these instructions run several times faster, so the engine uses
// them wherever the processor has them and CNG everywhere else.
#include <cstddef>
#include <cstdint>

namespace velmora::engine {

// True when the processor has the SHA extensions and the SSSE3 and SSE4.1
// shuffles the compression needs (CPUID leaf 7 EBX bit 29, leaf 1 ECX bits
// 9 and 19). Asked once; the answer is kept.
bool CpuHasShaExtensions();

// Runs `blocks` 64-byte blocks of `data` through the compression function,
// updating `state` (a, b, ..., h). Only when CpuHasShaExtensions().
void Sha256CompressShaExtensions(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks);

}  // namespace velmora::engine
