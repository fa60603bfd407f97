// Registration of the three control libraries: DllRegisterServer writes
// exactly the class and ProgID entries, in the machine's classes or, where
// those refuse them, in the user's; DllUnregisterServer removes exactly them
// from both; and a registered control is created by its ProgID. These tests
// change the classes registry, so they run one at a time with every other
// test that registers controls, and put back a registration they found.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <optional>

#include "progress_bar/progress_bar_class.h"
#include "rich_text_box/rich_text_box_class.h"
#include "support/test_folder.h"
#include "tab_strip/tab_strip_class.h"
#include "support/control_host.h"

namespace velmora::testing {
namespace {

struct Library {
    const wchar_t* file;
    CLSID clsid;
    const wchar_t* clsidText;
    const wchar_t* progId;
    const wchar_t* name;
};

const Library kLibraries[] = {
    {L"mbprgbar.ocx", controls::progress_bar::kClsid, L"{9FC96B7C-1715-41B5-8783-863756CC1843}",
     L"MBProgressBar.ProgressBar", L"Velmora Progress Bar"},
    {L"mscomctl.ocx", controls::tab_strip::kClsid, L"{15D171C9-2501-45BE-95EE-E6D6C6BCC138}",
     L"MSComctlLib.TabStrip", L"Velmora Tab Strip"},
    {L"richtx32.ocx", controls::rich_text_box::kClsid, L"{383BC559-48BC-4057-A6F3-DC389244F401}",
     L"RichTextLib.RichTextBox", L"Velmora Rich Text Box"},
};

// The machine's or the user's classes.
struct Classes {
    HKEY root;
    std::wstring Path(const std::wstring& key) const { return L"Software\\Classes\\" + key; }
};
const Classes kMachine{HKEY_LOCAL_MACHINE};
const Classes kUser{HKEY_CURRENT_USER};

// Every key and value under a key of the classes, one line each ("sub\key"
// for a key, "sub\key|name=data" for a value; "@" is the default value),
// sorted. Empty when the key does not exist.
void Collect(HKEY parent, const std::wstring& path, const std::wstring& shown, std::vector<std::string>& lines) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    lines.push_back(Utf8(shown));
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        wchar_t data[512];
        DWORD nameLength = 256;
        DWORD dataBytes = sizeof data;
        DWORD type = 0;
        if (::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataBytes) !=
            ERROR_SUCCESS)
            break;
        const std::wstring text = type == REG_SZ ? std::wstring(data) : L"<type " + std::to_wstring(type) + L">";
        lines.push_back(Utf8(shown + L"|" + (nameLength ? name : L"@") + L"=" + text));
    }
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (::RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        children.emplace_back(name);
    }
    ::RegCloseKey(key);
    for (const auto& child : children) Collect(parent, path + L"\\" + child, shown + L"\\" + child, lines);
}

