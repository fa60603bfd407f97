#include "startup/self_registration.h"

#include <utility>

#include "common/failure.h"

namespace velmora {
namespace {

constexpr wchar_t kLoadFailed[] = L"Failure loading control DLL";
constexpr wchar_t kUnknownCommand[] = L"Unknown command handle";
constexpr wchar_t kNoEntryPointOrWorker[] = L"Process failed in obtaining entry point or creating thread.";
constexpr wchar_t kNotEndedInTime[] = L"Process failed in signaled state or time-out.";

// A wait result that means "the worker was not seen to end": what a wait
// step that raised leaves behind, so that nothing is released under a
// worker that may still run.
constexpr std::uint32_t kNotWaited = 0xFFFFFFFFu;

// Runs one step. A step that raises Failure instead of returning a failure
// value is skipped: the routine carries on with the value `skipped`.
template <typename Step, typename Result>
Result Attempt(Step&& step, Result skipped) {
    try {
        return step();
    } catch (const Failure&) {
        return skipped;
    }
}

template <typename Step>
void Attempt(Step&& step) {
    try {
        step();
    } catch (const Failure&) {
    }
}

void Release(RegistrationOperations& operations, LibraryId library) { operations.FreeLibrary(library); }
void Release(RegistrationOperations& operations, WorkerId worker) { operations.CloseWorker(worker); }

// Owns a library or worker the platform handed out and releases it through
// the platform unless it is deliberately kept.
template <typename Id>
class Held {
public:
    Held(RegistrationOperations& operations, Id id) : operations_(operations), id_(id) {}
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held() { Reset(); }

    Id Get() const { return id_; }
    explicit operator bool() const { return id_ != Id::None; }

    void Reset() {
        if (id_ == Id::None) return;
        const Id id = std::exchange(id_, Id::None);
        Attempt([&] { Release(operations_, id); });
    }
    // Leaves it loaded or open; the caller takes over the duty to release.
    Id Keep() { return std::exchange(id_, Id::None); }

private:
    RegistrationOperations& operations_;
    Id id_;
};

const char* EntryPointFor(std::wstring_view command) {
    if (command.empty()) return "DllRegisterServer";
    if (command == L"U" || command == L"u") return "DllUnregisterServer";
    return nullptr;
}

}  // namespace

void SelfRegisterLibrary(RegistrationOperations& operations, const std::wstring& path,
                         std::wstring_view command) {
    auto& ops = operations;
    const auto message = [&](const wchar_t* text) { Attempt([&] { ops.ShowMessage(text); }); };
    const auto pointer = [&](PointerShape shape) { Attempt([&] { ops.SetPointer(shape); }); };

    Held<LibraryId> library(ops, Attempt([&] { return ops.LoadLibraryAt(path); }, LibraryId::None));
    if (!library) {
        message(kLoadFailed);
        return;
    }

    const char* entryPointName = EntryPointFor(command);
    if (!entryPointName) {
        // Refused before anything ran; the library stays loaded as it is.
        library.Keep();
        message(kUnknownCommand);
        return;
    }

    const EntryPointId entryPoint =
        Attempt([&] { return ops.FindEntryPoint(library.Get(), entryPointName); }, EntryPointId::None);
    WorkerId started = WorkerId::None;
    if (entryPoint != EntryPointId::None) {
        pointer(PointerShape::Busy);
        started = Attempt([&] { return ops.StartWorker(entryPoint); }, WorkerId::None);
    }
    if (started == WorkerId::None) {
        pointer(PointerShape::Default);
        message(kNoEntryPointOrWorker);
        library.Reset();
        return;
    }

    // From here the worker may be running in the library's code: the library
    // may only be released once the worker has been seen to end.
    const LibraryId runningLibrary = library.Keep();
    Held<WorkerId> worker(ops, started);
    const std::uint32_t waited =
        Attempt([&] { return ops.WaitForWorker(worker.Get(), kRegistrationWaitMilliseconds); }, kNotWaited);
    if (waited != 0) {
        // Left for the end of the process: the worker may still run, and
        // the library must stay loaded under it.
        worker.Keep();
        pointer(PointerShape::Default);
        message(kNotEndedInTime);
        return;
    }

    // The entry point's own result is not looked at: ending in time is
    // success.
    worker.Reset();
    Attempt([&] { ops.FreeLibrary(runningLibrary); });
    pointer(PointerShape::Default);
}

}  // namespace velmora
