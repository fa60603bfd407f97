#pragma once
// The status codes the engine writes into the front-end's status variable,
// and the result type of the core: either a value or the error status the
// engine reports, with a reason in English for whoever debugs it (the player
// only ever sees the status line of the code).
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace velmora::engine {

enum class EngineStatus : std::int16_t {
    UpToDate = 1,             // the game folder matches the manifest
    DownloadingClient = 2,    // no local manifest: the whole client
    LookingForChanges = 3,    // fetching and checking the server's manifest
    DownloadingChanges = 4,
    Saving = 5,               // moving files into place, writing the local manifest
    ReadingLocalManifest = 6,
    Extracting = 7,           // unpacking and verifying
    HostNotResolved = -1,
    ConnectionRefused = -2,
    TimedOut = -3,
    ConnectionFailed = -4,
    ServerError = -5,         // 4xx/5xx, or a second engine works on the folder
    TransferBroken = -6,      // connection dropped, body shorter than announced
    WrongFile = -7,           // size or SHA-256 does not match the manifest
    UpdaterObsolete = -8,     // the manifest requires a newer engine
    InvalidFormat = -9,       // unparseable, bad signature, unsafe path, rollback, expired
};

// The value written into the 16-bit status variable.
constexpr std::int16_t StatusCode(EngineStatus status) noexcept {
    return static_cast<std::int16_t>(status);
}

struct EngineError {
    EngineStatus status;
    std::string reason;
};

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
