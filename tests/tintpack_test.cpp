// Runs the built tintpack on palettes in a temporary folder and checks its
// standard output byte for byte, its exit status and the file it leaves.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "run_program.h"

namespace {

const std::string header = "GIMP Palette\nName: Test\nColumns: 16\n#\n";
const std::string reading = "Reading GIMP Palette file ({IN})...\n";
const std::string writing = "Writing Megadrive/Genesis Palette file ({OUT})...\n";
const std::string invalid = "{P}: ERROR!!! {IN} is not a valid GIMP Palette!\n";
// What an existing output file holds before a run that must leave it alone.
const std::string kept = "an earlier palette";

std::string repeated(const std::string& line, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += line;
    }
    return text;
}

std::string warning(int colours)
{
    return "WARNING!!! {IN} has " + std::to_string(colours) +
           " color entries.\nExpected: 64 colors or less.\nMight still work with palette cycles.\n";
}

struct PackCase {
    const char* name;
    std::string input;
    int status;
    std::string output;                 // expected standard output
    std::optional<std::string> written; // expected output file; none: left as it was
};

void PrintTo(const PackCase& c, std::ostream* os)
{
    *os << c.name;
}

class Tintpack : public testing::TestWithParam<PackCase> {};

TEST_P(Tintpack, ConvertsOrRefusesThePalette)
{
    const PackCase& c = GetParam();
    TemporaryFolder folder;
    const std::string in = (folder / "in.gpl").string();
    const std::string out = (folder / "out.bin").string();
    writeFileBytes(in, c.input);
    writeFileBytes(out, kept);
    const auto before = std::filesystem::last_write_time(out) - std::chrono::hours(1);
    std::filesystem::last_write_time(out, before);

    const ProgramRun run = runProgram("tintpack", {in, out});

    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.output, expectedOutput(c.output, "tintpack", in, out));
    EXPECT_EQ(readFileBytes(out), c.written.value_or(kept));
    if (!c.written) {
        EXPECT_EQ(std::filesystem::last_write_time(out), before);
    }
    // Nothing else is left behind, written or refused.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              2);
}

// The invalid-palette message, then where the fault is.
std::string invalidAt(int line, const std::string& reason)
{
    return invalid + "{IN}:" + std::to_string(line) + ": " + reason + "\n";
}

const std::string notGimpPalette = "the first line is not \"GIMP Palette\"";
const std::string fewerThanThree = "fewer than three numbers";

