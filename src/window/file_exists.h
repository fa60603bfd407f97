#pragma once
#include <cstdint>
#include <string>

namespace velmora {

// Directory entry attributes that a search only finds when its mask asks for
// them (the Windows FILE_ATTRIBUTE_* values).
inline constexpr std::uint32_t kAttributeHidden = 0x02;
inline constexpr std::uint32_t kAttributeSystem = 0x04;
inline constexpr std::uint32_t kAttributeVolume = 0x08;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;

// Whether an entry with these attributes is found by a search with this
// mask: plain files always are; hidden, system, volume-label and folder
// entries only when the mask names each of their special kinds.
bool EntryMatchesMask(std::uint32_t attributes, std::uint32_t mask);

#ifdef _WIN32
// Whether a directory search for the path (relative paths from the working
// folder) finds at least one entry that matches the mask.
bool FileExists(const std::wstring& path, std::uint32_t mask);
#endif

}  // namespace velmora
