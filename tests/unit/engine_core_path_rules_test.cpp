#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "core/byte_find.h"
#include "core/case_fold.h"
#include "core/long_path.h"
#include "core/path_collisions.h"
#include "core/path_rules.h"

namespace velmora::engine {
namespace {

std::string Repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

TEST(PathRules, AcceptsOrdinaryGamePaths) {
    const std::string safe[] = {
        "velmora.exe",
        "data/maps/world.pak",
        "a b/c d.txt",
        "Ünïcode/ñandú.dat",
        ".hidden",
        "a..b",
        "console.txt",     // starts like a device name, is none
        "com10",
        "lpt",
        "nul-file",
        "x/libs/y",        // only the top-level libs folder is the updater's
        "libsx/a",
        "velupdater.exe.bak",
        // The updater's own files, which a release may mend.
        "VELUpdater.exe", "velupdater.EXE", "libs/comp.dll", "LIBS/MSCOMCTL.OCX", "libs/richtx32.ocx",
        "my~file.txt",     // a tilde not followed by a digit is no short name
        std::string(240, 'a'),
        // The limit counts UTF-16 code units, as Windows does: 240 n-tildes
        // (480 bytes), 120 characters beyond the BMP (two units each).
        Repeated("\xC3\xB1", 240),
        Repeated("\xF0\x9F\x8E\xAE", 120),
    };
    for (const std::string& path : safe)
        EXPECT_EQ(PathProblem(path), nullptr) << "'" << path << "': " << PathProblem(path);
}

TEST(PathRules, RefusesEveryUnsafePath) {
    const std::string unsafe[] = {
        "",
        "/etc/passwd", "\\x", "//server/share/x", "\\\\server\\share",
        "C:x", "C:/x", "c:\\windows\\x",
        "a\\b",
        "file.txt:stream", "file.txt::$DATA",
        "a//b", "a/", "./a", "a/./b", "../a", "a/..", "a/../../b", "..",
        "a.", "a ", "dir./x", "dir /x",
        "CON", "con.txt", "Nul", "aux.tar.gz", "PRN", "COM1", "com0", "lpt9.log", "sub/LPT3",
        "CON .txt", "conin$", "CONOUT$.x", "COM\xC2\xB9", "lpt\xC2\xB3.txt",
        "a<b", "a>b", "a\"b", "a|b", "a?b", "a*b",
        std::string("a\0b", 3), "a\tb", "a\nb", "a\rb", "a\x1f", "a\x7f",
        "libs", "LIBS/gamedata.vel", "Libs/x/y", "libs/comp.dll/x", "libs/staging/comp.dll", "libs/comp.dll.velmora-old",
        "VELUPD~1.EXE", "data/PROGRA~2/x",
        "l\xC4\xB1" "b\xC5\xBF/gamedata.vel",  // dotless i and long s upper-case to I and S: LIBS
        std::string(241, 'a'),
        Repeated("\xC3\xB1", 241),
        Repeated("\xF0\x9F\x8E\xAE", 121),
        "\xFF", "a\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80",
    };
    for (const std::string& path : unsafe) EXPECT_NE(PathProblem(path), nullptr) << "'" << path << "'";
}

TEST(PathRules, WindowsFormUsesBackslashes) {
    EXPECT_EQ(ToWindowsRelativePath("data/maps/world.pak"), "data\\maps\\world.pak");
    EXPECT_EQ(ToWindowsRelativePath("velmora.exe"), "velmora.exe");
    EXPECT_EQ(ToWindowsRelativePath("a b/\xC3\xB1.txt"), "a b\\\xC3\xB1.txt");
}

// Windows upper-cases each UTF-16 code unit of a name to compare it.
TEST(PathRules, NamesCompareAsWindowsComparesThem) {
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"Data/World.PAK", "data/world.pak", true},
        {"@[`{", "@[`{", true},                              // neighbours of the ASCII letters
        {"@", "`", false}, {"[", "{", false},
        {"\xC3\x89.txt", "\xC3\xA9.txt", true},              // Latin-1: E and e acute
        {"\xC3\xBF", "\xC5\xB8", true},                      // y diaeresis, whose capital is in Extended-A
        {"\xC5\x81\xC5\xBE", "\xC5\x82\xC5\xBD", true},      // Extended-A: L stroke, z caron
        {"\xC7\x85", "\xC7\x86", true},                      // Extended-B: title case Dz caron and dz caron
        {"\xC6\x92", "\xC6\x91", true},                      // Extended-B: f hook
        {"\xC4\xB1", "i", true},                             // dotless i upper-cases to I
        {"\xC4\xB0", "i", false},                            // capital I with dot stays itself
        {"\xC5\xBF", "S", true},                             // long s
        {"\xCE\xA3", "\xCF\x82", true}, {"\xCF\x83", "\xCF\x82", true},  // Greek sigma, final sigma
        {"\xC2\xB5", "\xCE\x9C", true},                      // micro sign and capital mu
        {"\xD0\x96\xD1\x90", "\xD0\xB6\xD0\x80", true},      // Cyrillic zhe, ie grave
        {"\xD4\xB1", "\xD5\xA1", true},                      // Armenian ayb
        {"\xEF\xBC\xA1", "\xEF\xBD\x81", true},              // full-width A and a
        {"\xE1\xBC\x80", "\xE1\xBC\x88", true},              // Greek Extended: alpha with psili
        {"\xE1\xBE\x80", "\xE1\xBE\x88", true},              // with ypogegrammeni: its simple capital
        {"\xE1\xBE\xB3", "\xE1\xBE\xBC", true},              // alpha with ypogegrammeni
        {"\xE1\xBF\xA5", "\xE1\xBF\xAC", true},              // rho with dasia
        {"\xEA\xAD\xB0", "\xE1\x8E\xA0", true},              // Cherokee small a and A
        {"\xE1\x8F\xB8", "\xE1\x8F\xB0", true},              // Cherokee small ye and YE
        {"\xE1\x83\x90", "\xE1\xB2\x90", true},              // Georgian Mkhedruli an, Mtavruli AN
        {"\xE1\xB2\x80", "\xD0\x92", true},                  // Cyrillic rounded ve and VE
        {"\xE2\xB1\x9F", "\xE2\xB0\xAF", true},              // Glagolitic caudate chrivi
        {"\xE1\xB5\xB9", "\xEA\x9D\xBD", true},              // insular g
        {"\xEA\x9F\x81", "\xEA\x9F\x80", true},              // Latin Extended-D: Old Polish o
        {"\xEF\xBC\xA1", "A", false},                        // full-width is another letter
        {"\xC3\x9F", "SS", false}, {"\xC3\x9F", "ss", false},  // sharp s has no one-unit capital
        {"\xC3\x9F", "\xE1\xBA\x9E", false},                  // nor is capital sharp s its mapping
        {"\xE2\x84\xAA", "k", false},                        // Kelvin sign: k upper-cases to K
        {"\xF0\x90\x90\x80", "\xF0\x90\x90\xA8", false},      // Deseret: surrogate pairs keep their case
        {"\xF0\x90\x96\x97", "\xF0\x90\x95\xB0", false},      // Vithkuqi too
        {"\xC7\x85", "\xC7\x84", true},                      // title case Dz caron upper-cases to DZ caron
        {"\xC3\x89", "E", false},
        {"Maps/\xC3\x89t\xC3\xA9/Zone.pak", "maps/\xC3\xA9T\xC3\x89/zone.PAK", true},  // ASCII around others
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EqualIgnoringCase(c.a, c.b), c.same) << c.a << " / " << c.b;
        EXPECT_EQ(FoldCase(c.a) == FoldCase(c.b), c.same) << c.a << " / " << c.b;
        // Indexes of paths find a name under either form.
        if (c.same) {
            EXPECT_EQ(FoldedHash(c.a), FoldedHash(c.b)) << c.a << " / " << c.b;
        }
    }
    // Bytes that are not UTF-8 pass as they are; letters around them fold.
    EXPECT_EQ(FoldCase("a\xFF\xC3" "b\xED\xA0\x80" "c"), "A\xFF\xC3" "B\xED\xA0\x80" "C");
}

