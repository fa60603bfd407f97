#include <gtest/gtest.h>

#include <string>

#include "startup/single_instance.h"

namespace velmora {
namespace {

TEST(SingleInstanceName, OneNamePerFolderWhateverItsSpelling) {
    const std::wstring folder = L"C:\\Users\\ana\\Velmora \u0418\u0433\u0440\u0430";
    const std::wstring name = SingleInstanceName(folder);
    struct Case {
        const char* what;
        std::wstring folder;
        bool sameFolder;
    };
    const Case cases[] = {
        {"other case, Latin and Cyrillic", L"c:\\USERS\\Ana\\VELMORA \u0438\u0413\u0420\u0410", true},
        {"closing separator", folder + L"\\", true},
        {"forward slashes", L"C:/Users/ana/Velmora \u0418\u0433\u0440\u0430/", true},
        {"extended-length form", L"\\\\?\\" + folder, true},
        {"another install", L"C:\\Users\\ana\\Velmora \u0418\u0433\u0440\u04302", false},
        {"a folder above it", L"C:\\Users\\ana", false},
        {"the same name on another drive", L"D:\\Users\\ana\\Velmora \u0418\u0433\u0440\u0430", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(SingleInstanceName(c.folder) == name, c.sameFolder);
    }
    EXPECT_EQ(SingleInstanceName(L"\\\\?\\UNC\\server\\share\\Velmora"),
              SingleInstanceName(L"\\\\SERVER\\share\\velmora"));
}

TEST(SingleInstanceName, IsAValidObjectNameInTheSessionNamespace) {
    const std::wstring prefix = L"Local\\VelmoraUpdater-";
    const std::wstring folders[] = {L"C:\\", L"C:\\Games\\Velmora", std::wstring(2000, L'x')};
    for (const std::wstring& folder : folders) {
        const std::wstring name = SingleInstanceName(folder);
        SCOPED_TRACE(folder.size());
        ASSERT_EQ(name.size(), prefix.size() + 16);
        EXPECT_TRUE(name.starts_with(prefix));
        EXPECT_EQ(name.substr(prefix.size()).find_first_not_of(L"0123456789abcdef"), std::wstring::npos);
    }
}

}  // namespace
}  // namespace velmora
