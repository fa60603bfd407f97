#include "startup/entry_routine_win.h"

#include "startup/self_registration_win.h"
#include "startup/startup_operations_win.h"
#include "startup/startup_passes.h"

namespace velmora {
namespace {

class Win32StartupOperations final : public StartupOperations {
public:
    explicit Win32StartupOperations(const UpdaterWindowOperations& window) : window_(window) {}

    std::wstring ApplicationFolder() override { return ExecutableFolder(); }
    void SetWorkingFolder(const std::wstring& folder) override { EnterFolder(folder); }
    void SelfRegister(const std::wstring& path) override { SelfRegisterLibrary(path, L""); }
    bool LoadLibraryByName(std::wstring_view fileName) override { return LoadLibraryForGood(fileName); }
    void StartCommandLine(const std::wstring& commandLine) override { StartMinimised(commandLine); }
    void LoadWindow() override { window_.load(); }
    void ShowWindow() override { window_.show(); }
    void DiscardWindow() override { window_.discard(); }
    void ShowMessage(std::wstring_view text, std::wstring_view caption) override {
        ShowPlainMessage(text, caption);
    }

private:
    const UpdaterWindowOperations& window_;
};

}  // namespace

bool RunEntryRoutine(const UpdaterWindowOperations& window) {
    Win32StartupOperations operations(window);
    return RunStartupPasses(operations);
}

}  // namespace velmora
