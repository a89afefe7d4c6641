// Runs the built tintunpack on palette files in a temporary folder and checks
// its standard output, its exit status and the file it leaves.

#include <filesystem>
#include <iterator>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "run_program.h"

namespace {

const std::string kept = "an earlier palette";

std::string unpackedHeader(const std::string& name, const std::string& columns)
{
    return "GIMP Palette\nName: " + name + "\nColumns: " + columns + "\n#\n";
}

struct UnpackCase {
    const char* name;
    std::string input;
    std::string columns;
    std::string paletteName;
    std::string written;
};

void PrintTo(const UnpackCase& c, std::ostream* os)
{
    *os << c.name;
}

class Tintunpack : public testing::TestWithParam<UnpackCase> {};

TEST_P(Tintunpack, WritesTheGimpPaletteAndPrintsNothing)
{
    const UnpackCase& c = GetParam();
    TemporaryFolder folder;
    const std::string in = (folder / "in.bin").string();
    const std::string out = (folder / "out.gpl").string();
    writeFileBytes(in, c.input);
    writeFileBytes(out, kept);

    const ProgramRun run = runProgram("tintunpack", {in, out, c.columns, c.paletteName});

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(readFileBytes(out), platformText(c.written));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              2);
}

INSTANTIATE_TEST_SUITE_P(
    Palettes, Tintunpack,
    testing::Values(
        UnpackCase{"Empty", "", "16", "Empty", unpackedHeader("Empty", "16")},
        UnpackCase{"WorkedBytes", std::string("\x00\x00\x0e\xee\x00\x8e", 6), "16", "Level 1",
                   unpackedHeader("Level 1", "16") +
                       "0 0 0\tUntitled\n224 224 224\tUntitled\n224 128 0\tUntitled\n"},
        UnpackCase{"BitsThatPlayNoPart", "\x01\x11\xff\xff", "4", "x",
                   unpackedHeader("x", "4") + "0 0 0\tUntitled\n224 224 224\tUntitled\n"},
        UnpackCase{"OddLastByteIgnored", "\x0e\xee\x0e", "16", "x",
                   unpackedHeader("x", "16") + "224 224 224\tUntitled\n"},
        UnpackCase{"OneOddByte", "\x0e", "16", "x", unpackedHeader("x", "16")},
        UnpackCase{"NameWithSpaces", "", "16", "My Level  2 ",
                   unpackedHeader("My Level  2 ", "16")},
        UnpackCase{"EmptyTexts", "", "", "", unpackedHeader("", "")},
        UnpackCase{"NonNumericColumns", "", "abc", "x", unpackedHeader("x", "abc")},
        UnpackCase{"NonAsciiName", "", "16", "Ωmega \xc3\xa9t\xc3\xa9",
                   unpackedHeader("Ωmega \xc3\xa9t\xc3\xa9", "16")}),
    [](const testing::TestParamInfo<UnpackCase>& info) { return std::string(info.param.name); });

