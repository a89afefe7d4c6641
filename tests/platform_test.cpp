// What goes wrong first when the programs run on Windows: bytes that text mode
// would change, names outside ASCII, and wildcards on the command line.

#include <filesystem>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "run_program.h"

namespace {

const std::string header = "GIMP Palette\nName: Test\nColumns: 16\n#\n";
const std::string reading = "Reading GIMP Palette file ({IN})...\n";
const std::string writing = "Writing Megadrive/Genesis Palette file ({OUT})...\n";

// Bytes 0A (line feed), 0D (carriage return) and 1A (end of file in text
// mode) must pass through both programs as raw bytes.
TEST(ControlBytes, PassThroughTintunpackUnchanged)
{
    TemporaryFolder folder;
    const std::string out = (folder / "out.gpl").string();
    const ProgramRun run = runProgram(
        "tintunpack", {fixturePath("control_bytes.bin").string(), out, "4", "Control bytes"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(readFileBytes(out),
              platformText(readFileBytes(fixturePath("control_bytes_unpacked.gpl"))));
}

TEST(ControlBytes, PassThroughTintpackAndBack)
{
    TemporaryFolder folder;
    const std::string in = (folder / "in.gpl").string();
    const std::string words = (folder / "words.bin").string();
    const std::string back = (folder / "back.gpl").string();
    writeFileBytes(in, header + "160 0 160\n160 0 0\n0 0 160\n");

    const ProgramRun pack = runProgram("tintpack", {in, words});
    EXPECT_EQ(pack.status, 0);
    EXPECT_EQ(readFileBytes(words), std::string("\x0a\x0a\x00\x0a\x0a\x00", 6));
    const ProgramRun unpack = runProgram("tintunpack", {words, back, "16", "Back"});
    EXPECT_EQ(unpack.status, 0);
    EXPECT_EQ(readFileBytes(back),
              platformText("GIMP Palette\nName: Back\nColumns: 16\n#\n160 0 160\tUntitled\n"
                           "160 0 0\tUntitled\n0 0 160\tUntitled\n"));
}

// In text mode, Windows ends a file at its first byte 1A: a palette holding
// one, in a name, with CR LF line ends, must convert whole, as GIMP reads it.
TEST(ControlBytes, InAPaletteDoNotEndIt)
{
    TemporaryFolder folder;
    const std::string in = (folder / "in.gpl").string();
    const std::string words = (folder / "words.bin").string();
    writeFileBytes(in, "GIMP Palette\r\nName: Sub\r\n#\r\n255 0 0\tRed \x1a name\r\n\r\n"
                       "160 0 160\tLine feeds\r\n");
    const ProgramRun pack = runProgram("tintpack", {in, words});
    EXPECT_EQ(pack.status, 0);
    EXPECT_EQ(pack.output, expectedOutput(reading + writing, "tintpack", in, words));
    EXPECT_EQ(readFileBytes(words), std::string("\x00\x0e\x0a\x0a", 4));
}

// A name that a code page would map to a look-alike ("Ω" to "O") must reach
// the file system and the palette as it was typed.
TEST(NonAsciiNames, ReachFilesAndPaletteUnchanged)
{
    TemporaryFolder folder;
    const std::string in = (folder / "Ω palette.gpl").string();
    const std::string words = (folder / "Ωmega.bin").string();
    const std::string back = (folder / "Ωmega é.gpl").string();
    writeFileBytes(in, header + "255 255 255\tWhite\n");
    writeFileBytes(folder / "O palette.gpl", header + "0 0 0\tBlack\n");

    const ProgramRun pack = runProgram("tintpack", {in, words});
    EXPECT_EQ(pack.status, 0);
    EXPECT_EQ(pack.output, expectedOutput(reading + writing, "tintpack", in, words));
    EXPECT_EQ(readFileBytes(words), "\x0e\xee");
    EXPECT_FALSE(std::filesystem::exists(folder / "Omega.bin"));

    const ProgramRun unpack = runProgram("tintunpack", {words, back, "16", "Ωmega é"});
    EXPECT_EQ(unpack.status, 0);
    EXPECT_EQ(unpack.output, "");
    EXPECT_EQ(readFileBytes(back), platformText("GIMP Palette\nName: Ωmega é\nColumns: 16\n#\n"
                                                "224 224 224\tUntitled\n"));

    // The same file twice is told by its name outside ASCII too, and left alone.
    const ProgramRun same = runProgram("tintunpack", {words, words, "16", "x"});
    EXPECT_EQ(same.status, 3);
    EXPECT_EQ(same.output, expectedOutput("{P}: ERROR!!! {IN} and {OUT} are the same file!\n",
                                          "tintunpack", words, words));
    EXPECT_EQ(readFileBytes(words), "\x0e\xee");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              4);
}

// The arguments arrive unexpanded here (no shell between the test and the
// program). The Windows builds expand them themselves, as Windows console
// programs do; elsewhere the shell's expansion is the only one.
TEST(Wildcards, AreExpandedOnlyByTheWindowsBuilds)
{
    TemporaryFolder folder;
    const std::string pattern = (folder / "*.gpl").string();
    const std::string out = (folder / "out.bin").string();
    writeFileBytes(folder / "only.gpl", header + "255 255 255\n");

    const ProgramRun one = runProgram("tintpack", {pattern, out});
    if (testingWindowsPrograms()) {
        EXPECT_EQ(one.status, 0);
        EXPECT_EQ(one.output, expectedOutput(reading + writing, "tintpack",
                                             (folder / "only.gpl").string(), out));
        EXPECT_EQ(readFileBytes(out), "\x0e\xee");
    } else {
        EXPECT_EQ(one.status, 3);
        EXPECT_EQ(one.output, expectedOutput("{P}: ERROR!!! Cannot open {IN} for reading!\n",
                                             "tintpack", pattern));
    }

    // A pattern that matches two files makes one argument too many.
    writeFileBytes(folder / "second.gpl", header);
    const ProgramRun two = runProgram("tintpack", {pattern, out});
    if (testingWindowsPrograms()) {
        EXPECT_EQ(two.status, 1);
        EXPECT_EQ(two.output, expectedOutput("Usage: {P} infile.gpl outfile.bin\n\n", "tintpack"));
    } else {
        EXPECT_EQ(two.status, 3);
    }
}

// Windows matches file names without regard to case.
TEST(SameFile, DifferentCaseIsTheSameFileOnWindows)
{
    if (!testingWindowsPrograms()) {
        GTEST_SKIP() << "file names are case-sensitive here";
    }
    TemporaryFolder folder;
    const std::string in = (folder / "palette.gpl").string();
    const std::string upper = (folder / "PALETTE.GPL").string();
    writeFileBytes(in, header + "255 255 255\n");
    const ProgramRun run = runProgram("tintpack", {in, upper});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.output, expectedOutput("{P}: ERROR!!! {IN} and {OUT} are the same file!\n",
                                         "tintpack", in, upper));
    EXPECT_EQ(readFileBytes(in), header + "255 255 255\n");
}

} // namespace
