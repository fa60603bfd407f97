#include "startup/entry_routine_win.h"

#include "common/folders_win.h"
#include "common/message_box_win.h"
#include "common/process_win.h"
#include "startup/self_registration_win.h"
#include "startup/startup_operations_win.h"
#include "startup/startup_passes.h"

namespace velmora {
namespace {

class Win32StartupOperations final : public StartupOperations {
public:
    explicit Win32StartupOperations(const UpdaterWindowOperations& window) : window_(window) {}

    std::wstring ApplicationFolder() override { return velmora::ApplicationFolder(); }
    void SetWorkingFolder(const std::wstring& folder) override { velmora::SetWorkingFolder(folder); }
    void SelfRegister(const std::wstring& path) override { SelfRegisterLibrary(path, L""); }
    bool LoadLibraryByName(std::wstring_view fileName) override { return LoadLibraryForGood(fileName); }
    void StartCommandLine(const std::wstring& commandLine) override { StartProcess(commandLine, SW_SHOWMINIMIZED); }
    void LoadWindow() override { window_.load(); }
    void ShowWindow() override { window_.show(); }
    void DiscardWindow() override { window_.discard(); }
    void ShowMessage(std::wstring_view text, std::wstring_view caption) override {
        velmora::ShowMessage(text, caption);
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
