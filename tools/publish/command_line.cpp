#include "command_line.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/data_url.h"
#include "core/decimal.h"
#include "core/engine_version.h"
#include "core/utc_time.h"
#include "publish_error.h"
#include "worker_threads.h"

namespace velmora::publish {

const char kUsage[] =
    "usage:\n"
    "  velmora-publish keygen <private-key.pem> <public-key.h>\n"
    "  velmora-publish publish --key <private.pem> --release <folder> --out <server folder>\n"
    "                          --version <n> --expires <YYYY-MM-DDTHH:MM:SSZ>\n"
    "                          [--min-updater <n>] [--previous <server folder>] [--keep-releases <n>]\n"
    "                          [--mirror <folder URL>...] [--allow-far-expiry] [--workers <n>]\n"
    "                          [--compression-level <1 quickest to 12 smallest, 6 by default>]\n"
    "                          [--player-file <pattern>...]\n"
    "  velmora-publish verify --public <public-key.h or .pem> [--public <another key>...] <server folder>\n"
    "  velmora-publish --help\n"
    "A key is named by its file: studio-2026-private.pem and studio-2026-public.h are studio-2026.\n";

namespace {

// More threads than this would only hold more chunks in memory.
constexpr std::uint64_t kMaxWorkers = 256;

// "--name value" pairs, the values of options that may be given more than
// once, "--name" flags and the plain arguments among them.
struct Arguments {
    std::map<std::string, std::string, std::less<>> options;
    std::map<std::string, std::vector<std::string>, std::less<>> repeated;
    std::set<std::string, std::less<>> flags;
    std::vector<std::string> plain;
};

Arguments Collect(std::span<const std::string_view> arguments, std::initializer_list<std::string_view> known,
                  std::initializer_list<std::string_view> knownFlags = {},
                  std::initializer_list<std::string_view> repeatable = {}) {
    Arguments result;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (!argument.starts_with("--")) {
            result.plain.emplace_back(argument);
            continue;
        }
        if (std::find(knownFlags.begin(), knownFlags.end(), argument) != knownFlags.end()) {
            if (!result.flags.emplace(argument).second) throw PublishError(std::string(argument) + " given twice");
            continue;
        }
        const bool repeats = std::find(repeatable.begin(), repeatable.end(), argument) != repeatable.end();
        if (!repeats && std::find(known.begin(), known.end(), argument) == known.end())
            throw PublishError("unknown option " + std::string(argument));
        if (i + 1 == arguments.size()) throw PublishError(std::string(argument) + " needs a value");
        if (repeats) {
            result.repeated[std::string(argument)].emplace_back(arguments[++i]);
            continue;
        }
        if (!result.options.emplace(argument, arguments[++i]).second)
            throw PublishError(std::string(argument) + " given twice");
    }
    return result;
}

const std::string& Required(const Arguments& arguments, std::string_view name) {
    const auto found = arguments.options.find(name);
    if (found == arguments.options.end()) throw PublishError(std::string(name) + " is required");
    return found->second;
}

std::uint64_t Number(std::string_view name, const std::string& text) {
    const auto value = engine::ParseDecimal(text);
    if (!value) throw PublishError(std::string(name) + " must be a whole number, not '" + text + "'");
    return *value;
}

// The expiry of --expires, refused when it lies further ahead of `now` than
// the limit and --allow-far-expiry is not given.
std::int64_t Expiry(const Arguments& arguments, std::int64_t now) {
    const std::string& text = Required(arguments, "--expires");
    const auto time = engine::ParseUtcTime(text);
    if (!time) throw PublishError("--expires must be a UTC time such as 2027-01-31T00:00:00Z, not '" + text + "'");
    if (*time - now > kMaxExpiryAheadSeconds && !arguments.flags.contains("--allow-far-expiry"))
        throw PublishError("--expires " + text + " is more than " +
                           std::to_string(kMaxExpiryAheadSeconds / (24 * 60 * 60)) +
                           " days ahead; anyone could serve this manifest until then. "
                           "Give --allow-far-expiry to publish it anyway");
    return *time;
}

// The --mirror values, in their order: folder URLs an engine can use, such
// as https://cdn.example/velmora/, each once.
std::vector<std::string> Mirrors(const Arguments& arguments) {
    const auto given = arguments.repeated.find("--mirror");
    if (given == arguments.repeated.end()) return {};
    const std::vector<std::string>& mirrors = given->second;
    for (auto at = mirrors.begin(); at != mirrors.end(); ++at) {
        if (!engine::ParseMirrorUrl(*at))
            throw PublishError("--mirror must be an http or https folder URL ending in '/', such as "
                               "https://cdn.example/velmora/, not '" + *at + "'");
        if (std::find(mirrors.begin(), at, *at) != at) throw PublishError("--mirror " + *at + " given twice");
    }
    return mirrors;
}

void RequirePlainCount(const Arguments& arguments, std::size_t count, std::string_view command) {
    if (arguments.plain.size() != count)
        throw PublishError(std::string(command) + " takes " + std::to_string(count) + " file argument" +
                           (count == 1 ? "" : "s"));
}

}  // namespace

