#include "startup/entry_routine_win.h"

#include "common/folders_win.h"
#include "common/message_box_win.h"
#include "common/process_win.h"
#include "winsupport/system_text_win.h"
#include "startup/self_registration_win.h"
#include "startup/set_aside_repair_win.h"
#include "startup/startup_operations_win.h"
#include "startup/startup_passes.h"

namespace velmora {
namespace {

class Win32StartupOperations final : public StartupOperations {
public:
    explicit Win32StartupOperations(HINSTANCE instance) : instance_(instance) {}

    std::wstring ApplicationFolder() override { return velmora::ApplicationFolder(); }
    void SetWorkingFolder(const std::wstring& folder) override { velmora::SetWorkingFolder(folder); }
    void SelfRegister(const std::wstring& path) override { SelfRegisterLibrary(path, L""); }
    bool LoadLibraryByName(std::wstring_view fileName) override { return LoadLibraryForGood(fileName); }
    void StartCommandLine(const std::wstring& commandLine) override { StartProcess(commandLine, SW_SHOWMINIMIZED); }
    void LoadWindow() override { window_ = UpdaterWindow::Load(instance_); }
    void ShowWindow() override { window_->Show(); }
    void DiscardWindow() override { window_.reset(); }
    void ShowMessage(std::wstring_view text, std::wstring_view caption) override {
        velmora::ShowMessage(text, caption);
    }

    std::unique_ptr<UpdaterWindow> TakeWindow() { return std::move(window_); }

private:
    HINSTANCE instance_;
    std::unique_ptr<UpdaterWindow> window_;
};

}  // namespace

std::unique_ptr<UpdaterWindow> RunEntryRoutine(HINSTANCE instance) {
    Win32StartupOperations operations(instance);
    // Before anything is registered or loaded: an update that stopped while
    // it switched the updater's libraries may have left one's place empty.
    if (const std::wstring folder = ModuleFolder(nullptr); !folder.empty()) RestoreSetAsideLibraries(folder);
    if (!RunStartupPasses(operations)) return nullptr;
    return operations.TakeWindow();
}

}  // namespace velmora
