#include "window/file_exists.h"

namespace velmora {

bool EntryMatchesMask(std::uint32_t attributes, std::uint32_t mask) {
    constexpr std::uint32_t special =
        kAttributeHidden | kAttributeSystem | kAttributeVolume | kAttributeDirectory;
    return (attributes & special & ~mask) == 0;
}

}  // namespace velmora
