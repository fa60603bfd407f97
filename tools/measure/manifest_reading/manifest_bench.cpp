// Times the manifest reader on a generated manifest just under the 32 MiB
// limit whose files all sit 115 folders deep, the worst case for the check
// that no path is another one's folder. Not a test: run it by hand with an
// optimised build (tests/bench/run.sh) and compare the numbers.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "core/hex.h"
#include "core/manifest.h"
#include "core/manifest_content.h"
#include "core/manifest_parse.h"

namespace {

using namespace velmora::engine;

std::string DeepManifest() {
    constexpr std::uint64_t kFileSize = 1000;
    std::string folders;
    for (int i = 0; i < 115; ++i) folders += "a/";
    const std::string head = "VELMANIFEST 2\nversion 1\nexpires 2099-01-01T00:00:00Z\nmin-updater 1\n";
    // Room for the pack line, written once the files are counted, and the
    // signature line.
    const std::size_t room = kMaxManifestBytes - head.size() - 100 - 139;
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

}  // namespace

int main() {
    const std::string text = DeepManifest();
    auto parsed = ReadManifestForBenchmark(text);
    if (!parsed) {
        std::fprintf(stderr, "generated manifest refused: %s\n", parsed.Error().reason.c_str());
        return 1;
    }
    const Manifest& manifest = parsed.Value();
    const double whole = BestOfThree([&] { (void)ReadManifestForBenchmark(text); });
    const double content = BestOfThree([&] { (void)CheckManifestContent(manifest); });
    std::printf("%zu bytes, %zu files 115 folders deep: whole read %.3f s, CheckManifestContent %.3f s\n",
                text.size(), manifest.files.size(), whole, content);
    return 0;
}
