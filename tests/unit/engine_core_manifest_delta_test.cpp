// Manifest deltas: the engine's applier refuses whatever is not a delta of
// the text it holds, however the pieces come, and gives back exactly what
// the publishing tool's deltas were made from.
#include <gtest/gtest.h>

#include <string>

#include "core/manifest_delta.h"
#include "core/manifest_write.h"
#include "engine_core_test_support.h"
#include "manifest_delta_writer.h"

namespace velmora::engine {
namespace {

using testing::FileEntry;
using testing::ManifestWith;

// `delta` applied to `old` for a text of `newSize` bytes, fed in pieces of
// `piece` bytes; `out` receives the new text.
Result<void> Apply(std::string_view old, std::uint64_t newSize, const std::string& delta, std::size_t piece,
                   std::string& out) {
    ManifestDeltaApplier applier(old, newSize, [&out](std::string_view bytes) {
        out += bytes;
        return Result<void>();
    });
    for (std::size_t at = 0; at < delta.size(); at += piece)
        if (auto fed = applier.Feed(std::string_view(delta).substr(at, piece)); !fed) return fed;
    return applier.Finish();
}

TEST(ManifestDelta, RefusesAnythingButAnExactDeltaOfTheOldText) {
    const std::string old = "line one\nline two\nline three\n";  // 9, 9 and 11 bytes
    const std::string next = "line two\nnew\n";
    const struct {
        const char* name;
        std::string delta;
        bool ok;
    } cases[] = {
        {"a copy and an add", "VELDELTA 1\ncopy 9 9\nadd 4\nnew\n", true},
        {"another form", "VELDELTA 2\ncopy 9 9\nadd 4\nnew\n", false},
        {"no first line", "copy 9 9\nadd 4\nnew\n", false},
        {"a copy running past the old text", "VELDELTA 1\ncopy 25 5\nadd 4\nnew\n", false},
        {"a copy starting past the old text", "VELDELTA 1\ncopy 30 1\n", false},
        {"a copy whose end overflows", "VELDELTA 1\ncopy 9 18446744073709551615\n", false},
        {"a leading zero", "VELDELTA 1\ncopy 09 9\nadd 4\nnew\n", false},
        {"an empty copy", "VELDELTA 1\ncopy 0 0\ncopy 9 9\nadd 4\nnew\n", false},
        {"two blanks", "VELDELTA 1\ncopy 9  9\nadd 4\nnew\n", false},
        {"a copy without its length", "VELDELTA 1\ncopy 9\n", false},
        {"an unknown operation", "VELDELTA 1\nmove 9 9\nadd 4\nnew\n", false},
        {"an add beyond the new size", "VELDELTA 1\ncopy 9 9\nadd 5\nnew\nx", false},
        {"a copy beyond the new size", "VELDELTA 1\nadd 4\nnew\ncopy 0 18\n", false},
        {"less than the new size", "VELDELTA 1\ncopy 9 9\n", false},
        {"cut inside an add", "VELDELTA 1\ncopy 9 9\nadd 4\nne", false},
        {"cut inside an operation's line", "VELDELTA 1\ncopy 9 9\nadd 4\nnew\ncop", false},
        {"a line longer than any operation", "VELDELTA 1\ncopy 9 " + std::string(70, '9') + "\n", false},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : {c.delta.size() + 1, std::size_t{1}, std::size_t{5}}) {
            std::string out;
            const Result<void> result = Apply(old, next.size(), c.delta, piece, out);
            EXPECT_EQ(result.Ok(), c.ok) << c.name << ", pieces of " << piece;
            EXPECT_LE(out.size(), next.size()) << c.name << ": never more than the new size comes out";
            if (c.ok)
                EXPECT_EQ(out, next) << c.name;
            else
                EXPECT_EQ(result.Error().status, EngineStatus::InvalidFormat) << c.name;
        }
    }
    // Endless operations, each well inside the bounds, end at the limit of
    // a delta's length.
    std::string endless(kManifestDeltaFirstLine);
    while (endless.size() <= ManifestDeltaLimit(1000)) endless += "copy 0 1\n";
    std::string out;
    const Result<void> result = Apply(std::string(1000, 'x'), 1000, endless, 4096, out);
    ASSERT_FALSE(result);
    EXPECT_NE(result.Error().reason.find("longer than"), std::string::npos) << result.Error().reason;
}

std::string ManifestText(const Manifest& manifest) {
    ManifestSignature signature{};
    signature[0] = static_cast<std::uint8_t>(manifest.version);
    return WithSignature(ManifestBody(manifest), signature);
}

TEST(ManifestDelta, TheToolsDeltasGiveTheNewTextExactly) {
    // Distinct contents of one stored size: a changed file moves no other
    // chunk, as the tool's new packs do not.
    std::vector<testing::ListedFile> files;
    for (int i = 0; i < 200; ++i)
        files.push_back(
            FileEntry("data/file-" + std::to_string(i) + ".pak", static_cast<std::uint8_t>(i + 1), 1 << 20, 700000));
    const std::string release1 = ManifestText(ManifestWith(1, files));
    files[150] = FileEntry("data/file-150.pak", 0xf0, 1 << 20, 700000);
    Manifest manifest2 = ManifestWith(2, files);
    const std::string release2 = ManifestText(manifest2);
    std::rotate(manifest2.files.begin(), manifest2.files.begin() + 120, manifest2.files.end());
    const std::string reordered = ManifestText(manifest2);
    const struct {
        const char* name;
        std::string old, next;
        std::size_t atMost;  // the delta's size, to see lines were matched
    } cases[] = {
        {"one file of 200 changed", release1, release2, 1500},
        {"the files in another order", release2, reordered, 200},
        {"from nothing", "", release1, release1.size() + 40},
        {"to one line without a newline", "a\nb\n", "b\nc", 40},
        {"a repeated line", "x\ny\n", "y\ny\ny\nx\n", 60},
    };
    for (const auto& c : cases) {
        const std::string delta = publish::ManifestDeltaText(c.old, c.next);
        EXPECT_LE(delta.size(), c.atMost) << c.name;
        std::string out;
        const Result<void> result = Apply(c.old, c.next.size(), delta, 777, out);
        EXPECT_TRUE(result) << c.name << ": " << (result ? "" : result.Error().reason);
        EXPECT_TRUE(out == c.next) << c.name;
    }
}

}  // namespace
}  // namespace velmora::engine
