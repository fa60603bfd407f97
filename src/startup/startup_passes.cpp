#include "startup/startup_passes.h"

#include <cstdint>

#include "common/failure.h"
#include "startup/control_table.h"

namespace velmora {
namespace {

constexpr std::int16_t kPassLimit = 2;

// Registers each control library through its own entry point, then
// load-tests all three by bare name, whatever the earlier ones gave.
bool RegisterAndLoadTest(StartupOperations& ops, const std::wstring& applicationFolder) {
    for (std::wstring_view file : kControlLibraries) ops.SelfRegister(ControlLibraryPath(applicationFolder, file));
    bool allLoaded = true;
    for (std::wstring_view file : kControlLibraries)
        if (!ops.LoadLibraryByName(file)) allLoaded = false;
    return allLoaded;
}

// Starts the system's registration tool on each library and does not wait
// for it: the next pass starts at once.
void StartFallback(StartupOperations& ops, const std::wstring& applicationFolder) {
    for (std::wstring_view file : kControlLibraries)
        ops.StartCommandLine(FallbackCommandLine(applicationFolder, file));
}

}  // namespace

bool RunStartupPasses(StartupOperations& ops) {
    std::wstring applicationFolder;
    try {
        applicationFolder = ops.ApplicationFolder();
        ops.SetWorkingFolder(LibsFolder(applicationFolder));
    } catch (const Failure&) {
        // Reported by the one message the user can act on: the program was
        // unpacked without its libraries.
        ops.ShowMessage(kMissingLibrariesMessage, kMissingLibrariesCaption);
        return false;
    }

    bool errorPathTaken = false;
    for (std::int16_t pass = 1; pass <= kPassLimit; ++pass) {
        bool windowStarted = false;
        try {
            if (RegisterAndLoadTest(ops, applicationFolder)) {
                windowStarted = true;
                ops.LoadWindow();
                ops.ShowWindow();
                return true;
            }
            StartFallback(ops, applicationFolder);
        } catch (const Failure&) {
            // A failure abandons the pass for the fallback, once per run; a
            // second one (the fallback's own included) leaves for the
            // caller, which reports it and ends.
            if (errorPathTaken) throw;
            errorPathTaken = true;
            if (windowStarted) ops.DiscardWindow();
            StartFallback(ops, applicationFolder);
        }
    }
    return false;
}

}  // namespace velmora
