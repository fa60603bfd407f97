#pragma once
// The whole engine against the local server of engine_win_server.py, for
// the test files of each part of the engine: comp.dll loaded as the
// program loads it, an application folder with libs\, and the server's
// releases, folders and request log.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "contract/engine_contract.h"
#include "core/chunk_plan.h"
#include "core/data_url.h"
#include "core/manifest.h"
#include "core/manifest_parse.h"
#include "core/rate_floor.h"
#include "win/http_get_win.h"
#include "win/pack_fetch_win.h"
#include "engine/status_variables.h"
#include "support/test_folder.h"
#include "winsupport/owners_win.h"

namespace velmora::engine_server {

using namespace velmora::testing;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

inline std::string ServerUrl(const std::string& folder) { return Environment("VELMORA_TEST_SERVER") + folder; }
inline fs::path DataFolder() { return fs::path(Environment("VELMORA_TEST_DATA")); }

// comp.dll, loaded once and never unloaded, as the program does.
struct EngineFunctions {
    EngineInitFunction init = nullptr;
    EngineStartFunction start = nullptr;
    EngineCleanupFunction cleanup = nullptr;
};

// The comp.dll in `folder` beside the test program: engine\ holds the
// build's own, other folders engines trusting other keys.
inline const EngineFunctions& EngineIn(const std::wstring& folder) {
    static std::map<std::wstring, EngineFunctions> loaded;
    const auto [at, fresh] = loaded.try_emplace(folder);
    EngineFunctions& f = at->second;
    if (!fresh) return f;
    HMODULE library = ::LoadLibraryW((ProgramFolder() + L"\\" + folder + L"\\comp.dll").c_str());
    if (!library) return f;
    f.init = reinterpret_cast<decltype(f.init)>(reinterpret_cast<void*>(::GetProcAddress(library, kEngineInitName)));
    f.start = reinterpret_cast<decltype(f.start)>(reinterpret_cast<void*>(::GetProcAddress(library, kEngineStartName)));
    f.cleanup = reinterpret_cast<decltype(f.cleanup)>(reinterpret_cast<void*>(::GetProcAddress(library, kEngineCleanupName)));
    return f;
}

inline const EngineFunctions& Engine() { return EngineIn(L"engine"); }

struct RunResult {
    std::int16_t startResult = 0;
    std::vector<std::int16_t> statuses;  // each value seen, in order, repeats folded
    std::int32_t done = 0;
    std::int32_t total = 0;
};

inline std::string Sequence(const std::vector<std::int16_t>& statuses) {
    std::string text;
    for (const std::int16_t s : statuses) text += (text.empty() ? "" : " ") + std::to_string(s);
    return text;
}

// An application folder with libs\, entered as the working folder for the
// start call the way the window enters it.
class EngineWinServer : public ::testing::Test {
protected:
    void SetUp() override {
        appFolder_.emplace(L"velmora", AppParent());
        ASSERT_NE(Engine().start, nullptr) << "engine\\comp.dll did not load";
        ASSERT_FALSE(Environment("VELMORA_TEST_SERVER").empty()) << "run through engine_win_server.py";
        ASSERT_TRUE(::CreateDirectoryW(libs().c_str(), nullptr));
    }

