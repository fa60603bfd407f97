#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/failure.h"
#include "common/folder_path.h"
#include "startup/control_table.h"
#include "startup/self_registration.h"
#include "winsupport/parent_folder.h"
#include "startup/startup_passes.h"

namespace velmora {
namespace {

using Calls = std::vector<std::wstring>;

const std::wstring kApp = L"C:\\Games\\Velmora";
const std::wstring kMissing =
    L"message Faltan las librer\u00edas del programa. Aseg\u00farate de extraer el updater con sus "
    L"librer\u00edas. | Velmora Updater";

// Records every platform call of the start-up in order and plays what the
// case sets up.
class RecordingStartup final : public StartupOperations {
public:
    std::wstring applicationFolder = kApp;
    bool applicationFolderFails = false;
    bool folderMissing = false;
    // Whether the n-th load (from 1) of a library by this name succeeds.
    std::function<bool(std::wstring_view name, int attempt)> loads = [](std::wstring_view, int) { return true; };
    // Window loads (from 1) that raise, and whether showing raises.
    std::set<int> windowLoadRaises;
    bool showRaises = false;
    // Command line starts (from 1) that raise.
    std::set<int> startRaises;
    // When set, registration runs the real routine over this fake, whose
    // calls land in the same record.
    RegistrationOperations* registration = nullptr;

    Calls calls;

