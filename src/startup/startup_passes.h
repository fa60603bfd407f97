#pragma once
// The start-up passes: enter the libs folder, then at most two passes of
// registering the control libraries, load-testing them and either loading
// and showing the window or starting the system's registration tool on them
// and trying again. Portable logic over the platform operations below;
// startup_operations_win.h performs them.
#include <string>
#include <string_view>

namespace velmora {

// The message when the libs folder cannot be entered, and its caption.
inline constexpr wchar_t kMissingLibrariesMessage[] =
    L"Faltan las librer\u00edas del programa. Aseg\u00farate de extraer el updater con sus librer\u00edas.";
inline constexpr wchar_t kMissingLibrariesCaption[] = L"Velmora Updater";

class StartupOperations {
public:
    virtual ~StartupOperations() = default;

    // The folder of the running executable; raises Failure when it cannot
    // be determined.
    virtual std::wstring ApplicationFolder() = 0;
    // Makes the folder the process's working folder; raises Failure when it
    // does not exist or cannot be entered.
    virtual void SetWorkingFolder(const std::wstring& folder) = 0;
    // Registers the library at the path through its own entry point. Reports
    // its own failures and never raises.
    virtual void SelfRegister(const std::wstring& path) = 0;
    // Loads a library by its bare file name through the system's search,
    // which includes the working folder. The library stays loaded until the
    // program ends. False when it does not load.
    virtual bool LoadLibraryByName(std::wstring_view fileName) = 0;
    // Starts the command line as a process of its own, minimised and
    // activated, and does not wait for it; raises Failure when it cannot.
    virtual void StartCommandLine(const std::wstring& commandLine) = 0;
    // Creates the window and runs its load step; raises Failure when that
    // fails.
    virtual void LoadWindow() = 0;
    // Shows the loaded window; raises Failure when that fails.
    virtual void ShowWindow() = 0;
    // Destroys whatever a failed load or show left, so that the next pass
    // creates the window anew. Does not raise.
    virtual void DiscardWindow() = 0;
    // A modal message with one OK button and no icon.
    virtual void ShowMessage(std::wstring_view text, std::wstring_view caption) = 0;
};

// Runs the start-up. True when the window has been loaded and shown; false
// when the program should end (the libs folder is missing, or the libraries
// still did not load after the second pass). The first Failure raised by a
// pass abandons what it was doing and starts the fallback; a second one is
// not caught here and leaves the routine.
bool RunStartupPasses(StartupOperations& operations);

}  // namespace velmora
