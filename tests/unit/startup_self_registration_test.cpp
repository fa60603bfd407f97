#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/failure.h"
#include "startup/self_registration.h"

namespace velmora {
namespace {

constexpr LibraryId kLibrary{16};
constexpr EntryPointId kEntryPoint{32};
constexpr WorkerId kWorker{48};

std::string Ascii(std::wstring_view text) {
    std::string ascii;
    for (wchar_t c : text) ascii += c < 128 ? static_cast<char>(c) : '?';
    return ascii;
}

// Records every platform call in order, with the values it was given, and
// plays what the case sets up. A call named in raiseOn is recorded and then
// raises Failure.
class RecordingRegistration final : public RegistrationOperations {
public:
    bool loads = true;
    bool hasEntryPoint = true;
    bool workerStarts = true;
    std::uint32_t waitResult = 0;
    std::string raiseOn;
    std::vector<std::string> calls;

    LibraryId LoadLibraryAt(const std::wstring& path) override {
        Record("load " + Ascii(path));
        return loads ? kLibrary : LibraryId::None;
    }
    EntryPointId FindEntryPoint(LibraryId library, const char* name) override {
        Record("find " + Id(library) + " " + name);
        return hasEntryPoint ? kEntryPoint : EntryPointId::None;
    }
    void SetPointer(PointerShape shape) override {
        Record(shape == PointerShape::Busy ? "pointer busy" : "pointer default");
    }
    WorkerId StartWorker(EntryPointId entryPoint) override {
        Record("start " + Id(entryPoint));
        return workerStarts ? kWorker : WorkerId::None;
    }
    std::uint32_t WaitForWorker(WorkerId worker, std::uint32_t milliseconds) override {
        Record("wait " + Id(worker) + " " + std::to_string(milliseconds));
        return waitResult;
    }
    void CloseWorker(WorkerId worker) override { Record("close " + Id(worker)); }
    void FreeLibrary(LibraryId library) override { Record("free " + Id(library)); }
    void ShowMessage(std::wstring_view text) override { Record("message " + Ascii(text)); }

private:
    template <typename T>
    static std::string Id(T id) {
        return std::to_string(static_cast<std::uintptr_t>(id));
    }
    void Record(const std::string& call) {
        calls.push_back(call);
        if (!raiseOn.empty() && call.rfind(raiseOn, 0) == 0) throw Failure(5, L"raised by the fake");
    }
};

const std::wstring kPath = L"C:\\Games\\Velmora\\libs\\mbprgbar.ocx";
const std::string kLoad = "load C:\\Games\\Velmora\\libs\\mbprgbar.ocx";
const std::string kLoadFailed = "message Failure loading control DLL";
const std::string kUnknown = "message Unknown command handle";
const std::string kFailureA = "message Process failed in obtaining entry point or creating thread.";
const std::string kFailureB = "message Process failed in signaled state or time-out.";

using Calls = std::vector<std::string>;

Calls Succeeds(const std::string& entryPoint) {
    return {kLoad, "find 16 " + entryPoint, "pointer busy", "start 32", "wait 48 10000", "close 48", "free 16",
            "pointer default"};
}

TEST(SelfRegisterLibrary, CommandsPickTheEntryPointOrAreRefused) {
    const struct {
        std::wstring command;
        Calls calls;
    } cases[] = {
        {L"", Succeeds("DllRegisterServer")},
        {L"U", Succeeds("DllUnregisterServer")},
        {L"u", Succeeds("DllUnregisterServer")},
        // Refused after the load, before anything runs; the library stays.
        {L"x", {kLoad, kUnknown}},
        {L"UU", {kLoad, kUnknown}},
        {L"U ", {kLoad, kUnknown}},
        {L" ", {kLoad, kUnknown}},
        {L"R", {kLoad, kUnknown}},
    };
    for (const auto& c : cases) {
        RecordingRegistration platform;
        SelfRegisterLibrary(platform, kPath, c.command);
        EXPECT_EQ(platform.calls, c.calls) << "command \"" << Ascii(c.command) << "\"";
    }
}

// Each failure shows its message and releases only what is safe. A step
// that raises instead of giving a failure value is skipped: the routine goes
// on as if the step had given nothing, and nothing reaches the caller.
TEST(SelfRegisterLibrary, FailuresAndStepsThatRaise) {
    const Calls noEntryPoint = {kLoad, "find 16 DllRegisterServer", "pointer default", kFailureA, "free 16"};
    const Calls noWorker = {kLoad, "find 16 DllRegisterServer", "pointer busy", "start 32",
                            "pointer default", kFailureA, "free 16"};
    // The worker was not seen to end and may still run in the library:
    // nothing is released.
    const Calls notEnded = {kLoad, "find 16 DllRegisterServer", "pointer busy", "start 32",
                            "wait 48 10000", "pointer default", kFailureB};
    const struct {
        const char* name;
        void (*setUp)(RecordingRegistration&);
        std::string raiseOn;
        Calls calls;
    } cases[] = {
        {"library does not load", [](RecordingRegistration& p) { p.loads = false; }, "", {kLoad, kLoadFailed}},
        {"no entry point", [](RecordingRegistration& p) { p.hasEntryPoint = false; }, "", noEntryPoint},
        {"no worker", [](RecordingRegistration& p) { p.workerStarts = false; }, "", noWorker},
        {"time-out", [](RecordingRegistration& p) { p.waitResult = 258; }, "", notEnded},
        {"wait failed", [](RecordingRegistration& p) { p.waitResult = 0xFFFFFFFF; }, "", notEnded},
        {"wait abandoned", [](RecordingRegistration& p) { p.waitResult = 0x80; }, "", notEnded},
        {"load raises", [](RecordingRegistration&) {}, "load", {kLoad, kLoadFailed}},
        {"find raises", [](RecordingRegistration&) {}, "find", noEntryPoint},
        {"busy pointer raises", [](RecordingRegistration&) {}, "pointer busy", Succeeds("DllRegisterServer")},
        {"start raises", [](RecordingRegistration&) {}, "start", noWorker},
        {"wait raises", [](RecordingRegistration&) {}, "wait", notEnded},
        {"close raises", [](RecordingRegistration&) {}, "close", Succeeds("DllRegisterServer")},
        {"free raises", [](RecordingRegistration&) {}, "free", Succeeds("DllRegisterServer")},
        {"default pointer raises", [](RecordingRegistration&) {}, "pointer default", Succeeds("DllRegisterServer")},
        {"message raises", [](RecordingRegistration& p) { p.hasEntryPoint = false; }, "message", noEntryPoint},
        {"message raises after time-out", [](RecordingRegistration& p) { p.waitResult = 258; }, "message",
         notEnded},
    };
    for (const auto& c : cases) {
        RecordingRegistration platform;
        c.setUp(platform);
        platform.raiseOn = c.raiseOn;
        EXPECT_NO_THROW(SelfRegisterLibrary(platform, kPath, L"")) << c.name;
        EXPECT_EQ(platform.calls, c.calls) << c.name;
    }
}

}  // namespace
}  // namespace velmora