// The byte search that splits manifests into lines and fields gives what
// the standard search gives, wherever the byte stands in a word of eight,
// among bytes that differ from it by one bit or in the high bit, or twice.
TEST(FindByte, AgreesWithTheStandardSearchEverywhere) {
    for (const char byte : {'\n', ' ', '/', '\x80'}) {
        for (std::size_t size = 0; size <= 20; ++size) {
            for (std::size_t place = 0; place <= size; ++place) {
                std::string text(size, static_cast<char>(byte ^ 1));
                for (std::size_t i = 0; i < size; i += 3) text[i] = static_cast<char>(byte ^ 0x80);
                if (place < size) text[place] = byte;
                if (place + 9 < size) text[place + 9] = byte;
                for (std::size_t from = 0; from <= size; ++from)
                    ASSERT_EQ(FindByte(text, byte, from), std::string_view(text).find(byte, from))
                        << int(byte) << " " << size << " " << place << " " << from;
            }
        }
    }
}

// The collision found is the first between neighbours when the paths are
// sorted as their folded forms compare, '/' as the lowest byte, ties in list
// order: whatever their length against the eight bytes the search takes at
// a time, whatever beginnings they share, with letters beyond ASCII that
// fold to another length, and with empty segments (which put two '/' side
// by side, or one at the end). Sets of paths drawn from segments chosen so
// that many sets collide in each way.
TEST(PathCollisions, FoundAsAPlainSortOfTheFoldedPathsFindsThem) {
    const std::string segments[] = {"a", "A", "b", "ab", "aaaaaaa", "AAAAAAAA", "aaaaaaaab", "i", "\xC4\xB1",
                                    "\xC3\xA9", "\xC3\x89x", "-", ""};
    std::uint64_t state = 1;
    const auto next = [&](std::size_t below) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::size_t>(state >> 33) % below;
    };
    int collisions = 0;
    for (int set = 0; set < 3000; ++set) {
        std::vector<std::string> paths(1 + next(12));
        for (std::string& path : paths) {
            for (std::size_t depth = 1 + next(5); depth > 0; --depth)
                path += segments[next(std::size(segments))] + (depth > 1 ? "/" : "");
        }
        std::vector<std::string> keys;
        for (const std::string& path : paths) {
            keys.push_back(FoldCase(path));
            std::replace(keys.back().begin(), keys.back().end(), '/', '\0');
        }
        std::vector<std::size_t> order(paths.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
        std::optional<PathCollision> expected;
        for (std::size_t k = 1; k < order.size() && !expected; ++k) {
            const std::string& before = keys[order[k - 1]];
            const std::string& after = keys[order[k]];
            if (after == before) expected = PathCollision{PathCollision::Kind::SameFile, order[k - 1], order[k]};
            else if (after.starts_with(before) && after[before.size()] == '\0')
                expected = PathCollision{PathCollision::Kind::FileIsFolder, order[k - 1], order[k]};
        }
        const std::vector<std::string_view> views(paths.begin(), paths.end());
        const std::optional<PathCollision> found = FindPathCollision(views);
        std::string listed;
        for (const std::string& path : paths) listed += " '" + path + "'";
        ASSERT_EQ(found.has_value(), expected.has_value()) << listed;
        if (!found) continue;
        ++collisions;
        EXPECT_EQ(found->kind, expected->kind) << listed;
        EXPECT_EQ(found->first, expected->first) << listed;
        EXPECT_EQ(found->second, expected->second) << listed;
    }
    // Most sets collide, some do not.
    EXPECT_GT(collisions, 1000);
    EXPECT_LT(collisions, 2900);
}

TEST(ExtendedLengthPath, DriveAndNetworkPathsTakeTheLongForm) {
    const struct {
        const wchar_t* path;
        const wchar_t* extended;
    } cases[] = {
        {L"C:\\Program Files (x86)\\Velmora\\libs", L"\\\\?\\C:\\Program Files (x86)\\Velmora\\libs"},
        {L"v:", L"\\\\?\\v:"},
        {L"\\\\server\\share\\Velmora", L"\\\\?\\UNC\\server\\share\\Velmora"},
        {L"\\\\?\\C:\\Velmora", L"\\\\?\\C:\\Velmora"},  // already long
        {L"\\\\.\\pipe\\x", L"\\\\.\\pipe\\x"},          // a device: as it is
        {L"relative\\path", L"relative\\path"},
    };
    for (const auto& c : cases) EXPECT_EQ(ExtendedLengthPath(c.path), c.extended);
}

}  // namespace
}  // namespace velmora::engine
