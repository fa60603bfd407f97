#include "engine_thread_win.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/cancel_flag.h"
#include "core/data_url.h"
#include "core/escaped_exception.h"
#include "core/long_path.h"
#include "file_ops_win.h"
#include "core/status_writer.h"
#include "error_text_win.h"
#include "update_run_win.h"

namespace velmora::engine {
namespace {

// What one run needs, owned by its thread's closure and the engine.
struct RunState {
    DataUrl url;
    RunPaths paths;
    std::uint64_t engineVersion = 0;
    StatusWriter status;
    CancelFlag cancel;
    std::atomic<bool> finished{false};
};

class Engine {
public:
    ~Engine() {
        // Reached when the library is unloaded or the process ends; a thread
        // still running cannot be waited for under the loader's lock.
        if (thread_.joinable()) {
            state_->cancel.Raise();
            thread_.detach();
        }
    }

    std::int16_t Start(std::unique_ptr<RunState> state) {
        std::lock_guard guard(mutex_);
        if (thread_.joinable()) {
            if (!state_->finished.load()) return kAlreadyRunning;
            thread_.join();
        }
        state_ = std::shared_ptr<RunState>(std::move(state));
        try {
            thread_ = std::thread([state = state_] { Work(*state); });
        } catch (const std::system_error&) {
            return kCannotStart;
        }
        return kStarted;
    }

    void Stop() {
        std::lock_guard guard(mutex_);
        if (!thread_.joinable()) return;
        state_->cancel.Raise();
        thread_.join();
    }

private:
    static void Work(RunState& state) {
        Result<void> outcome;
        try {
            outcome = RunUpdate(state.url, state.paths, state.engineVersion, state.status, state.cancel);
        } catch (...) {
            outcome = ErrorOfCurrentException();
        }
        if (!outcome && !IsStop(outcome.Error())) {
            state.status.Status(outcome.Error().status);
            // Not a log: a debugger, or Wine with WINEDEBUG=+debugstr, shows
            // why the run ended with this status.
            const std::string line = "comp.dll: status " + std::to_string(StatusCode(outcome.Error().status)) +
                                     ": " + outcome.Error().reason + "\n";
            ::OutputDebugStringA(line.c_str());
        }
        state.finished.store(true);
    }

    std::mutex mutex_;
    std::thread thread_;
    std::shared_ptr<RunState> state_;
};

Engine& TheEngine() {
    static Engine engine;
    return engine;
}

std::optional<RunPaths> ResolvePaths(const char* localPath) {
    const std::optional<std::wstring> relative = FromSystemCodePage(localPath ? localPath : "");
    if (!relative || relative->empty()) return std::nullopt;
    const DWORD length = ::GetFullPathNameW(relative->c_str(), 0, nullptr, nullptr);
    if (length == 0) return std::nullopt;
    std::wstring full(length, L'\0');
    const DWORD written = ::GetFullPathNameW(relative->c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return std::nullopt;
    full.resize(written);
    RunPaths paths{full, ParentFolder(full), {}};
    paths.gameFolder = ParentFolder(paths.libsFolder);
    if (paths.libsFolder.empty() || paths.gameFolder.empty() || paths.gameFolder == paths.libsFolder)
        return std::nullopt;
    // "C:\" keeps its backslash; joined paths must not get a second one.
    if (paths.gameFolder.back() == L'\\') paths.gameFolder.pop_back();
    // Every path the run makes is joined onto these two.
    paths.localManifest = ExtendedLengthPath(paths.localManifest);
    paths.libsFolder = ExtendedLengthPath(paths.libsFolder);
    paths.gameFolder = ExtendedLengthPath(paths.gameFolder);
    return paths;
}

}  // namespace

std::int16_t StartEngine(const char* url, const char* localPath, std::int16_t* status, std::int32_t* done,
                         std::int32_t* total, std::uint64_t engineVersion) {
    if (!url || !localPath || !StatusWriter::CanWrite(status, done, total)) return kBadArguments;
    std::optional<DataUrl> parsed = ParseDataUrl(url);
    if (!parsed) return kBadUrl;
    // Relative to the working folder of this call, the application folder.
    std::optional<RunPaths> paths = ResolvePaths(localPath);
    if (!paths) return kBadLocalPath;
    auto state = std::make_unique<RunState>();
    state->url = std::move(*parsed);
    state->paths = std::move(*paths);
    state->engineVersion = engineVersion;
    state->status = StatusWriter(status, done, total);
    return TheEngine().Start(std::move(state));
}

void StopEngine() { TheEngine().Stop(); }

}  // namespace velmora::engine
