#include "startup/startup_passes.h"

#include <cstdint>

#include "common/failure.h"
#include "startup/control_table.h"

namespace velmora {
namespace {

constexpr std::int16_t kPassLimit = 2;

enum class Step { PassTest, Registration, LoadTest, Fallback, Window };

}  // namespace

bool RunStartupPasses(StartupOperations& operations) {
    auto& ops = operations;

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

    std::int16_t passes = 0;
    bool errorPathTaken = false;
    Step step = Step::PassTest;
    for (;;) {
        try {
            switch (step) {
            case Step::PassTest:
                if (passes == kPassLimit) return false;
                ++passes;
                step = Step::Registration;
                break;
            case Step::Registration:
                for (std::wstring_view file : kControlLibraries)
                    ops.SelfRegister(ControlLibraryPath(applicationFolder, file));
                step = Step::LoadTest;
                break;
            case Step::LoadTest: {
                // All three are tried, whatever the earlier ones gave.
                bool allLoaded = true;
                for (std::wstring_view file : kControlLibraries)
                    if (!ops.LoadLibraryByName(file)) allLoaded = false;
                step = allLoaded ? Step::Window : Step::Fallback;
                break;
            }
            case Step::Fallback:
                // The tool is not waited for: the next pass starts at once.
                for (std::wstring_view file : kControlLibraries)
                    ops.StartCommandLine(FallbackCommandLine(applicationFolder, file));
                step = Step::PassTest;
                break;
            case Step::Window:
                ops.LoadWindow();
                ops.ShowWindow();
                return true;
            }
        } catch (const Failure&) {
            // The component error path serves once per run; a second
            // failure leaves for the caller, which reports it and ends.
            if (errorPathTaken) throw;
            errorPathTaken = true;
            if (step == Step::Window) ops.DiscardWindow();
            step = Step::Fallback;
        }
    }
}

}  // namespace velmora