std::vector<std::string> Tree(const Classes& classes, const std::wstring& path) {
    std::vector<std::string> lines;
    Collect(classes.root, classes.Path(path), path, lines);
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> Sorted(std::vector<std::wstring> lines) {
    std::vector<std::string> narrow;
    for (const auto& line : lines) narrow.push_back(Utf8(line));
    std::sort(narrow.begin(), narrow.end());
    return narrow;
}

void SetDefault(const std::wstring& key, const std::wstring& value) {
    ASSERT_EQ(::RegSetKeyValueW(kMachine.root, kMachine.Path(key).c_str(), nullptr, REG_SZ, value.c_str(),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

// While it lives, a predefined key stands for a volatile key of its own. No
// lasting key can be made beneath a volatile one (ERROR_CHILD_MUST_BE_VOLATILE),
// so every registration write through the predefined key is refused, as the
// machine's classes refuse a user without administrator rights. A key opened
// read-only would not do: Wine creates subkeys beneath one all the same.
class RefusedWrites {
public:
    RefusedWrites(HKEY predefined, const std::wstring& name)
        : predefined_(predefined), path_(L"Software\\Velmora refused writes to " + name) {
        EXPECT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, key_.put(), nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(::RegOverridePredefKey(predefined_, key_.get()), ERROR_SUCCESS);
    }
    ~RefusedWrites() {
        ::RegOverridePredefKey(predefined_, nullptr);
        key_.reset();
        ::RegDeleteKeyW(HKEY_CURRENT_USER, path_.c_str());
    }
    RefusedWrites(const RefusedWrites&) = delete;
    RefusedWrites& operator=(const RefusedWrites&) = delete;

private:
    HKEY predefined_;
    std::wstring path_;
    UniqueRegistryKey key_;
};

std::vector<std::string> ExpectedClassTree(const Library& lib, const std::wstring& path) {
    const std::wstring key = std::wstring(L"CLSID\\") + lib.clsidText;
    return Sorted({key,
                   key + L"|@=" + lib.name,
                   key + L"\\InprocServer32",
                   key + L"\\InprocServer32|@=" + path,
                   key + L"\\InprocServer32|ThreadingModel=Apartment",
                   key + L"\\ProgID",
                   key + L"\\ProgID|@=" + lib.progId,
                   key + L"\\Control",
                   key + L"\\MiscStatus",
                   key + L"\\MiscStatus|@=0",
                   key + L"\\MiscStatus\\1",
                   key + L"\\MiscStatus\\1|@=131473",
                   key + L"\\Implemented Categories",
                   key + L"\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}"});
}

std::vector<std::string> ExpectedProgIdTree(const Library& lib) {
    const std::wstring key = lib.progId;
    return Sorted({key, key + L"|@=" + lib.name, key + L"\\CLSID", key + L"\\CLSID|@=" + lib.clsidText});
}

class ControlRegistrationTest : public ::testing::TestWithParam<Library> {
protected:
    void SetUp() override {
        // A registration found before the test is put back afterwards.
        wchar_t path[MAX_PATH] = {};
        DWORD bytes = sizeof path;
        if (::RegGetValueW(kMachine.root, kMachine.Path(classKey + L"\\InprocServer32").c_str(), nullptr,
                           RRF_RT_REG_SZ, nullptr, path, &bytes) == ERROR_SUCCESS)
            previous = path;
        ControlLibrary(FixturePath(lib.file)).Unregister();
        CopyFixture(lib.file, libraryPath);
        library.emplace(libraryPath);
        ASSERT_TRUE(library->Loaded());
    }
    void TearDown() override {
        // Our class key is ours alone; the ProgID goes back to whoever had it.
        for (const Classes* classes : {&kMachine, &kUser}) {
            ::RegDeleteTreeW(classes->root, classes->Path(classKey).c_str());
            ::RegDeleteTreeW(classes->root, classes->Path(progIdKey).c_str());
        }
        if (!previous.empty()) ControlLibrary(previous).Register();
    }

    const Library& lib = GetParam();
    const std::wstring classKey = std::wstring(L"CLSID\\") + lib.clsidText;
    const std::wstring progIdKey = lib.progId;
    std::wstring previous;
    TestFolder folder{L"velmora controls"};  // a blank in the path, as under Program Files
    const std::wstring libraryPath = folder / lib.file;
    OleInitialization ole;
    std::optional<ControlLibrary> library;

    // The class's and the ProgID's entries in the classes, one list.
    std::vector<std::string> Registration(const Classes& classes) const {
        auto lines = Tree(classes, classKey);
        for (auto& line : Tree(classes, progIdKey)) lines.push_back(std::move(line));
        return lines;
    }
    std::vector<std::string> ExpectedRegistration() const {
        auto lines = ExpectedClassTree(lib, libraryPath);
        for (auto& line : ExpectedProgIdTree(lib)) lines.push_back(std::move(line));
        return lines;
    }
};

using ControlRegistration = ControlRegistrationTest;

TEST_P(ControlRegistration, WritesExactlyTheEntriesAndRemovesThemAgain) {
    for (int time = 1; time <= 2; ++time) {
        SCOPED_TRACE("registration " + std::to_string(time));
        ASSERT_EQ(library->Register(), S_OK);
        EXPECT_EQ(Tree(kMachine, classKey), ExpectedClassTree(lib, libraryPath));
        EXPECT_EQ(Tree(kMachine, progIdKey), ExpectedProgIdTree(lib));
    }
    for (int time = 1; time <= 2; ++time) {
        SCOPED_TRACE("removal " + std::to_string(time));
        EXPECT_EQ(library->Unregister(), S_OK);
        EXPECT_EQ(Tree(kMachine, classKey), std::vector<std::string>{});
        EXPECT_EQ(Tree(kMachine, progIdKey), std::vector<std::string>{});
    }
}

// A player without administrator rights: the machine's classes refuse the
// entries, so they go to the user's, which COM reads first. (Wine 8's COM
// reads the machine's only, so a class registered for the user alone cannot
// be created by CoCreateInstance here; its entries are compared instead.)
TEST_P(ControlRegistration, GoesToTheUserWhereTheMachineRefuses) {
    const std::vector<std::string> none;
    {
        const RefusedWrites machine(HKEY_LOCAL_MACHINE, L"machine");
        const RefusedWrites user(HKEY_CURRENT_USER, L"user");
        EXPECT_EQ(library->Register(), HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE)) << "both refuse";
    }
    EXPECT_EQ(Registration(kMachine), none);
    EXPECT_EQ(Registration(kUser), none);
    {
        const RefusedWrites machine(HKEY_LOCAL_MACHINE, L"machine");
        EXPECT_EQ(library->Register(), S_OK) << "the machine refuses";
    }
    EXPECT_EQ(Registration(kUser), ExpectedRegistration());
    EXPECT_EQ(Registration(kMachine), none);

    // Once the machine takes them, the user's entries, which would shadow
    // the machine's, go.
    EXPECT_EQ(library->Register(), S_OK);
    EXPECT_EQ(Registration(kMachine), ExpectedRegistration());
    EXPECT_EQ(Registration(kUser), none);

    // Both hold it: the machine from before, the user since the machine
    // refused.
    {
        const RefusedWrites machine(HKEY_LOCAL_MACHINE, L"machine");
        ASSERT_EQ(library->Register(), S_OK);
    }
    ASSERT_EQ(Registration(kUser), ExpectedRegistration());
    for (int time = 1; time <= 2; ++time) {
        SCOPED_TRACE("removal from both " + std::to_string(time));
        EXPECT_EQ(library->Unregister(), S_OK);
        EXPECT_EQ(Registration(kMachine), none);
        EXPECT_EQ(Registration(kUser), none);
    }
}

TEST_P(ControlRegistration, RemovalLeavesWhatOthersKeepBeside) {
    SetDefault(classKey + L"\\Unrelated", L"kept");
    SetDefault(progIdKey + L"\\Unrelated", L"kept");
    ASSERT_EQ(library->Register(), S_OK);
    EXPECT_EQ(library->Unregister(), S_OK);
    EXPECT_EQ(Tree(kMachine, classKey),
              Sorted({classKey, classKey + L"\\Unrelated", classKey + L"\\Unrelated|@=kept"}));
    EXPECT_EQ(Tree(kMachine, progIdKey),
              Sorted({progIdKey, progIdKey + L"\\Unrelated", progIdKey + L"\\Unrelated|@=kept"}));
}

TEST_P(ControlRegistration, RemovalLeavesAProgIdThatNamesAnotherClass) {
    ASSERT_EQ(library->Register(), S_OK);
    const std::wstring other = L"{00000000-1111-2222-3333-444444444444}";
    SetDefault(progIdKey + L"\\CLSID", other);
    EXPECT_EQ(library->Unregister(), S_OK);
    EXPECT_EQ(Tree(kMachine, classKey), std::vector<std::string>{});
    EXPECT_EQ(Tree(kMachine, progIdKey), Sorted({progIdKey, progIdKey + L"|@=" + lib.name, progIdKey + L"\\CLSID",
                                                 progIdKey + L"\\CLSID|@=" + other}));
}

TEST_P(ControlRegistration, SystemToolRegistersAndRemoves) {
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    auto run = [&](const std::wstring& switches) {
        std::wstring command = L"\"" + std::wstring(system) + L"\\regsvr32.exe\" " + switches + L" \"" + libraryPath + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
            return DWORD{0xFFFFFFFF};
        const UniqueHandle thread(process.hThread);
        const UniqueHandle owned(process.hProcess);
        ::WaitForSingleObject(owned.get(), 60000);
        DWORD code = 0xFFFFFFFF;
        ::GetExitCodeProcess(owned.get(), &code);
        return code;
    };
    EXPECT_EQ(run(L"/s"), 0u);
    EXPECT_EQ(Tree(kMachine, classKey), ExpectedClassTree(lib, libraryPath));
    EXPECT_EQ(run(L"/u /s"), 0u);
    EXPECT_EQ(Tree(kMachine, classKey), std::vector<std::string>{});
}

using ControlCreationByProgId = ControlRegistrationTest;

TEST_P(ControlCreationByProgId, AfterRegistrationOnly) {
    ASSERT_EQ(library->Register(), S_OK);
    CLSID clsid{};
    ASSERT_EQ(::CLSIDFromProgID(lib.progId, &clsid), S_OK);
    EXPECT_TRUE(clsid == lib.clsid);
    IOleObject* control = nullptr;
    ASSERT_EQ(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, reinterpret_cast<void**>(&control)),
              S_OK);
    DWORD status = 0;
    EXPECT_EQ(control->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, 0x20191u);
    CLSID reported{};
    EXPECT_EQ(control->GetUserClassID(&reported), S_OK);
    EXPECT_TRUE(reported == lib.clsid);
    EXPECT_EQ(control->Release(), 0u);
    ::CoFreeUnusedLibraries();

    ASSERT_EQ(library->Unregister(), S_OK);
    EXPECT_EQ(::CLSIDFromProgID(lib.progId, &clsid), CO_E_CLASSSTRING);
}

std::string LibraryName(const ::testing::TestParamInfo<Library>& info) {
    std::string name = Utf8(info.param.file);
    return name.substr(0, name.find('.'));
}

INSTANTIATE_TEST_SUITE_P(Libraries, ControlRegistration, ::testing::ValuesIn(kLibraries), LibraryName);
INSTANTIATE_TEST_SUITE_P(Libraries, ControlCreationByProgId, ::testing::ValuesIn(kLibraries), LibraryName);

}  // namespace
}  // namespace velmora::testing
