#include "startup/self_registration_win.h"

#include <windows.h>

#include "common/message_box_win.h"
#include "winsupport/application_pointer_win.h"
#include "startup/self_registration.h"

namespace velmora {
namespace {

// A registration entry point: no arguments, a result code.
using EntryPointFunction = HRESULT(__stdcall*)();

// The worker's thread routine. A thread routine takes one argument and, as
// a stdcall function, removes it from the stack itself; an entry point of no
// arguments started directly as the thread routine would return with the
// stack four bytes off. So the worker starts here and calls the entry point
// with its own type and no argument; the exit code is its result.
DWORD WINAPI RunEntryPoint(void* entryPoint) {
    const auto function = reinterpret_cast<EntryPointFunction>(entryPoint);
    return static_cast<DWORD>(function());
}

template <typename Id, typename T>
Id ToId(T value) {
    return static_cast<Id>(reinterpret_cast<std::uintptr_t>(value));
}

template <typename T, typename Id>
T FromId(Id id) {
    return reinterpret_cast<T>(static_cast<std::uintptr_t>(id));
}

// The operations are thin: each is one system call. Which handle is
// released when is decided by the portable routine.
class Win32RegistrationOperations final : public RegistrationOperations {
public:
    LibraryId LoadLibraryAt(const std::wstring& path) override {
        return ToId<LibraryId>(::LoadLibraryW(path.c_str()));
    }
    EntryPointId FindEntryPoint(LibraryId library, const char* name) override {
        return ToId<EntryPointId>(::GetProcAddress(FromId<HMODULE>(library), name));
    }
    void SetPointer(PointerShape shape) override { SetApplicationPointerBusy(shape == PointerShape::Busy); }
    WorkerId StartWorker(EntryPointId entryPoint) override {
        DWORD threadId = 0;  // not used, but older systems want somewhere to put it
        return ToId<WorkerId>(
            ::CreateThread(nullptr, 0, RunEntryPoint, FromId<void*>(entryPoint), 0, &threadId));
    }
    std::uint32_t WaitForWorker(WorkerId worker, std::uint32_t milliseconds) override {
        return ::WaitForSingleObject(FromId<HANDLE>(worker), milliseconds);
    }
    void CloseWorker(WorkerId worker) override { ::CloseHandle(FromId<HANDLE>(worker)); }
    void FreeLibrary(LibraryId library) override { ::FreeLibrary(FromId<HMODULE>(library)); }
    void ShowMessage(std::wstring_view text) override { velmora::ShowMessage(text); }
};

}  // namespace

void SelfRegisterLibrary(const std::wstring& path, std::wstring_view command) {
    Win32RegistrationOperations operations;
    SelfRegisterLibrary(operations, path, command);
}

}  // namespace velmora
