#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "winsupport/application_pointer_win.h"
#include "startup/self_registration_win.h"
#include "support/message_boxes.h"
#include "support/test_folder.h"

namespace velmora {
namespace {

using namespace velmora::testing;

const std::wstring kLoadFailed = L"Failure loading control DLL";
const std::wstring kUnknown = L"Unknown command handle";
const std::wstring kFailureA = L"Process failed in obtaining entry point or creating thread.";
const std::wstring kFailureB = L"Process failed in signaled state or time-out.";

HCURSOR Cursor(const wchar_t* shape) { return ::LoadCursorW(nullptr, shape); }

// Each message box of the registration: the program's title, one OK button,
// no icon.
void ExpectPlainBoxes(const std::vector<MessageBoxSeen>& boxes, const std::vector<std::wstring>& texts,
                      const std::string& context) {
    ASSERT_EQ(boxes.size(), texts.size()) << context;
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].text, texts[i]) << context;
        EXPECT_EQ(boxes[i].caption, L"Updater") << context;
        EXPECT_EQ(boxes[i].buttons, std::vector<std::wstring>{L"OK"}) << context;
        EXPECT_FALSE(boxes[i].hasIcon) << context;
    }
}

enum class Library { Released, StaysLoaded, NeverLoaded };

TEST(StartupSelfRegistration, EachLibraryAndCommand) {
    const struct {
        const wchar_t* fixture;  // nullptr: no file at the path
        std::wstring command;
        std::vector<std::wstring> messages;
        const char* entryPointRun;  // logged by the library, or nullptr
        Library library;
    } cases[] = {
        {L"recording_control.ocx", L"", {}, "DllRegisterServer", Library::Released},
        {L"recording_control.ocx", L"U", {}, "DllUnregisterServer", Library::Released},
        {L"recording_control.ocx", L"u", {}, "DllUnregisterServer", Library::Released},
        {L"recording_control.ocx", L"x", {kUnknown}, nullptr, Library::StaysLoaded},
        {L"recording_control.ocx", L"UU", {kUnknown}, nullptr, Library::StaysLoaded},
        {L"recording_control.ocx", L"U ", {kUnknown}, nullptr, Library::StaysLoaded},
        // The entry point's failure code is not looked at.
        {L"failing_control.ocx", L"", {}, "DllRegisterServer", Library::Released},
        {L"no_entry_point_control.ocx", L"", {kFailureA}, nullptr, Library::Released},
        {L"not_a_library.ocx", L"", {kLoadFailed}, nullptr, Library::NeverLoaded},
        {nullptr, L"", {kLoadFailed}, nullptr, Library::NeverLoaded},
    };
    for (const auto& c : cases) {
        const std::string context = Utf8(c.fixture ? c.fixture : L"(no file)") + " \"" + Utf8(c.command) + "\"";
        // A blank and a letter outside ASCII: the path crosses into the
        // system in its 8-bit code page.
        TestFolder folder(L"velmora libs \u00f1");
        const std::wstring file = c.fixture ? c.fixture : L"absent.ocx";
        const std::wstring path = folder / file;
        if (c.fixture) CopyFixture(c.fixture, path);
        const std::wstring log = path.substr(0, path.size() - 4) + L"-log.txt";

        ::SetCursor(Cursor(IDC_CROSS));
        MessageBoxWatcher boxes;
        SelfRegisterLibrary(path, c.command);

        ExpectPlainBoxes(boxes.Seen(), c.messages, context);
        // A message box sets a pointer of its own, so the pointer is judged
        // only where none was shown: set back to the default shape.
        if (c.messages.empty()) {
            EXPECT_EQ(::GetCursor(), Cursor(IDC_ARROW)) << context;
        }
        const auto lines = ReadLines(log);
        if (c.entryPointRun) {
            ASSERT_EQ(lines.size(), 1u) << context;
            EXPECT_EQ(lines[0].substr(0, lines[0].find('\t')), c.entryPointRun) << context;
            EXPECT_NE(Field(lines[0], "thread"), std::to_string(::GetCurrentThreadId())) << "not on a worker";
        } else {
            EXPECT_TRUE(lines.empty()) << context;
        }
        const HMODULE loaded = ::GetModuleHandleW(path.c_str());
        EXPECT_EQ(loaded != nullptr, c.library == Library::StaysLoaded) << context;
        if (loaded) ::FreeLibrary(loaded);  // so that the folder can go
    }
}

