#include <gtest/gtest.h>
#include <windows.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/failure.h"
#include "contract/engine_contract.h"
#include "common/folders_win.h"
#include "common/message_box_win.h"
#include "common/process_win.h"
#include "common/failure_win.h"
#include "startup/control_table.h"
#include "startup/entry_routine_win.h"
#include "startup/set_aside_repair_win.h"
#include "startup/startup_operations_win.h"
#include "support/message_boxes.h"
#include "support/test_folder.h"

namespace velmora {
namespace {

using namespace velmora::testing;

std::wstring WorkingFolder() {
    wchar_t folder[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, folder);
    return folder;
}

// Puts the working folder back after each test.
class StartupOperations : public ::testing::Test {
protected:
    void TearDown() override { ::SetCurrentDirectoryW(previous_.c_str()); }

private:
    std::wstring previous_ = WorkingFolder();
};

// Whatever escapes the entry routine or a window handler is reported by a
// number and the system's text before the program ends, never silently.
TEST(FailureOfCurrentException, EveryExceptionHasANumberAndTheSystemsText) {
    const auto caught = [](auto raise) {
        try {
            raise();
        } catch (...) {
            return FailureOfCurrentException();
        }
        return Failure(0, L"nothing raised");
    };
    const struct {
        Failure failure;
        std::uint32_t number;
    } cases[] = {
        {caught([] { throw Failure(ERROR_ACCESS_DENIED, L"ours"); }), ERROR_ACCESS_DENIED},
        {caught([] { throw std::bad_alloc(); }), static_cast<std::uint32_t>(E_OUTOFMEMORY)},
        {caught([] { throw std::runtime_error("other"); }), static_cast<std::uint32_t>(E_UNEXPECTED)},
        {caught([] { throw 42; }), static_cast<std::uint32_t>(E_UNEXPECTED)},
    };
    EXPECT_EQ(cases[0].failure.Description(), L"ours");
    for (const auto& c : cases) {
        EXPECT_EQ(c.failure.Number(), c.number);
        EXPECT_FALSE(c.failure.Description().empty()) << c.number;
    }
    EXPECT_EQ(cases[1].failure.Description(), SystemErrorText(static_cast<DWORD>(E_OUTOFMEMORY)));
}

TEST_F(StartupOperations, SetWorkingFolderMakesItTheWorkingFolderOrRaises) {
    TestFolder folder(L"velmora work \u00e9");
    SetWorkingFolder(folder.Path());
    EXPECT_EQ(WorkingFolder(), folder.Path());

    try {
        SetWorkingFolder(folder / L"libs");
        ADD_FAILURE() << "no failure raised for a missing folder";
    } catch (const Failure& failure) {
        EXPECT_TRUE(failure.Number() == ERROR_FILE_NOT_FOUND || failure.Number() == ERROR_PATH_NOT_FOUND)
            << failure.Number();
        EXPECT_EQ(failure.Description(), SystemErrorText(failure.Number()));
        EXPECT_FALSE(failure.Description().empty());
    }
    EXPECT_EQ(WorkingFolder(), folder.Path());
}

TEST_F(StartupOperations, LibraryByBareNameIsFoundInTheWorkingFolder) {
    TestFolder folder(L"velmora load");
    CopyFixture(L"recording_control.ocx", folder / L"velmora_bare_name.ocx");
    EXPECT_FALSE(LoadLibraryForGood(L"velmora_bare_name.ocx"));
    SetWorkingFolder(folder.Path());
    EXPECT_TRUE(LoadLibraryForGood(L"velmora_bare_name.ocx"));
    const HMODULE loaded = ::GetModuleHandleW((folder / L"velmora_bare_name.ocx").c_str());
    EXPECT_NE(loaded, nullptr);
    if (loaded) ::FreeLibrary(loaded);  // the test's own clean-up
}

// The recording regsvr32.exe lies beside this program: started by its bare
// name, it is found there before the system's.
TEST_F(StartupOperations, FallbackCommandLineReachesTheToolWhole) {
    const std::wstring log = ProgramFolder() + L"\\regsvr32-log.txt";
    ::DeleteFileW(log.c_str());
    const std::wstring app = L"C:\\Program Files\\Velmora Online";
    StartProcess(FallbackCommandLine(app, L"mscomctl.ocx"), SW_SHOWMINIMIZED);

    std::vector<std::string> lines;
    for (int i = 0; i < 500 && lines.empty(); ++i) {
        ::Sleep(20);
        lines = ReadLines(log);
    }
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Field(lines[0], "command"), "regsvr32 /s \"C:\\Program Files\\Velmora Online\\libs\\mscomctl.ocx\"");
    EXPECT_EQ(Field(lines[0], "show"), "2");  // minimised and activated
    EXPECT_EQ(Field(lines[0], "argc"), "3");
    EXPECT_EQ(Field(lines[0], "arg1"), "/s");
    EXPECT_EQ(Field(lines[0], "arg2"), "C:\\Program Files\\Velmora Online\\libs\\mscomctl.ocx");
    ::DeleteFileW(log.c_str());
}

TEST_F(StartupOperations, CommandLineThatCannotStartRaises) {
    try {
        StartProcess(L"velmora-no-such-tool /s x.ocx", SW_SHOWMINIMIZED);
        ADD_FAILURE() << "no failure raised";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.Number(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(failure.Description(), SystemErrorText(ERROR_FILE_NOT_FOUND));
    }
}

// Before anything is registered or loaded, a library set aside by an
// update that stopped between its two renames goes back to its empty
// place; beside a file in its place, a set-aside one is left alone (the
// engine deletes it).
TEST_F(StartupOperations, SetAsideLibraryReturnsOnlyToAnEmptyPlace) {
    const std::wstring libraries[] = {L"mbprgbar.ocx", L"mscomctl.ocx", L"richtx32.ocx", L"comp.dll"};
    for (const std::wstring& library : libraries) {
        for (const bool placeHoldsAFile : {false, true}) {
            const std::string name = Utf8(library) + (placeHoldsAFile ? ", place holds a file" : ", place empty");
            TestFolder app(L"velmora restore");
            ASSERT_TRUE(::CreateDirectoryW((app / L"libs").c_str(), nullptr));
            const std::wstring place = app / (L"libs\\" + library);
            const std::wstring aside = place + kSetAsideSuffix;
            WriteTextFile(aside, "the old library");
            if (placeHoldsAFile) WriteTextFile(place, "the new library");

            RestoreSetAsideLibraries(app.Path());

            EXPECT_EQ(ReadTextFile(place), placeHoldsAFile ? "the new library" : "the old library") << name;
            EXPECT_EQ(::GetFileAttributesW(aside.c_str()) != INVALID_FILE_ATTRIBUTES, placeHoldsAFile) << name;
        }
    }
}

// No libs folder lies beside this program.
TEST_F(StartupOperations, EntryRoutineWithoutLibsShowsTheMessageAndEnds) {
    const std::wstring before = WorkingFolder();
    MessageBoxWatcher boxes;
    EXPECT_EQ(RunEntryRoutine(::GetModuleHandleW(nullptr)), nullptr);

    const auto seen = boxes.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text,
              L"Faltan las librer\u00edas del programa. Aseg\u00farate de extraer el updater con sus librer\u00edas.");
    EXPECT_EQ(seen[0].caption, L"Velmora Updater");
    EXPECT_EQ(seen[0].buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_FALSE(seen[0].hasIcon);
    EXPECT_EQ(::FindWindowW(L"VELUpdater", nullptr), nullptr);
    EXPECT_EQ(WorkingFolder(), before);
}

}  // namespace
}  // namespace velmora
