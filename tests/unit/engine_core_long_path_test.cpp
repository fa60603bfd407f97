#include <gtest/gtest.h>

#include "core/long_path.h"

namespace velmora::engine {
namespace {

TEST(ExtendedLengthPath, DriveAndNetworkPathsTakeTheLongForm) {
    const struct {
        const wchar_t* path;
        const wchar_t* extended;
    } cases[] = {
        {L"C:\\Program Files (x86)\\Velmora\\libs", L"\\\\?\\C:\\Program Files (x86)\\Velmora\\libs"},
        {L"v:", L"\\\\?\\v:"},
        {L"\\\\server\\share\\Velmora", L"\\\\?\\UNC\\server\\share\\Velmora"},
        {L"\\\\?\\C:\\Velmora", L"\\\\?\\C:\\Velmora"},  // already long
        {L"\\\\.\\pipe\\x", L"\\\\.\\pipe\\x"},          // a device: as it is
        {L"relative\\path", L"relative\\path"},
    };
    for (const auto& c : cases) EXPECT_EQ(ExtendedLengthPath(c.path), c.extended);
}

}  // namespace
}  // namespace velmora::engine
