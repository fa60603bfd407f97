// Building contents from their chunks, against the local server: a chunk or
// a whole content that is not what was signed is placed nowhere.
#include "support/engine_server_fixture.h"

namespace velmora::engine_server {

TEST_F(EngineWinServer, TamperedChunkIsTheWrongFileAndLeavesTheInstallAlone) {
    ASSERT_EQ(Final(Update("/first")), 1);
    const RunResult run = Update("/tampered");
    EXPECT_EQ(Final(run), -7) << Sequence(run.statuses);
    ExpectInstalled("first");
    EXPECT_EQ(ReadTextFile(libs() + L"\\gamedata.vel"), ServerManifest("first"));
    EXPECT_FALSE(fs::exists(Installed("data/new/extra.bin"))) << "nothing is placed before all is verified";
}

// world.pak's chunk lines in another order than its content, signed: each
// chunk checks, the file they make does not. Nothing is placed, and what was
// built of it is gone; the correct release installs next.
TEST_F(EngineWinServer, ChunksThatDoNotMakeTheSignedFileArePlacedNowhere) {
    const std::string manifest = ServerManifest("swapped");
    const std::size_t line = manifest.rfind("\nfile ", manifest.find(" data/maps/world.pak\n"));
    ASSERT_NE(line, std::string::npos);
    const std::string content = manifest.substr(line + 6, 64);

    const RunResult run = Update("/swapped");
    EXPECT_EQ(Final(run), -7) << Sequence(run.statuses);
    EXPECT_FALSE(fs::exists(Installed("data"))) << "nothing is placed before all is verified";
    EXPECT_FALSE(fs::exists(Installed("velmora.exe")));
    for (const std::string& file : StagingFiles()) EXPECT_EQ(file.find(content), std::string::npos) << file;

    EXPECT_EQ(Final(Update("/first")), 1);
    ExpectInstalled("first");
}

}  // namespace velmora::engine_server
