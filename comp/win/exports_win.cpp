// The three functions comp.dll exports (undecorated, through comp.def). No
// exception leaves them: a failure is a negative start result or a status.
#include <cstdint>
#include <new>

#include "contract/engine_contract.h"
#include "core/engine_version.h"
#include "engine_thread_win.h"

// The version this library reports to manifests' `min-updater` and to the
// server. Tests build a copy of the engine with a higher one.
#ifdef VELMORA_ENGINE_VERSION
constexpr std::uint64_t kThisEngineVersion = VELMORA_ENGINE_VERSION;
#else
constexpr std::uint64_t kThisEngineVersion = velmora::engine::kEngineVersion;
#endif

extern "C" {

std::int32_t VELMORA_ENGINE_CALL VelUpdaterInit() { return 0; }

std::int16_t VELMORA_ENGINE_CALL VelUpdateStart(const char* url, const char* localPath, std::int16_t* status,
                                                std::int32_t* done, std::int32_t* total) {
    try {
        return velmora::engine::StartEngine(url, localPath, status, done, total, kThisEngineVersion);
    } catch (...) {
        return velmora::engine::kCannotStart;
    }
}

std::int32_t VELMORA_ENGINE_CALL VelUpdaterCleanup() {
    try {
        velmora::engine::StopEngine();
    } catch (...) {
        // Only std::system_error from joining can come here; the run has been
        // told to stop either way.
    }
    return 0;
}

}  // extern "C"
