// Times the manifest reader on a generated manifest just under the 32 MiB
// limit whose files all sit 115 folders deep, the worst case for the check
// that no path is another one's folder; then reads and plans the manifests
// of a 100 GB game (200,000 files, 800,000 chunks), a fresh install and an
// update from the release before (with the record of placed files such an
// install has), timing it and counting the heap it takes at most: the
// parsed forms, the plan and the pieces of the texts, which are read from
// files as the engine reads them. Not a
// test: run it by hand with an optimised build
// (tools/measure/manifest-reading) and compare the numbers.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <span>
#include <string>

#include "core/apply_plan.h"
#include "core/chunk_plan.h"
#include "core/hex.h"
#include "core/known_contents.h"
#include "core/manifest.h"
#include "core/manifest_content.h"
#include "core/manifest_parse.h"
#include "core/placed_files.h"
#include "game_manifest.h"
#include "heap_count.h"

namespace {

using namespace velmora::engine;

// The deep case keeps the size of the limit it was first measured at, so
// that its numbers stay comparable.
constexpr std::size_t kDeepManifestBytes = 32u * 1024 * 1024;

std::string DeepManifest() {
    constexpr std::uint64_t kFileSize = 1000;
    std::string folders;
    for (int i = 0; i < 115; ++i) folders += "a/";
    const std::string head = "VELMANIFEST " + std::to_string(kManifestFormat) + "\nversion 1\nexpires 2099-01-01T00:00:00Z\nmin-updater 1\n";
    // Room for the pack line, written once the files are counted, and the
    // signature line.
    const std::size_t room = kDeepManifestBytes - head.size() - 100 - 139;
    std::string files;
    std::uint64_t count = 0;
    for (;; ++count) {
        Sha256Digest sha{};
        for (int b = 0; b < 4; ++b) sha[b] = static_cast<std::uint8_t>(count >> (8 * b));
        const std::string hex = ToHex(sha);
        const std::string size = std::to_string(kFileSize);
        const std::string lines = "file " + hex + " " + size + " " + folders + "f" + std::to_string(count) +
                                  "\nchunk 0 " + std::to_string(count * kFileSize) + " " + hex + " " + size + " " +
                                  size + "\n";
        if (files.size() + lines.size() > room) break;
        files += lines;
    }
    const std::string pack = "pack " + std::string(64, 'a') + " " + std::to_string(count * kFileSize) + "\n";
    return head + pack + files + "signature " + std::string(128, 'a') + "\n";
}

template <class Work>
double BestOfThree(Work work) {
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// Every listed file is on the disk with the size of the generated files and
// the stamp the record of placed files saw.
class AllFilesThere : public InstalledFiles {
public:
    std::optional<std::uint64_t> FileSize(std::string_view) const override { return kGameFileSize; }
    std::optional<FileStamp> Stamp(std::string_view) const override { return FileStamp{kGameFileSize, kGameLastWrite}; }
};

constexpr std::uint64_t kGameFiles = 200000;
constexpr double kMiB = 1024.0 * 1024.0;

// A file of its own under the system's temporary folder.
std::string TemporaryFile(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("velmora-manifest-reading-" + name)).string();
}

// The record of placed files, read from its file in pieces as the engine
// reads it, beside the local manifest's files it shares what it can with.
PlacedFiles ReadPlacedRecord(const std::string* placedFile, std::span<const ManifestFile> alike) {
    if (!placedFile) return {};
    return ReadPlacedFiles([&](const TextPieces& take) { return ReadPieces(*placedFile, UINT64_MAX, take); }, alike)
        .value_or(PlacedFiles());
}

int Refused(const EngineError& error) {
    std::fprintf(stderr, "generated manifest refused: %s\n", error.reason.c_str());
    return 1;
}

// Writes the record the run keeps while it moves files to `path`, in
// pieces, as the engine does.
void WritePlacedRecord(const std::string& path, const ApplyPlan& plan, const Manifest& release,
                       const std::vector<bool>& placing) {
    std::ofstream file(path, std::ios::binary);
    const Result<void> written = plan.known.WriteWhileMoving(release, placing, [&](std::string_view piece) {
        file.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        return Result<void>();
    });
    if (!written || !file) std::fprintf(stderr, "cannot write %s\n", path.c_str());
}

// Reads the release (and, for an update, the local manifest and the record
// of placed files) from their files and plans the run as the engine does:
// which contents to build, which chunks they need and which of those the
// install holds, the ranges that fetch the rest, and the record of placed
// files written before the first move. The texts are in files, as the
// engine's are: the heap counted holds the parsed manifests and record, the
// plan and the pieces being read and written.
int GameRow(const char* what, const std::string& remoteFile, const std::string* localFile,
            const std::string* placedFile) {
    heap_count::Reset();
    const std::size_t before = heap_count::Held();
    const auto start = std::chrono::steady_clock::now();
    // The engine checks the local manifest's signature and first lines,
    // then reads its body (its chunk lines as keys) and the record of
    // placed files beside, while it fetches and reads the release.
    std::optional<CheckedFileForBenchmark> checkedLocal;
    if (localFile) {
        auto checked = CheckManifestFileForBenchmark(*localFile);
        if (!checked) return Refused(checked.Error());
        checkedLocal = std::move(checked).Value();
    }
    auto beside = std::async(std::launch::async, [&] {
        auto local = checkedLocal ? ReadManifestBodyForBenchmark(*checkedLocal, ChunkLinesKept::KeysOnly)
                                  : Result<Manifest>(Manifest{});
        PlacedFiles record =
            ReadPlacedRecord(placedFile, local ? std::span<const ManifestFile>(local.Value().files)
                                               : std::span<const ManifestFile>());
        return std::make_pair(std::move(local), std::move(record));
    });
    // The release is read lean: its chunk digests are read again from its
    // text as chunks are checked, outside what this counts.
    auto remote = ReadManifestFileForBenchmark(remoteFile, ChunkLinesKept::KeysAndPlaces);
    const auto [local, record] = beside.get();
    if (!local) return Refused(local.Error());
    if (!remote) return Refused(remote.Error());
    const Manifest* localManifest = localFile ? &local.Value() : nullptr;
    const AllFilesThere disk;
    const ApplyInputs inputs{&remote.Value(), localManifest, nullptr, false};
    const ApplyPlan plan = PlanApply(inputs, KnownContents(&record, localManifest, nullptr), disk);
    const NeededChunks needed = ListNeededChunks(remote.Value(), plan.contents, localManifest, disk);
    std::vector<std::uint32_t> wanted;
    wanted.reserve(needed.size());
    for (std::size_t i = 0; i < needed.size(); ++i)
        if (!needed.Installed(i)) wanted.push_back(static_cast<std::uint32_t>(i));
    const std::size_t fetched = wanted.size();
    const std::vector<PackRange> ranges = JoinIntoRanges(needed, std::move(wanted));
    const RecordSteps steps = PlanRecordSteps(plan, inputs, RecordStays(plan, remote.Value(), {}), false);
    const std::string written = TemporaryFile("placed-written");
    if (steps.placedBeforeMoves) WritePlacedRecord(written, plan, remote.Value(), *steps.placedBeforeMoves);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto megabytes = [](const std::string& file) { return std::filesystem::file_size(file) / kMiB; };
    std::printf("%s: %.1f MiB of manifests, %.1f MiB record of %zu placed files, %zu files; %zu contents to build, "
                "%zu chunks needed, %zu fetched in %zu ranges, %.1f MiB record written: read from files and planned "
                "in %.3f s, heap at most %.1f MiB\n",
                what, megabytes(remoteFile) + (localFile ? megabytes(*localFile) : 0.0),
                placedFile ? megabytes(*placedFile) : 0.0, record.size(), remote.Value().files.size(),
                plan.contents.size(), needed.size(), fetched, ranges.size(),
                steps.placedBeforeMoves ? megabytes(written) : 0.0, seconds, (heap_count::Peak() - before) / kMiB);
    std::filesystem::remove(written);
    return 0;
}

// The generated text in a file of its own; the text is gone from memory
// once it is written.
std::string WriteText(const std::string& name, const std::string& text) {
    const std::string path = TemporaryFile(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

int DeepRow() {
    const std::string text = DeepManifest();
    auto parsed = ReadManifestForBenchmark(text);
    if (!parsed) return Refused(parsed.Error());
    const Manifest& manifest = parsed.Value();
    const double whole = BestOfThree([&] { (void)ReadManifestForBenchmark(text); });
    const double content = BestOfThree([&] { (void)CheckManifestContent(manifest); });
    std::printf("%zu bytes, %zu files 115 folders deep: whole read %.3f s, CheckManifestContent %.3f s\n",
                text.size(), manifest.files.size(), whole, content);
    return 0;
}

}  // namespace

int main() {
    if (int failed = DeepRow()) return failed;
    const std::string release = WriteText("2", GameManifestText(2, kGameFiles));
    const std::string previous = WriteText("1", GameManifestText(1, kGameFiles));
    const std::string placed = WriteText("placed-1", GamePlacedText(kGameFiles));
    int failed = GameRow("100 GB game, fresh install", release, nullptr, nullptr);
    if (!failed) failed = GameRow("100 GB game, update from the release before", release, &previous, &placed);
    for (const std::string& file : {release, previous, placed}) std::filesystem::remove(file);
    return failed;
}
