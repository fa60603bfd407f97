#pragma once
// The binding to the update engine library. Each function is bound by name
// at its first call, and the library is loaded then by its bare file name, so
// the working folder at that moment decides where the system finds it.
// A library or function that cannot be found raises Failure with the
// system's error code and text.
#include <windows.h>

#include <cstdint>
#include <string>

#include "winsupport/owners_win.h"
#include "contract/engine_contract.h"
#include "engine/status_variables.h"

namespace velmora {

class EngineLibrary {
public:
    explicit EngineLibrary(std::wstring fileName = L"comp.dll") : fileName_(std::move(fileName)) {}

    void Init();
    // Starts the engine on url and localPath (converted to the system code
    // page) and hands it the addresses of the variables it fills.
    std::int16_t Start(const std::wstring& url, const std::wstring& localPath,
                       EngineStatusVariables& variables);
    void Cleanup();

private:
    FARPROC Bind(const char* name);
    template <typename F>
    F Bound(F& slot, const char* name) {
        if (!slot) slot = reinterpret_cast<F>(reinterpret_cast<void*>(Bind(name)));
        return slot;
    }

    std::wstring fileName_;
    UniqueModule module_;
    EngineInitFunction init_ = nullptr;
    EngineStartFunction start_ = nullptr;
    EngineCleanupFunction cleanup_ = nullptr;
};

// The program's one engine.
EngineLibrary& ProgramEngine();

}  // namespace velmora
