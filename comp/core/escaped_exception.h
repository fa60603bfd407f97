#pragma once
// The status of an exception that reached a boundary of the engine (a
// worker thread, the engine's own thread): none may end the process, each
// ends the run with a status instead.
#include "core/engine_status.h"

namespace velmora::engine {

// Out of memory is the machine's trouble, not the data's or the network's:
// -7 as local trouble, so nothing downloaded so far is thrown away. The
// reason fits a string's inline buffer, so making it allocates nothing.
EngineError OutOfMemory() noexcept;

// The error of the exception being handled; call it only inside a catch
// block. Out of memory as above; a thread that cannot start
// (std::system_error) and anything else unexpected are local trouble (-7)
// too, named in the reason.
EngineError ErrorOfCurrentException() noexcept;

}  // namespace velmora::engine
