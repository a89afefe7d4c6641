// A palette taken through tintpack and back through tintunpack keeps its
// number of colours and the top three bits of every component.

#include <random>
#include <string>

#include <gtest/gtest.h>

#include "run_program.h"

namespace {

TEST(RoundTrip, KeepsColourCountAndTopThreeBits)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> component(0, 255);
    for (const int colours : {0, 1, 16, 64, 65, 300}) {
        std::string palette = "GIMP Palette\nName: Source\nColumns: 8\n#\n";
        std::string expected = "GIMP Palette\nName: Round trip\nColumns: 16\n#\n";
        for (int i = 0; i < colours; ++i) {
            const int red = component(random);
            const int green = component(random);
            const int blue = component(random);
            palette += std::to_string(red) + ' ' + std::to_string(green) + ' ' +
                       std::to_string(blue) + "\tColour " + std::to_string(i) + '\n';
            expected += std::to_string(red & 0xE0) + ' ' + std::to_string(green & 0xE0) + ' ' +
                        std::to_string(blue & 0xE0) + "\tUntitled\n";
        }
        TemporaryFolder folder;
        writeFileBytes(folder / "in.gpl", palette);

        const ProgramRun pack =
            runProgram("tintpack", {(folder / "in.gpl").string(), (folder / "words.bin").string()});
        ASSERT_EQ(pack.status, 0) << colours << " colours: " << pack.output;
        EXPECT_EQ(readFileBytes(folder / "words.bin").size(), 2U * colours);
        const ProgramRun unpack =
            runProgram("tintunpack", {(folder / "words.bin").string(),
                                      (folder / "out.gpl").string(), "16", "Round trip"});
        ASSERT_EQ(unpack.status, 0) << colours << " colours: " << unpack.output;
        EXPECT_EQ(readFileBytes(folder / "out.gpl"), platformText(expected))
            << colours << " colours";
    }
}

} // namespace
