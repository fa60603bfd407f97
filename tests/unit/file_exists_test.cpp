#include <gtest/gtest.h>

#include "window/file_exists.h"

namespace velmora {
namespace {

TEST(EntryMatchesMask, PlainMaskFindsOnlyOrdinaryFiles) {
    const struct {
        std::uint32_t attributes;
        bool found;
    } cases[] = {
        {0x00, true},   // no attributes
        {0x20, true},   // archive
        {0x01, true},   // read-only
        {0x80, true},   // normal
        {0x02, false},  // hidden
        {0x04, false},  // system
        {0x08, false},  // volume label
        {0x10, false},  // folder
        {0x22, false},  // hidden archive
        {0x06, false},  // hidden system
    };
    for (const auto& c : cases) EXPECT_EQ(EntryMatchesMask(c.attributes, 0), c.found) << std::hex << c.attributes;
}

TEST(EntryMatchesMask, MaskAdmitsTheKindsItNames) {
    EXPECT_TRUE(EntryMatchesMask(0x02, 0x02));
    EXPECT_TRUE(EntryMatchesMask(0x10, 0x10));
    EXPECT_FALSE(EntryMatchesMask(0x06, 0x02));  // system still excluded
    EXPECT_TRUE(EntryMatchesMask(0x06, 0x06));
}

}  // namespace
}  // namespace velmora
