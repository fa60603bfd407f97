#include "core/escaped_exception.h"

#include <exception>
#include <new>
#include <string>
#include <system_error>

namespace velmora::engine {
namespace {

// Building a longer reason may itself run out of memory.
EngineError LocalTrouble(const char* what, const char* detail) noexcept {
    try {
        return {EngineStatus::WrongFile, std::string(what) + detail, true};
    } catch (...) {
        return OutOfMemory();
    }
}

}  // namespace

EngineError OutOfMemory() noexcept { return {EngineStatus::WrongFile, "out of memory", true}; }

EngineError ErrorOfCurrentException() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return OutOfMemory();
    } catch (const std::system_error& error) {
        return LocalTrouble("the system refused: ", error.what());
    } catch (const std::exception& error) {
        return LocalTrouble("unexpected: ", error.what());
    } catch (...) {
        return LocalTrouble("unexpected failure", "");
    }
}

}  // namespace velmora::engine