    // Where the application folder is made: the temporary folder unless a
    // fixture says otherwise.
    virtual std::wstring AppParent() const { return L""; }
    const TestFolder& app() const { return *appFolder_; }
    std::wstring libs() const { return app() / L"libs"; }
    // An empty application folder again, as before the first run.
    void StartOver() {
        RemoveTree(app().Path());
        ASSERT_TRUE(::CreateDirectoryW(app().Path().c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(libs().c_str(), nullptr));
    }
    fs::path Installed(const std::string& path) const { return fs::path(app().Path()) / fs::path(path); }

    // Starts the engine with the application folder as the working folder,
    // as the window does.
    std::int16_t Start(const char* url, const char* path, EngineStatusVariables& variables, bool give = true,
                       const EngineFunctions& engine = Engine()) {
        wchar_t previous[MAX_PATH] = {};
        ::GetCurrentDirectoryW(MAX_PATH, previous);
        ::SetCurrentDirectoryW(app().Path().c_str());
        const std::int16_t result = engine.start(url, path, give ? &variables.status : nullptr, &variables.done,
                                                 &variables.total);
        ::SetCurrentDirectoryW(previous);
        return result;
    }

    // What a test does while a run goes on, given each status and done
    // sampled.
    using WhileRunning = std::function<void(std::int16_t status, std::int32_t done)>;

    // Starts the engine, samples the status as it goes until it ends (1 or
    // an error), then cleans up.
    RunResult UpdateFrom(const std::string& url, const EngineFunctions& engine = Engine(),
                         const WhileRunning& whileRunning = nullptr) {
        RunResult result;
        EngineStatusVariables variables;
        engine.init();
        result.startResult = Start(url.c_str(), "libs\\gamedata.vel", variables, true, engine);
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (result.startResult == 0 && Clock::now() < deadline) {
            const std::int16_t status = LoadShared(variables.status);
            if (status != 0 && (result.statuses.empty() || result.statuses.back() != status))
                result.statuses.push_back(status);
            if (status == 1 || status < 0) break;
            if (whileRunning) whileRunning(status, LoadShared(variables.done));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        engine.cleanup();
        result.done = LoadShared(variables.done);
        result.total = LoadShared(variables.total);
        return result;
    }
    RunResult Update(const std::string& folder, const EngineFunctions& engine = Engine(),
                     const WhileRunning& whileRunning = nullptr) {
        return UpdateFrom(ServerUrl(folder) + "/gamedata.vel", engine, whileRunning);
    }

    std::int16_t Final(const RunResult& run) const { return run.statuses.empty() ? 0 : run.statuses.back(); }

    // Every file of the release is installed with its content.
    void ExpectInstalled(const std::string& release) const {
        const fs::path root = DataFolder() / "releases" / release;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (!entry.is_regular_file()) continue;
            const fs::path relative = fs::relative(entry.path(), root);
            const std::string installed = ReadTextFile((fs::path(app().Path()) / relative).wstring());
            const std::string published = ReadTextFile(entry.path().wstring());
            EXPECT_TRUE(installed == published)
                << relative.string() << ": " << installed.size() << " bytes, published " << published.size();
        }
    }

    // The manifest text a server folder serves (through its head).
    std::string ServerManifest(const std::string& folder) const {
        return ReadTextFile((DataFolder() / "manifests" / (folder + ".vel")).wstring());
    }

    // nginx's answers since the last call: "<path> <bytes of the whole
    // answer>", the head included.
    std::vector<std::string> NewAnswers() {
        std::vector<std::string> answers;
        const std::vector<std::string> lines = ReadLines(fs::path(Environment("VELMORA_TEST_NGINX_LOG")).wstring());
        for (std::size_t i = std::min(seenAnswers_, lines.size()); i < lines.size(); ++i) {
            const std::string& line = lines[i];
            const std::size_t pathStart = line.find(' ') + 1;
            answers.push_back(line.substr(pathStart, line.find(' ', pathStart) - pathStart) + " " +
                              line.substr(line.rfind(' ') + 1));
        }
        seenAnswers_ = lines.size();
        return answers;
    }

    // Requests the server saw since the last call: "path\trange\tstatus".
    std::vector<std::string> NewRequests() { return NewLines("requests.log", seenRequests_); }
    // The same for the mirror server the spread-b-* manifests name.
    std::vector<std::string> NewMirrorRequests() { return NewLines("mirror-requests.log", seenMirrorRequests_); }

    static std::vector<std::string> NewLines(const char* log, std::size_t& seen) {
        std::vector<std::string> lines = ReadLines((DataFolder() / log).wstring());
        std::vector<std::string> fresh(lines.begin() + static_cast<std::ptrdiff_t>(std::min(seen, lines.size())),
                                       lines.end());
        seen = lines.size();
        return fresh;
    }

    // The files in staging, as paths relative to it.
    std::vector<std::string> StagingFiles() const {
        const fs::path staging = fs::path(libs()) / "staging";
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(staging, error))
            if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), staging).string());
        return names;
    }

    std::optional<TestFolder> appFolder_;
    std::size_t seenRequests_ = 0;
    std::size_t seenMirrorRequests_ = 0;
    std::size_t seenAnswers_ = 0;
};

// The statuses seen are in the run's order: 6, 3, 2 or 4, 7, 5, 1 (fast steps
// may pass unseen between two samples).
inline bool InRunOrder(const std::vector<std::int16_t>& seen) {
    const std::vector<std::int16_t> order = {6, 3, 2, 4, 7, 5, 1};
    auto at = order.begin();
    for (const std::int16_t s : seen) {
        at = std::find(at, order.end(), s);
        if (at == order.end()) return false;
    }
    return true;
}

}  // namespace velmora::engine_server