INSTANTIATE_TEST_SUITE_P(
    Palettes, Tintpack,
    testing::Values(
        PackCase{"HeaderOnly", header, 0, reading + writing, ""},
        PackCase{"HeaderWithoutFinalNewline", "GIMP Palette\nName: Test\nColumns: 16\n#", 0,
                 reading + writing, ""},
        PackCase{"LastLineWithoutNewline", header + "255 255 255\tWhite\n255 128 0\tOrange", 0,
                 reading + writing, std::string("\x0e\xee\x00\x8e", 4)},
        PackCase{"TrailingBlanksWithoutNewline", header + "255 255 255\tWhite\n \t ", 0,
                 reading + writing, "\x0e\xee"},
        PackCase{"ExtraIntegersIgnored", header + "10 20 30 Colour 5\n", 0, reading + writing,
                 std::string("\x00\x00", 2)},
        PackCase{"OverflowingTokenIgnored", header + "99999999999 0 0 0\n", 0, reading + writing,
                 std::string("\x00\x00", 2)},
        PackCase{"BoundaryComponents", header + "0 0 0\n255 255 255\n", 0, reading + writing,
                 std::string("\x00\x00\x0e\xee", 4)},
        PackCase{"SixtyFourColours", header + repeated("255 255 255\n", 64), 0, reading + writing,
                 repeated("\x0e\xee", 64)},
        PackCase{"SixtyFiveColoursWarn", header + repeated("255 255 255\n", 65), 0,
                 reading + warning(65) + writing, repeated("\x0e\xee", 65)},
        PackCase{"NulBytesInAToken", header + std::string("255\0 0 0\tNul\0name\n", 16), 0,
                 reading + writing, std::string("\x00\x0e", 2)},
        PackCase{"TwoIntegers", header + "1 2 3\n10 20\tTwo\n", 2,
                 reading + invalidAt(6, fewerThanThree), std::nullopt},
        PackCase{"RedAbove255", header + "256 0 0\n", 2,
                 reading + invalidAt(5, "red 256 is outside 0 to 255"), std::nullopt},
        PackCase{"GreenBelowZero", header + "0 -1 0\n", 2,
                 reading + invalidAt(5, "green -1 is outside 0 to 255"), std::nullopt},
        PackCase{"BlueFarAbove", header + "0 0 2147483647\n", 2,
                 reading + invalidAt(5, "blue 2147483647 is outside 0 to 255"), std::nullopt},
        PackCase{"LastLineWithoutNewlineInvalid", header + "1 2 3\n1 2", 2,
                 reading + invalidAt(6, fewerThanThree), std::nullopt},
        PackCase{"NulBytesOnly", header + std::string("\0\0\0\n", 4), 2,
                 reading + invalidAt(5, fewerThanThree), std::nullopt},
        PackCase{"BinaryJunk", header + "\x89PNG\r\n\x1a\n\xff\xd8\xff\xe0 7 7\n", 2,
                 reading + invalidAt(5, fewerThanThree), std::nullopt},
        PackCase{"OverflowingComponent", header + "2147483648 0 0\n", 2,
                 reading + invalidAt(5, fewerThanThree), std::nullopt},
        PackCase{"WordAfterTheHeader", header + "Name: again\n1 2 3\n", 2,
                 reading + invalidAt(5, fewerThanThree), std::nullopt},
        // The warning comes only once every line has converted.
        PackCase{"InvalidLineAmongManyNoWarning", header + repeated("1 2 3\n", 70) + "x\n", 2,
                 reading + invalidAt(75, fewerThanThree), std::nullopt}),
    [](const testing::TestParamInfo<PackCase>& info) { return std::string(info.param.name); });

// The header layouts that GIMP, other editors and scripts write: the header
// is told by its content, and blank and comment lines are skipped.
INSTANTIATE_TEST_SUITE_P(
    Headers, Tintpack,
    testing::Values(
        PackCase{"WithoutColumns", "GIMP Palette\nName: Bears\n#\n" + repeated("255 128 0\n", 256),
                 0, reading + warning(256) + writing, repeated(std::string("\x00\x8e", 2), 256)},
        PackCase{"WithoutColumnsOrHash", "GIMP Palette\nName: Grays\n  0   0   0\tgray0\n", 0,
                 reading + writing, std::string("\x00\x00", 2)},
        PackCase{"ThreeLines", "GIMP Palette\nName: Test\n#\n10 20 30 a\n200 100 50 b\n", 0,
                 reading + writing, std::string("\x00\x00\x02\x6c", 4)},
        PackCase{"HashOnly", "GIMP Palette\n#\n255 255 255\n255 128 0\n", 0, reading + writing,
                 std::string("\x0e\xee\x00\x8e", 4)},
        PackCase{"FirstLineOnly", "GIMP Palette\n255 255 255\n255 128 0\n", 0, reading + writing,
                 std::string("\x0e\xee\x00\x8e", 4)},
        PackCase{"FirstLineAndName", "GIMP Palette\nName: Test\n", 0, reading + writing, ""},
        PackCase{"CommentsAfterTheHeader",
                 "GIMP Palette\nName: x\nColumns: 16\n#\n# comment\n#\n255 255 255\n", 0,
                 reading + writing, "\x0e\xee"},
        PackCase{"CommentWithThreeNumbersIsSkipped", header + "  # 40 80 120 note\n1 2 3\n", 0,
                 reading + writing, std::string("\x00\x00", 2)},
        PackCase{"PaletteWebsite",
                 "GIMP Palette\n#Palette Name: Dawn\n#Description: d\n#Colors: 2\n"
                 "255 255 255\n255 128 0\n",
                 0, reading + writing, std::string("\x0e\xee\x00\x8e", 4)},
        PackCase{"BlankLines", header + "\n255 255 255\n \t\n\n255 128 0\n\n", 0, reading + writing,
                 std::string("\x0e\xee\x00\x8e", 4)},
        PackCase{"CrLf",
                 "GIMP Palette\r\nName: Bears\r\n#\r\n255 255 255\r\n\r\n# x\r\n255 128 0\r\n", 0,
                 reading + writing, std::string("\x0e\xee\x00\x8e", 4)},
        PackCase{"CrLfFirstLineOnly", "GIMP Palette\r\n255 128 0\r\n", 0, reading + writing,
                 std::string("\x00\x8e", 2)},
        PackCase{"ByteOrderMark", "\xEF\xBB\xBFGIMP Palette\nName: x\n255 128 0\n", 0,
                 reading + writing, std::string("\x00\x8e", 2)},
        PackCase{"TextAfterTheMagic", "GIMP Palette (saved by hand)\n255 128 0\n", 0,
                 reading + writing, std::string("\x00\x8e", 2)},
        PackCase{"EmptyFile", "", 2, reading + invalidAt(1, notGimpPalette), std::nullopt},
        PackCase{"NoFirstLine", "Name: x\nColumns: 16\n#\n0 0 0\n", 2,
                 reading + invalidAt(1, notGimpPalette), std::nullopt},
        PackCase{"LowerCaseFirstLine", "gimp palette\n0 0 0\n", 2,
                 reading + invalidAt(1, notGimpPalette), std::nullopt},
        PackCase{"JascPal", "JASC-PAL\r\n0100\r\n16\r\n0 0 0\r\n", 2,
                 reading + invalidAt(1, notGimpPalette), std::nullopt},
        PackCase{"InvalidLineAfterComments", "GIMP Palette\n#\n# a\n\n# b\n1 2\n", 2,
                 reading + invalidAt(6, fewerThanThree), std::nullopt}),
    [](const testing::TestParamInfo<PackCase>& info) { return std::string(info.param.name); });

