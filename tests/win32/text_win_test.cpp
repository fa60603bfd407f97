#include <gtest/gtest.h>
#include <windows.h>

#include "support/test_folder.h"
#include "window/file_exists.h"

namespace velmora {
namespace {

using testing::TestFolder;
using testing::WriteTextFile;

class FileExistsTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteTextFile(folder / L"plain.exe", "x");
        WriteTextFile(folder / L"hidden.exe", "x");
        ASSERT_TRUE(::SetFileAttributesW((folder / L"hidden.exe").c_str(), FILE_ATTRIBUTE_HIDDEN));
        WriteTextFile(folder / L"system.exe", "x");
        ASSERT_TRUE(::SetFileAttributesW((folder / L"system.exe").c_str(), FILE_ATTRIBUTE_SYSTEM));
        ASSERT_TRUE(::CreateDirectoryW((folder / L"folder.exe").c_str(), nullptr));
    }
    TestFolder folder;
};

TEST_F(FileExistsTest, PlainMaskFindsOnlyPlainFiles) {
    EXPECT_TRUE(FileExists(folder / L"plain.exe", 0));
    EXPECT_FALSE(FileExists(folder / L"hidden.exe", 0));
    EXPECT_FALSE(FileExists(folder / L"system.exe", 0));
    EXPECT_FALSE(FileExists(folder / L"folder.exe", 0));
    EXPECT_FALSE(FileExists(folder / L"missing.exe", 0));
}

TEST_F(FileExistsTest, MaskAdmitsHiddenFilesAndFolders) {
    EXPECT_TRUE(FileExists(folder / L"hidden.exe", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(FileExists(folder / L"folder.exe", FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(FileExists(folder / L"system.exe", FILE_ATTRIBUTE_HIDDEN));
}

TEST_F(FileExistsTest, RelativePathIsTakenFromTheWorkingFolder) {
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(folder.Path().c_str()));
    const bool plain = FileExists(L"plain.exe", 0);
    const bool hidden = FileExists(L"hidden.exe", 0);
    ::SetCurrentDirectoryW(previous);
    EXPECT_TRUE(plain);
    EXPECT_FALSE(hidden);
}

}  // namespace
}  // namespace velmora