TEST(TintunpackFixtures, ConvertsTheWorkedValues)
{
    TemporaryFolder folder;
    const std::string out = (folder / "out.gpl").string();
    const ProgramRun run =
        runProgram("tintunpack", {fixturePath("worked_values.bin").string(), out, "16", "Level 1"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(readFileBytes(out),
              platformText(readFileBytes(fixturePath("worked_values_unpacked.gpl"))));
}

class TintunpackFiles : public testing::Test {
protected:
    void SetUp() override
    {
        writeFileBytes(in, "\x0e\xee");
        writeFileBytes(out, kept);
    }
    void expectRun(const std::vector<std::string>& args, int status, const std::string& messages,
                   const std::optional<std::string>& stdinData = {})
    {
        const ProgramRun run = runProgram("tintunpack", args, stdinData);
        EXPECT_EQ(run.status, status);
        const std::string input = args.empty() ? "" : args[0];
        const std::string output = args.size() > 1 ? args[1] : "";
        EXPECT_EQ(run.output, expectedOutput(messages, "tintunpack", input, output));
    }
    TemporaryFolder folder;
    const std::string in = (folder / "in.bin").string();
    const std::string out = (folder / "out.gpl").string();
    const std::string cannotRead = "{P}: ERROR!!! Cannot open {IN} for reading!\n";
};

TEST_F(TintunpackFiles, WrongNumberOfArgumentsPrintsUsage)
{
    const std::string usage = "Usage: {P} infile.bin outfile.gpl cols name\n\n";
    expectRun({}, 1, usage);
    expectRun({in, out, "16"}, 1, usage);
    expectRun({in, out, "16", "x", "y"}, 1, usage);
    EXPECT_EQ(readFileBytes(out), kept);
}

TEST_F(TintunpackFiles, InputThatCannotBeReadLeavesTheOutputAlone)
{
    const std::string missingOut = (folder / "new.gpl").string();
    expectRun({(folder / "missing.bin").string(), out, "16", "x"}, 3, cannotRead);
    expectRun({(folder / "missing.bin").string(), missingOut, "16", "x"}, 3, cannotRead);
    expectRun({folder.path().string(), out, "16", "x"}, 3, cannotRead);
    if (!testingWindowsPrograms()) {
        // The length of a pipe cannot be taken.
        expectRun({"/dev/stdin", out, "16", "x"}, 3, cannotRead, std::string("\x0e\xee"));
    }
    EXPECT_EQ(readFileBytes(out), kept);
    EXPECT_FALSE(std::filesystem::exists(missingOut));
}

TEST_F(TintunpackFiles, InputWithoutReadPermissionIsRefused)
{
    if (geteuid() == 0) {
        GTEST_SKIP() << "root reads any file";
    }
    std::filesystem::permissions(in, std::filesystem::perms::none);
    expectRun({in, out, "16", "x"}, 3, cannotRead);
    EXPECT_EQ(readFileBytes(out), kept);
}

TEST_F(TintunpackFiles, SameFileTwiceIsRefusedAndLeftAlone)
{
    std::filesystem::create_symlink(in, folder / "link.gpl");
    std::filesystem::create_hard_link(in, folder / "hard.gpl");
    const std::string message = "{P}: ERROR!!! {IN} and {OUT} are the same file!\n";
    expectRun({in, in, "16", "x"}, 3, message);
    expectRun({in, (folder / "link.gpl").string(), "16", "x"}, 3, message);
    expectRun({(folder / "link.gpl").string(), in, "16", "x"}, 3, message);
    expectRun({in, (folder / "hard.gpl").string(), "16", "x"}, 3, message);
    EXPECT_EQ(readFileBytes(in), "\x0e\xee");
}

TEST_F(TintunpackFiles, InputOf4GiBIsTooLarge)
{
    std::filesystem::resize_file(in, std::uintmax_t{1} << 32);
    const std::string missingOut = (folder / "new.gpl").string();
    expectRun({in, out, "16", "x"}, 2, "{P}: ERROR!!! {IN} is too large!\n");
    expectRun({in, missingOut, "16", "x"}, 2, "{P}: ERROR!!! {IN} is too large!\n");
    EXPECT_EQ(readFileBytes(out), kept);
    EXPECT_FALSE(std::filesystem::exists(missingOut));
}

TEST_F(TintunpackFiles, OutputThatCannotBeOpenedIsAnError)
{
    for (const std::string& output :
         {(folder / "no" / "out.gpl").string(), folder.path().string()}) {
        expectRun({in, output, "16", "x"}, 3, "{P}: ERROR!!! Cannot open {OUT} for writing!\n");
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "no"));
}

TEST_F(TintunpackFiles, FailedWriteIsAnError)
{
    if (testingWindowsPrograms()) {
        GTEST_SKIP() << "no /dev/full on Windows";
    }
    expectRun({in, "/dev/full", "16", "x"}, 3, "{P}: ERROR!!! Could not write {OUT}!\n");
}

} // namespace
