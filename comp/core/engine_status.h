#pragma once
// The result type of the engine's core: either a value or the error status
// the engine reports (one of the contract's status codes), with a reason in
// English for whoever debugs it (the player only ever sees the status line of
// the code).
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "contract/engine_contract.h"

namespace velmora::engine {

// The codes are the contract's; the core names them as its own.
using velmora::EngineStatus;
using velmora::StatusCode;

struct EngineError {
    EngineStatus status;
    std::string reason;
    // The machine's trouble (a full disk, a file another program holds),
    // not the data's: what was downloaded so far is kept for the next run.
    bool local = false;
};

// Only data that failed its check is thrown away.
inline bool FailedVerification(const EngineError& error) {
    return error.status == EngineStatus::WrongFile && !error.local;
}

inline EngineError InvalidFormat(std::string reason) {
    return {EngineStatus::InvalidFormat, std::move(reason)};
}

// A value of type T, or the error that stopped it from being made.
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(EngineError error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool Ok() const noexcept { return state_.index() == 0; }
    explicit operator bool() const noexcept { return Ok(); }

    // Only when Ok().
    T& Value() & { return std::get<0>(state_); }
    const T& Value() const& { return std::get<0>(state_); }
    T&& Value() && { return std::get<0>(std::move(state_)); }
    // Only when !Ok().
    const EngineError& Error() const { return std::get<1>(state_); }

private:
    std::variant<T, EngineError> state_;
};

// Success with nothing to give, or the error.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(EngineError error) : error_(std::move(error)) {}

    bool Ok() const noexcept { return !error_.has_value(); }
    explicit operator bool() const noexcept { return Ok(); }
    // Only when !Ok().
    const EngineError& Error() const { return *error_; }

private:
    std::optional<EngineError> error_;
};

}  // namespace velmora::engine