// Costs the full ten seconds of the wait.
TEST(StartupSelfRegistration, EntryPointThatRunsTooLongIsLeftRunning) {
    TestFolder folder(L"velmora slow");
    const std::wstring path = folder / L"slow_control.ocx";
    CopyFixture(L"slow_control.ocx", path);
    const std::wstring log = folder / L"slow_control-log.txt";
    const std::wstring releaseName = L"VelmoraSlowControlRelease-" + std::to_wstring(::GetCurrentProcessId());
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
    ASSERT_NE(release, nullptr);

    MessageBoxWatcher boxes;
    const auto start = std::chrono::steady_clock::now();
    SelfRegisterLibrary(path, L"");
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);

    ExpectPlainBoxes(boxes.Seen(), {kFailureB}, "time-out");
    // Ten seconds of waiting, plus the time the watcher takes to confirm the
    // message on a busy machine.
    EXPECT_GE(elapsed.count(), 9900);
    EXPECT_LT(elapsed.count(), 20000);
    EXPECT_EQ(::GetCursor(), Cursor(IDC_ARROW));
    // The worker still runs in the library, which stays loaded under it.
    const auto waiting = ReadLines(log);
    ASSERT_EQ(waiting.size(), 1u);
    EXPECT_EQ(Field(waiting[0], "phase"), "waiting");
    EXPECT_NE(::GetModuleHandleW(path.c_str()), nullptr);

    ::SetEvent(release);
    std::vector<std::string> lines;
    for (int i = 0; i < 500 && lines.size() < 2; ++i) {
        ::Sleep(20);
        lines = ReadLines(log);
    }
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Field(lines[1], "phase"), "released");
    ::CloseHandle(release);
}

// The watcher tells a plain box from one with an icon and more buttons, so
// the checks above can fail.
TEST(StartupMessageBoxWatcher, SeesIconsAndEveryButtonAndPressesOk) {
    MessageBoxWatcher boxes;
    EXPECT_EQ(::MessageBoxW(nullptr, L"first", L"Caption one", MB_OKCANCEL | MB_ICONWARNING), IDOK);
    EXPECT_EQ(::MessageBoxW(nullptr, L"second", L"Caption two", MB_OK), IDOK);
    const auto seen = boxes.Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].caption, L"Caption one");
    EXPECT_EQ(seen[0].text, L"first");
    EXPECT_EQ(seen[0].buttons, (std::vector<std::wstring>{L"OK", L"Cancel"}));
    EXPECT_TRUE(seen[0].hasIcon);
    EXPECT_EQ(seen[1].caption, L"Caption two");
    EXPECT_EQ(seen[1].text, L"second");
    EXPECT_EQ(seen[1].buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_FALSE(seen[1].hasIcon);
}

TEST(StartupApplicationPointer, BusyShapeStandsUntilSetBack) {
    SetApplicationPointerBusy(true);
    EXPECT_EQ(::GetCursor(), Cursor(IDC_WAIT));
    // A window that sets its own pointer is overruled while busy...
    ::SetCursor(Cursor(IDC_CROSS));
    EXPECT_TRUE(ApplyApplicationPointer());
    EXPECT_EQ(::GetCursor(), Cursor(IDC_WAIT));

    // ...and chooses its own again afterwards.
    SetApplicationPointerBusy(false);
    EXPECT_EQ(::GetCursor(), Cursor(IDC_ARROW));
    ::SetCursor(Cursor(IDC_CROSS));
    EXPECT_FALSE(ApplyApplicationPointer());
    EXPECT_EQ(::GetCursor(), Cursor(IDC_CROSS));
}

}  // namespace
}  // namespace velmora
