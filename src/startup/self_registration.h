#pragma once
// Registers a control library with the system, or removes its registration,
// by running the library's own registration entry point on a worker thread,
// without the system's registration tool. The ordering of the steps lives
// here, over a handful of platform operations, so that it can be tested
// without a system; self_registration_win.h performs the operations.
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// Values the platform hands out, opaque here; zero means "none".
enum class LibraryId : std::uintptr_t { None = 0 };
enum class EntryPointId : std::uintptr_t { None = 0 };
enum class WorkerId : std::uintptr_t { None = 0 };

enum class PointerShape { Default, Busy };

// How long the caller waits for the entry point to finish.
inline constexpr std::uint32_t kRegistrationWaitMilliseconds = 10000;

// The platform operations the registration is made of. Each reports a
// failure as a value (None, or a wait result other than 0); one that raises
// Failure instead is skipped by the routine, which goes on as if the step
// had produced nothing.
class RegistrationOperations {
public:
    virtual ~RegistrationOperations() = default;

    // Loads the library file at the full path; None when it does not load.
    virtual LibraryId LoadLibraryAt(const std::wstring& path) = 0;
    // The library's exported function of this name; None when it has none.
    virtual EntryPointId FindEntryPoint(LibraryId library, const char* name) = 0;
    // Sets the pointer over all of the program's windows.
    virtual void SetPointer(PointerShape shape) = 0;
    // Starts a thread that runs the entry point with no argument; None when
    // no thread could be created.
    virtual WorkerId StartWorker(EntryPointId entryPoint) = 0;
    // Waits at most the given time for the worker to end: 0 when it ended,
    // any other value when the time ran out or the wait failed.
    virtual std::uint32_t WaitForWorker(WorkerId worker, std::uint32_t milliseconds) = 0;
    virtual void CloseWorker(WorkerId worker) = 0;
    virtual void FreeLibrary(LibraryId library) = 0;
    // A modal message with one OK button, no icon and the program's title.
    virtual void ShowMessage(std::wstring_view text) = 0;
};

// Runs the library's registration entry point: "DllRegisterServer" for an
// empty command, "DllUnregisterServer" for "U" or "u"; any other command is
// refused. Every failure is reported to the user in a message and the call
// always returns normally. When the entry point does not end within
// kRegistrationWaitMilliseconds, the library and the worker are left as
// they are: the worker may still be running in the library's code.
void SelfRegisterLibrary(RegistrationOperations& operations, const std::wstring& path,
                         std::wstring_view command);

}  // namespace velmora