    std::wstring ApplicationFolder() override {
        calls.push_back(L"application folder");
        if (applicationFolderFails) throw Failure(3, L"no folder");
        return applicationFolder;
    }
    void SetWorkingFolder(const std::wstring& folder) override {
        calls.push_back(L"working folder " + folder);
        if (folderMissing) throw Failure(3, L"The system cannot find the path specified.");
    }
    void SelfRegister(const std::wstring& path) override {
        calls.push_back(L"register " + path);
        if (registration) SelfRegisterLibrary(*registration, path, L"");
    }
    bool LoadLibraryByName(std::wstring_view fileName) override {
        calls.push_back(L"load " + std::wstring(fileName));
        return loads(fileName, ++loadAttempts_[std::wstring(fileName)]);
    }
    void StartCommandLine(const std::wstring& commandLine) override {
        calls.push_back(L"start " + commandLine);
        if (startRaises.count(++starts_)) throw Failure(2, L"The system cannot find the file specified.");
    }
    void LoadWindow() override {
        calls.push_back(L"window load");
        ++windowLoads_;
        if (windowLoadRaises.count(windowLoads_)) throw Failure(1000u + windowLoads_, L"load failed");
    }
    void ShowWindow() override {
        calls.push_back(L"window show");
        if (showRaises) throw Failure(1400, L"Invalid window handle.");
    }
    void DiscardWindow() override { calls.push_back(L"window discard"); }
    void ShowMessage(std::wstring_view text, std::wstring_view caption) override {
        calls.push_back(L"message " + std::wstring(text) + L" | " + std::wstring(caption));
    }

private:
    std::map<std::wstring, int> loadAttempts_;
    int starts_ = 0;
    int windowLoads_ = 0;
};

// The expected calls, built from the literal names of the control table.
const wchar_t* const kFiles[] = {L"mbprgbar.ocx", L"mscomctl.ocx", L"richtx32.ocx"};

Calls Enter(const std::wstring& app = kApp) { return {L"application folder", L"working folder " + app + L"\\libs"}; }
Calls Register(const std::wstring& app = kApp) {
    Calls calls;
    for (const wchar_t* file : kFiles) calls.push_back(L"register " + app + L"\\libs\\" + file);
    return calls;
}
Calls LoadTest() {
    Calls calls;
    for (const wchar_t* file : kFiles) calls.push_back(std::wstring(L"load ") + file);
    return calls;
}
Calls Fallback(const std::wstring& app = kApp) {
    Calls calls;
    for (const wchar_t* file : kFiles) calls.push_back(L"start regsvr32 /s \"" + app + L"\\libs\\" + file + L"\"");
    return calls;
}
Calls Join(std::initializer_list<Calls> parts) {
    Calls all;
    for (const Calls& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}
const Calls kWindowLoad = {L"window load"};
const Calls kWindowShown = {L"window load", L"window show"};
const Calls kDiscard = {L"window discard"};

bool FailsAlways(std::wstring_view name, int) { return name != L"mscomctl.ocx"; }
bool FailsAtFirstPass(std::wstring_view name, int attempt) { return name != L"richtx32.ocx" || attempt > 1; }

TEST(StartupPasses, FolderThatCannotBeEnteredShowsOneMessageAndEnds) {
    RecordingStartup missingLibs;
    missingLibs.folderMissing = true;
    EXPECT_FALSE(RunStartupPasses(missingLibs));
    EXPECT_EQ(missingLibs.calls, Join({Enter(), {kMissing}}));

    RecordingStartup noApplicationFolder;
    noApplicationFolder.applicationFolderFails = true;
    EXPECT_FALSE(RunStartupPasses(noApplicationFolder));
    EXPECT_EQ(noApplicationFolder.calls, Calls({L"application folder", kMissing}));
}

TEST(StartupPasses, PassesEndInTheWindowOrInTheEnd) {
    const struct {
        const char* name;
        void (*setUp)(RecordingStartup&);
        bool shown;
        Calls calls;
    } cases[] = {
        {"all load at the first pass", [](RecordingStartup&) {}, true,
         Join({Enter(), Register(), LoadTest(), kWindowShown})},
        // Every library is tried even after one failed; six fallback starts.
        {"a library never loads", [](RecordingStartup& s) { s.loads = FailsAlways; }, false,
         Join({Enter(), Register(), LoadTest(), Fallback(), Register(), LoadTest(), Fallback()})},
        {"a library loads at the second pass", [](RecordingStartup& s) { s.loads = FailsAtFirstPass; }, true,
         Join({Enter(), Register(), LoadTest(), Fallback(), Register(), LoadTest(), kWindowShown})},
        // The failed window is discarded, so the second pass creates it anew.
        {"window load fails once", [](RecordingStartup& s) { s.windowLoadRaises = {1}; }, true,
         Join({Enter(), Register(), LoadTest(), kWindowLoad, kDiscard, Fallback(), Register(), LoadTest(),
               kWindowShown})},
        {"a fallback start fails once", [](RecordingStartup& s) {
             s.loads = FailsAtFirstPass;
             s.startRaises = {2};
         },
         true,
         // The error path starts the whole fallback again from its first row.
         Join({Enter(), Register(), LoadTest(), {Fallback()[0], Fallback()[1]}, Fallback(), Register(),
               LoadTest(), kWindowShown})},
        {"a library fails after the window failed", [](RecordingStartup& s) {
             s.windowLoadRaises = {1};
             s.loads = [](std::wstring_view name, int attempt) { return name != L"mbprgbar.ocx" || attempt == 1; };
         },
         false,
         Join({Enter(), Register(), LoadTest(), kWindowLoad, kDiscard, Fallback(), Register(), LoadTest(),
               Fallback()})},
    };
    for (const auto& c : cases) {
        RecordingStartup startup;
        c.setUp(startup);
        EXPECT_EQ(RunStartupPasses(startup), c.shown) << c.name;
        EXPECT_EQ(startup.calls, c.calls) << c.name;
    }
}

TEST(StartupPasses, ASecondFailureLeavesTheRoutine) {
    const struct {
        const char* name;
        void (*setUp)(RecordingStartup&);
        std::uint32_t number;
        Calls calls;
    } cases[] = {
        // Nothing is discarded after the failure that leaves: the program ends.
        {"window load fails twice", [](RecordingStartup& s) { s.windowLoadRaises = {1, 2}; }, 1002,
         Join({Enter(), Register(), LoadTest(), kWindowLoad, kDiscard, Fallback(), Register(), LoadTest(),
               kWindowLoad})},
        {"window show fails twice", [](RecordingStartup& s) { s.showRaises = true; }, 1400,
         Join({Enter(), Register(), LoadTest(), kWindowShown, kDiscard, Fallback(), Register(), LoadTest(),
               kWindowShown})},
        {"fallback start always fails", [](RecordingStartup& s) {
             s.loads = FailsAlways;
             s.startRaises = {1, 2, 3, 4, 5, 6};
         },
         2, Join({Enter(), Register(), LoadTest(), {Fallback()[0]}, {Fallback()[0]}})},
        {"fallback start fails after the window failed", [](RecordingStartup& s) {
             s.windowLoadRaises = {1};
             s.startRaises = {3};
         },
         2, Join({Enter(), Register(), LoadTest(), kWindowLoad, kDiscard, Fallback()})},
    };
    for (const auto& c : cases) {
        RecordingStartup startup;
        c.setUp(startup);
        try {
            RunStartupPasses(startup);
            ADD_FAILURE() << c.name << ": no failure left the routine";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.Number(), c.number) << c.name;
        }
        EXPECT_EQ(startup.calls, c.calls) << c.name;
    }
}

TEST(StartupPasses, PathsWithABlankAreQuotedOnlyInTheCommandLines) {
    const std::wstring app = L"C:\\Program Files\\Velmora Online";
    RecordingStartup startup;
    startup.applicationFolder = app;
    startup.loads = FailsAlways;
    EXPECT_FALSE(RunStartupPasses(startup));
    EXPECT_EQ(startup.calls, Join({Enter(app), Register(app), LoadTest(), Fallback(app), Register(app), LoadTest(),
                                   Fallback(app)}));
    EXPECT_EQ(startup.calls[10],
              L"start regsvr32 /s \"C:\\Program Files\\Velmora Online\\libs\\richtx32.ocx\"");
}

// Registration runs the real routine; the fake registration platform
// records into the start-up's record, and only the missing file fails to
// load from its path.
class MissingFileRegistration final : public RegistrationOperations {
public:
    explicit MissingFileRegistration(Calls& calls) : calls_(calls) {}
    LibraryId LoadLibraryAt(const std::wstring& path) override {
        return path.ends_with(L"\\mscomctl.ocx") ? LibraryId::None : LibraryId{1};
    }
    EntryPointId FindEntryPoint(LibraryId, const char*) override { return EntryPointId{2}; }
    void SetPointer(PointerShape) override {}
    WorkerId StartWorker(EntryPointId) override { return WorkerId{3}; }
    std::uint32_t WaitForWorker(WorkerId, std::uint32_t) override { return 0; }
    void CloseWorker(WorkerId) override {}
    void FreeLibrary(LibraryId) override {}
    void ShowMessage(std::wstring_view text) override { calls_.push_back(L"message " + std::wstring(text)); }

private:
    Calls& calls_;
};

TEST(StartupPasses, MissingControlFileIsReportedOncePerPassBeforeTheLoadTest) {
    const std::wstring message = L"message Failure loading control DLL";
    const Calls registerWithMessage = {Register()[0], Register()[1], message, Register()[2]};

    // The system's search finds the library elsewhere: one pass.
    RecordingStartup foundElsewhere;
    MissingFileRegistration registration(foundElsewhere.calls);
    foundElsewhere.registration = &registration;
    EXPECT_TRUE(RunStartupPasses(foundElsewhere));
    EXPECT_EQ(foundElsewhere.calls, Join({Enter(), registerWithMessage, LoadTest(), kWindowShown}));

    RecordingStartup notFound;
    MissingFileRegistration registrationNotFound(notFound.calls);
    notFound.registration = &registrationNotFound;
    notFound.loads = FailsAlways;
    EXPECT_FALSE(RunStartupPasses(notFound));
    EXPECT_EQ(notFound.calls, Join({Enter(), registerWithMessage, LoadTest(), Fallback(), registerWithMessage,
                                    LoadTest(), Fallback()}));
}

TEST(ControlTable, PathsAreJoinedWithOneBackslash) {
    const struct {
        std::wstring program;  // the executable's full path
        std::wstring app, libs, path, commandLine;
    } cases[] = {
        {L"C:\\Games\\Velmora\\VELUpdater.exe", L"C:\\Games\\Velmora", L"C:\\Games\\Velmora\\libs",
         L"C:\\Games\\Velmora\\libs\\mscomctl.ocx", L"regsvr32 /s \"C:\\Games\\Velmora\\libs\\mscomctl.ocx\""},
        // A drive's root keeps its backslash ("V:" alone is the drive's
        // current folder) and gets no second one.
        {L"V:\\VELUpdater.exe", L"V:\\", L"V:\\libs", L"V:\\libs\\mscomctl.ocx",
         L"regsvr32 /s \"V:\\libs\\mscomctl.ocx\""},
        {L"\\\\?\\V:\\VELUpdater.exe", L"\\\\?\\V:\\", L"\\\\?\\V:\\libs", L"\\\\?\\V:\\libs\\mscomctl.ocx",
         L"regsvr32 /s \"\\\\?\\V:\\libs\\mscomctl.ocx\""},
        {L"\\\\server\\share\\VELUpdater.exe", L"\\\\server\\share", L"\\\\server\\share\\libs",
         L"\\\\server\\share\\libs\\mscomctl.ocx", L"regsvr32 /s \"\\\\server\\share\\libs\\mscomctl.ocx\""},
        {L"D:\\Program Files (x86)\\Velmora\\VELUpdater.exe", L"D:\\Program Files (x86)\\Velmora",
         L"D:\\Program Files (x86)\\Velmora\\libs", L"D:\\Program Files (x86)\\Velmora\\libs\\mscomctl.ocx",
         L"regsvr32 /s \"D:\\Program Files (x86)\\Velmora\\libs\\mscomctl.ocx\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParentFolder(c.program), c.app);
        EXPECT_EQ(LibsFolder(c.app), c.libs);
        EXPECT_EQ(ControlLibraryPath(c.app, L"mscomctl.ocx"), c.path);
        EXPECT_EQ(FallbackCommandLine(c.app, L"mscomctl.ocx"), c.commandLine);
    }
    EXPECT_EQ(ParentFolder(L"VELUpdater.exe"), L"");
}

TEST(ParentFolder, KeepsADrivesRootWhole) {
    const struct {
        std::wstring path, parent;
    } cases[] = {
        {L"C:\\x.exe", L"C:\\"},
        {L"\\\\?\\C:\\x", L"\\\\?\\C:\\"},
        {L"C:\\", L"C:\\"},
        {L"C:\\a\\b", L"C:\\a"},
        {L"\\\\?\\C:\\a\\b", L"\\\\?\\C:\\a"},
        {L"\\\\server\\share\\x", L"\\\\server\\share"},
        {L"C:\\a/b.txt", L"C:\\a"},
        {L"C:/x.exe", L"C:/"},
        {L"x.exe", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(ParentFolder(c.path), c.parent);
}

}  // namespace
}  // namespace velmora
