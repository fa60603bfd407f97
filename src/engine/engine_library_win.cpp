#include "engine/engine_library_win.h"

#include "common/failure_win.h"
#include "winsupport/text_win.h"

namespace velmora {

FARPROC EngineLibrary::Bind(const char* name) {
    if (!module_) {
        module_.reset(::LoadLibraryW(fileName_.c_str()));
        if (!module_) throw FailureFromLastError(fileName_);
    }
    FARPROC function = ::GetProcAddress(module_.get(), name);
    if (!function) throw FailureFromLastError();
    return function;
}

void EngineLibrary::Init() { Bound(init_, kEngineInitName)(); }

std::int16_t EngineLibrary::Start(const std::wstring& url, const std::wstring& localPath,
                                  EngineStatusVariables& variables) {
    const EngineStartFunction start = Bound(start_, kEngineStartName);
    const std::string narrowUrl = ToSystemCodePage(url);
    const std::string narrowPath = ToSystemCodePage(localPath);
    return start(narrowUrl.c_str(), narrowPath.c_str(), &variables.status, &variables.done,
                 &variables.total);
}

void EngineLibrary::Cleanup() { Bound(cleanup_, kEngineCleanupName)(); }

EngineLibrary& ProgramEngine() {
    static EngineLibrary engine;
    return engine;
}

}  // namespace velmora