TEST(TintpackFixtures, ConvertsTheWorkedValuesWithLfAndCrlfLineEnds)
{
    for (const char* fixture : {"worked_values.gpl", "worked_values_crlf.gpl"}) {
        TemporaryFolder folder;
        const std::string in = fixturePath(fixture).string();
        const std::string out = (folder / "out.bin").string();
        const ProgramRun run = runProgram("tintpack", {in, out});
        EXPECT_EQ(run.status, 0) << fixture;
        EXPECT_EQ(run.output, expectedOutput(reading + writing, "tintpack", in, out)) << fixture;
        EXPECT_EQ(readFileBytes(out), readFileBytes(fixturePath("worked_values.bin"))) << fixture;
    }
}

TEST(TintpackCommandLine, WrongNumberOfArgumentsPrintsUsage)
{
    TemporaryFolder folder;
    const std::string in = (folder / "in.gpl").string();
    const std::string out = (folder / "out.bin").string();
    writeFileBytes(in, header + "1 2 3\n");
    writeFileBytes(out, kept);
    for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{in},
                             std::vector<std::string>{in, out, out}}) {
        const ProgramRun run = runProgram("tintpack", args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.output, expectedOutput("Usage: {P} infile.gpl outfile.bin\n\n", "tintpack"));
    }
    EXPECT_EQ(readFileBytes(out), kept);
}

// Runs that must fail on a file they cannot read or write, leaving any
// existing output as it was.
class TintpackFiles : public testing::Test {
protected:
    void SetUp() override
    {
        writeFileBytes(in, header + "1 2 3\n");
        writeFileBytes(out, kept);
    }
    void expectRun(const std::string& input, const std::string& output, int status,
                   const std::string& messages, const std::optional<std::string>& stdinData = {})
    {
        const ProgramRun run = runProgram("tintpack", {input, output}, stdinData);
        EXPECT_EQ(run.status, status);
        EXPECT_EQ(run.output, expectedOutput(messages, "tintpack", input, output));
    }
    TemporaryFolder folder;
    const std::string in = (folder / "in.gpl").string();
    const std::string out = (folder / "out.bin").string();
};