Command ParseCommandLine(std::span<const std::string_view> arguments, std::int64_t now) {
    if (arguments.empty()) throw PublishError("no command given");
    const std::string_view command = arguments[0];
    // Asked of the tool or of one of its commands (velmora-publish publish
    // --help), help is the answer, whatever else is given.
    const auto asksHelp = [](std::string_view argument) { return argument == "--help" || argument == "-h"; };
    if (command == "help" || std::ranges::any_of(arguments, asksHelp)) return HelpRequest{};
    const auto rest = arguments.subspan(1);
    if (command == "keygen") {
        const Arguments parsed = Collect(rest, {});
        RequirePlainCount(parsed, 2, command);
        return KeygenOptions{parsed.plain[0], parsed.plain[1]};
    }
    if (command == "publish") {
        const Arguments parsed =
            Collect(rest,
                    {"--key", "--release", "--out", "--version", "--expires", "--min-updater", "--previous",
                     "--keep-releases", "--workers", "--compression-level"},
                    {"--allow-far-expiry"}, {"--mirror", "--player-file"});
        RequirePlainCount(parsed, 0, command);
        PublishOptions options;
        options.key = Required(parsed, "--key");
        options.release = Required(parsed, "--release");
        options.out = Required(parsed, "--out");
        options.version = Number("--version", Required(parsed, "--version"));
        options.expires = Expiry(parsed, now);
        options.minUpdater = engine::kEngineVersion;
        if (parsed.options.contains("--min-updater"))
            options.minUpdater = Number("--min-updater", Required(parsed, "--min-updater"));
        if (parsed.options.contains("--previous")) options.previous = Required(parsed, "--previous");
        if (parsed.options.contains("--keep-releases"))
            options.keepReleases = Number("--keep-releases", Required(parsed, "--keep-releases"));
        options.mirrors = Mirrors(parsed);
        options.workers = static_cast<unsigned>(std::min<std::uint64_t>(DefaultWorkerCount(), kMaxWorkers));
        if (parsed.options.contains("--workers")) {
            const std::uint64_t workers = Number("--workers", Required(parsed, "--workers"));
            if (workers == 0 || workers > kMaxWorkers)
                throw PublishError("--workers must be 1 to " + std::to_string(kMaxWorkers));
            options.workers = static_cast<unsigned>(workers);
        }
        if (parsed.options.contains("--compression-level")) {
            const std::uint64_t level = Number("--compression-level", Required(parsed, "--compression-level"));
            if (level < kQuickestCompressionLevel || level > kSmallestCompressionLevel)
                throw PublishError("--compression-level must be " + std::to_string(kQuickestCompressionLevel) +
                                   " to " + std::to_string(kSmallestCompressionLevel));
            options.compressionLevel = static_cast<int>(level);
        }
        if (const auto patterns = parsed.repeated.find("--player-file"); patterns != parsed.repeated.end())
            options.playerFiles = patterns->second;
        return options;
    }
    if (command == "verify") {
        const Arguments parsed = Collect(rest, {}, {}, {"--public"});
        RequirePlainCount(parsed, 1, command);
        const auto keys = parsed.repeated.find("--public");
        if (keys == parsed.repeated.end()) throw PublishError("--public is required");
        return VerifyOptions{{keys->second.begin(), keys->second.end()}, parsed.plain[0]};
    }
    throw PublishError("unknown command '" + std::string(command) + "'");
}

}  // namespace velmora::publish
