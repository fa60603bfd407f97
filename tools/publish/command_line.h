#pragma once
// The tool's three commands and their options, read from the command line.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <variant>

namespace velmora::publish {

struct KeygenOptions {
    std::filesystem::path privateKey;    // PEM, written with mode 0600
    std::filesystem::path publicHeader;  // C++ header for the engine's build
};

struct PublishOptions {
    std::filesystem::path key;
    std::filesystem::path release;
    std::filesystem::path out;
    std::uint64_t version = 0;
    std::int64_t expires = 0;  // seconds since 1970
    std::uint64_t minUpdater = 1;
    std::optional<std::filesystem::path> previous;
};

struct VerifyOptions {
    std::filesystem::path publicKey;  // .h from keygen, or PEM
    std::filesystem::path serverFolder;
};

using Command = std::variant<KeygenOptions, PublishOptions, VerifyOptions>;

// The command named by `arguments` (without the program name). Throws
// PublishError for an unknown command, a missing, repeated or unknown
// option, or a bad number or time.
Command ParseCommandLine(std::span<const std::string_view> arguments);

// How to call the tool, for errors and for no arguments.
extern const char kUsage[];

}  // namespace velmora::publish
