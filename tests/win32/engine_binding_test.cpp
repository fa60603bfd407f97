#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <thread>

#include "common/failure_win.h"
#include "engine/engine_library_win.h"
#include "support/test_folder.h"

namespace velmora {
namespace {

using namespace velmora::testing;

// An application folder with libs\comp.dll (the scripted engine) and a
// scenario, entered as the working folder the way the window enters it.
class EngineLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::GetCurrentDirectoryW(MAX_PATH, previousFolder);
        ASSERT_TRUE(::CreateDirectoryW(libs().c_str(), nullptr));
        CopyFixture(L"comp.dll", libs() + L"\\comp.dll");
    }
    void TearDown() override { ::SetCurrentDirectoryW(previousFolder); }

    std::wstring libs() const { return app / L"libs"; }
    std::wstring log() const { return libs() + L"\\comp-log.txt"; }
    void Scenario(const std::string& text) { WriteTextFile(libs() + L"\\comp-scenario.txt", text); }

    // Init under libs, Start under the application folder.
    std::int16_t InitAndStart(EngineLibrary& engine, EngineStatusVariables& variables) {
        EXPECT_TRUE(::SetCurrentDirectoryW(libs().c_str()));
        engine.Init();
        EXPECT_TRUE(::SetCurrentDirectoryW(app.Path().c_str()));
        return engine.Start(L"http://127.0.0.1:8780/oficial/gamedata.vel", L"libs\\gamedata.vel", variables);
    }

    TestFolder app;
    wchar_t previousFolder[MAX_PATH] = {};
};

std::string Hex(const void* p) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(p)));
    return text;
}

TEST_F(EngineLibraryTest, PassesTheExactArgumentsAndResult) {
    Scenario("start -3\n");
    EngineLibrary engine;
    EngineStatusVariables variables;
    EXPECT_EQ(InitAndStart(engine, variables), -3);
    engine.Cleanup();

    const auto init = LinesNamed(log(), "VelUpdaterInit");
    ASSERT_EQ(init.size(), 1u);
    EXPECT_EQ(Field(init[0], "cwd"), Utf8(libs()));

    const auto start = LinesNamed(log(), "VelUpdateStart");
    ASSERT_EQ(start.size(), 1u);
    EXPECT_EQ(Field(start[0], "url"), "http://127.0.0.1:8780/oficial/gamedata.vel");
    EXPECT_EQ(Field(start[0], "path"), "libs\\gamedata.vel");
    EXPECT_EQ(Field(start[0], "cwd"), Utf8(app.Path()));
    EXPECT_EQ(Field(start[0], "status"), Hex(&variables.status));
    EXPECT_EQ(Field(start[0], "done"), Hex(&variables.done));
    EXPECT_EQ(Field(start[0], "total"), Hex(&variables.total));
    EXPECT_NE(Field(start[0], "status"), Field(start[0], "done"));
    EXPECT_NE(Field(start[0], "done"), Field(start[0], "total"));
    EXPECT_EQ(LinesNamed(log(), "VelUpdaterCleanup").size(), 1u);
}

TEST_F(EngineLibraryTest, ValuesTheEngineWritesAreSeen) {
    Scenario("0 status 4 total 52428800 done 300000\n300 status -6\n");
    EngineLibrary engine;
    EngineStatusVariables variables;
    EXPECT_EQ(InitAndStart(engine, variables), 0);
    auto waitFor = [&](std::int16_t status) {
        for (int i = 0; i < 200 && LoadShared(variables.status) != status; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return LoadShared(variables.status);
    };
    EXPECT_EQ(waitFor(4), 4);
    EXPECT_EQ(LoadShared(variables.done), 300000);
    EXPECT_EQ(LoadShared(variables.total), 52428800);
    EXPECT_EQ(waitFor(-6), -6);
    engine.Cleanup();
}

TEST_F(EngineLibraryTest, CleanupStopsTheEngineBeforeItReturns) {
    Scenario("0 status 3\n400 status 4\n");
    EngineLibrary engine;
    EngineStatusVariables variables;
    InitAndStart(engine, variables);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    engine.Cleanup();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(LoadShared(variables.status), 3) << "the engine wrote after its cleanup";
    const auto lines = ReadLines(log());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().substr(0, lines.back().find('\t')), "VelUpdaterCleanup");
    EXPECT_EQ(Field(lines.back(), "thread"), "stopped");
}

// A library or function that is not there raises the system's error.
TEST(EngineLibraryFailures, MissingLibraryOrFunctionRaisesTheSystemError) {
    TestFolder folder;
    CopyFixture(L"partial_engine.dll", folder / L"partial_engine.dll");
    EngineLibrary noLibrary(L"velmora-no-such-engine.dll");
    EngineLibrary partial(folder / L"partial_engine.dll");
    partial.Init();  // present in the library
    const struct {
        const char* name;
        EngineLibrary& engine;
        void (EngineLibrary::*call)();
        DWORD error;
    } cases[] = {
        {"no library", noLibrary, &EngineLibrary::Init, ERROR_MOD_NOT_FOUND},
        {"no VelUpdaterCleanup", partial, &EngineLibrary::Cleanup, ERROR_PROC_NOT_FOUND},
    };
    for (const auto& c : cases) {
        try {
            (c.engine.*c.call)();
            ADD_FAILURE() << c.name << ": no failure raised";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.Number(), static_cast<std::uint32_t>(c.error)) << c.name;
            EXPECT_EQ(failure.Description(), SystemErrorText(c.error)) << c.name;
            EXPECT_FALSE(failure.Description().empty()) << c.name;
        }
    }
}

}  // namespace
}  // namespace velmora