TEST_F(TintpackFiles, InputThatCannotBeReadIsRefusedBeforeAnythingElse)
{
    const std::string message = "{P}: ERROR!!! Cannot open {IN} for reading!\n";
    expectRun((folder / "missing.gpl").string(), out, 3, message);
    expectRun(folder.path().string(), out, 3, message);
    if (!testingWindowsPrograms()) {
        // A pipe cannot be read twice.
        expectRun("/dev/stdin", out, 3, message, header + "1 2 3\n");
    }
    EXPECT_EQ(readFileBytes(out), kept);
    EXPECT_FALSE(std::filesystem::exists(folder / "missing.gpl"));
}

TEST_F(TintpackFiles, InputWithoutReadPermissionIsRefused)
{
    if (geteuid() == 0) {
        GTEST_SKIP() << "root reads any file";
    }
    std::filesystem::permissions(in, std::filesystem::perms::none);
    expectRun(in, out, 3, "{P}: ERROR!!! Cannot open {IN} for reading!\n");
    EXPECT_EQ(readFileBytes(out), kept);
}

TEST_F(TintpackFiles, SameFileTwiceIsRefusedAndLeftAlone)
{
    const std::string palette = readFileBytes(in);
    std::filesystem::create_symlink(in, folder / "link.gpl");
    std::filesystem::create_hard_link(in, folder / "hard.gpl");
    const std::string message = "{P}: ERROR!!! {IN} and {OUT} are the same file!\n";
    expectRun(in, in, 3, message);
    expectRun(in, (folder / "link.gpl").string(), 3, message);
    expectRun((folder / "link.gpl").string(), in, 3, message);
    expectRun(in, (folder / "hard.gpl").string(), 3, message);
    expectRun(in, (folder / "." / "in.gpl").string(), 3, message);
    EXPECT_EQ(readFileBytes(in), palette);
}

TEST_F(TintpackFiles, OutputThatCannotBeCreatedIsAnError)
{
    const std::string noFolder = (folder / "no" / "out.bin").string();
    expectRun(in, noFolder, 3, reading + "{P}: ERROR!!! Cannot open {OUT} for writing!\n");
    expectRun(in, folder.path().string(), 3,
              reading + "{P}: ERROR!!! Cannot open {OUT} for writing!\n");
    writeFileBytes(in, header + repeated("1 2 3\n", 65));
    expectRun(in, noFolder, 3,
              reading + warning(65) + "{P}: ERROR!!! Cannot open {OUT} for writing!\n");
    EXPECT_FALSE(std::filesystem::exists(folder / "no"));
}

TEST_F(TintpackFiles, MoreColoursThanA32BitCountIsTooLarge)
{
    // 2^31 colour lines of two bytes each ("0" and a newline; the count comes
    // before any line is checked): a 4 GiB file, written in one-mebibyte pieces.
    const std::uintmax_t bytes = std::uintmax_t{1} << 32;
    if (std::filesystem::space(folder.path()).available < bytes + (std::uintmax_t{1} << 30)) {
        GTEST_SKIP() << "needs 5 GiB of free space in " << folder.path();
    }
    {
        std::ofstream file(in, std::ios::binary | std::ios::trunc);
        file << "GIMP Palette\n";
        std::string colours;
        for (int line = 0; line < (1 << 19); ++line) {
            colours += "0\n";
        }
        for (int piece = 0; piece < 4096; ++piece) {
            file << colours;
        }
        ASSERT_TRUE(file.flush());
    }
    expectRun(in, out, 2, reading + "{P}: ERROR!!! {IN} is too large!\n");
    EXPECT_EQ(readFileBytes(out), kept);
    std::filesystem::remove(in);
}

TEST_F(TintpackFiles, FailedWriteIsAnError)
{
    if (testingWindowsPrograms()) {
        GTEST_SKIP() << "no /dev/full on Windows";
    }
    expectRun(in, "/dev/full", 3, reading + writing + "{P}: ERROR!!! Could not write {OUT}!\n");
}

} // namespace
