#pragma once
// The tool's three commands and their options, read from the command line.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "chunk_codec.h"

namespace velmora::publish {

struct KeygenOptions {
    std::filesystem::path privateKey;    // PEM, written with mode 0600
    std::filesystem::path publicHeader;  // C++ header for the engine's build
};

struct PublishOptions {
    std::filesystem::path key;  // PEM; its file names the key (key_name.h)
    std::filesystem::path release;
    std::filesystem::path out;
    std::uint64_t version = 0;
    std::int64_t expires = 0;  // seconds since 1970
    std::uint64_t minUpdater = 1;
    std::optional<std::filesystem::path> previous;
    // How many earlier manifests history/ keeps, newest first; their packs
    // stay in the server folder, so their chunks can be reused.
    std::uint64_t keepReleases = 3;
    // Folder URLs that serve the packs too (--mirror, in the order given),
    // each one an engine can use, none twice.
    std::vector<std::string> mirrors;
    // Threads that hash and compress chunks (--workers; by default one per
    // hardware thread). The output is the same for any count.
    unsigned workers = 1;
    // How hard chunks are compressed (--compression-level; chunk_codec.h).
    int compressionLevel = kDefaultCompressionLevel;
    // Whether to show the progress on the error stream, a terminal; set by
    // the program, not by an option.
    bool showProgress = false;
    // --player-file patterns (player_files.h): the files the player edits.
    std::vector<std::string> playerFiles;
};

// How far ahead of now --expires may lie without --allow-far-expiry: 400
// days, a yearly release with a month to spare. A signed manifest can be
// served again by anyone until it expires (to a fresh install, or to a
// player whose local manifest is older), so its expiry bounds how long an
// old publication stays usable against the players' will.
inline constexpr std::int64_t kMaxExpiryAheadSeconds = 400 * 24 * 60 * 60;

struct VerifyOptions {
    // The candidates, each a .h from keygen or PEM, from --public given once
    // or more: verify names the one that signed.
    std::vector<std::filesystem::path> publicKeys;
    std::filesystem::path serverFolder;
};

// --help (or -h, or help), alone or with a command: print the usage and
// succeed.
struct HelpRequest {};

using Command = std::variant<KeygenOptions, PublishOptions, VerifyOptions, HelpRequest>;

// The command named by `arguments` (without the program name); `now` is
// the current time in seconds since 1970. Throws PublishError for an
// unknown command, a missing, repeated or unknown option, a bad number or
// time, a --mirror that is not a folder URL an engine can use (or is given
// twice), or an expiry more than kMaxExpiryAheadSeconds after `now` without
// --allow-far-expiry.
Command ParseCommandLine(std::span<const std::string_view> arguments, std::int64_t now);

// How to call the tool, for --help and with errors.
extern const char kUsage[];

}  // namespace velmora::publish
