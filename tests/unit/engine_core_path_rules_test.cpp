#include <gtest/gtest.h>

#include <string>

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
        "libs", "libs/comp.dll", "LIBS/gamedata.vel", "Libs/x/y",
        "VELUpdater.exe", "velupdater.EXE",
        "VELUPD~1.EXE", "data/PROGRA~2/x",
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

TEST(PathRules, FoldingLowersOnlyAsciiLetters) {
    EXPECT_EQ(FoldAsciiCase("Data/World.PAK"), "data/world.pak");
    EXPECT_EQ(FoldAsciiCase("\xC3\x91"), "\xC3\x91");  // N-tilde keeps its case
    EXPECT_EQ(FoldAsciiCase("@[`{"), "@[`{");        // neighbours of the letter ranges
}

}  // namespace
}  // namespace velmora::engine
