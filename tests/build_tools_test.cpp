// tintpack inside real builds: the make rule and the CMake custom command of
// the README, over a tiny project, with the real make and CMake. A build
// converts once, does nothing while the palette is unchanged, converts again
// when it changes, and fails on a broken palette without leaving anything that
// would make the next build think it is done.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run_program.h"

namespace fs = std::filesystem;

namespace {

const std::string reading = "Reading GIMP Palette file";
const std::string broken = "GIMP Palette\nName: Broken\n#\n255 255 255\n10 20\tTwo\n";

// One way to build the project in a folder: the command and where it writes.
struct Build {
    std::vector<std::string> command;
    fs::path words; // the .bin the build makes
};

class BuildTools : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* file : {"Makefile", "CMakeLists.txt"}) {
            fs::copy_file(fs::path(TINT_BUILD_TOOLS) / file, folder / file);
        }
        fs::copy_file(fixturePath("worked_values.gpl"), folder / "level.gpl");
        expected = readFileBytes(fixturePath("worked_values.bin"));
    }

    ProgramRun build(const Build& how)
    {
        CommandOptions options;
        options.folder = folder.path();
        options.withStandardError = true;
        return runCommand(how.command, options);
    }

    // The checks every kind of build must pass, in order.
    void convertsOnlyWhatChanged(const Build& how)
    {
        const fs::path gpl = folder / "level.gpl";

        const ProgramRun first = build(how);
        ASSERT_EQ(first.status, 0) << first.output;
        EXPECT_NE(first.output.find(reading), std::string::npos) << first.output;
        ASSERT_EQ(readFileBytes(how.words), expected);

        // Both files well in the past, the palette older: nothing to do.
        const auto past = fs::file_time_type::clock::now() - std::chrono::hours(1);
        fs::last_write_time(gpl, past - std::chrono::minutes(1));
        fs::last_write_time(how.words, past);
        const ProgramRun second = build(how);
        EXPECT_EQ(second.status, 0) << second.output;
        EXPECT_EQ(second.output.find(reading), std::string::npos) << second.output;
        EXPECT_EQ(fs::last_write_time(how.words), past);

        // A touched palette converts again.
        fs::last_write_time(gpl, past + std::chrono::minutes(1));
        const ProgramRun touched = build(how);
        EXPECT_EQ(touched.status, 0) << touched.output;
        EXPECT_NE(touched.output.find(reading), std::string::npos) << touched.output;
        EXPECT_GT(fs::last_write_time(how.words), past);
        EXPECT_EQ(readFileBytes(how.words), expected);

        // A broken palette fails the build and leaves the previous .bin, so
        // that the next build tries again and fails again.
        fs::last_write_time(how.words, past);
        writeFileBytes(gpl, broken);
        for (int attempt = 0; attempt < 2; ++attempt) {
            const ProgramRun failed = build(how);
            EXPECT_NE(failed.status, 0) << failed.output;
            EXPECT_NE(failed.output.find("is not a valid GIMP Palette!"), std::string::npos)
                << failed.output;
            EXPECT_NE(failed.output.find("level.gpl:5: fewer than three numbers"),
                      std::string::npos)
                << failed.output;
            EXPECT_EQ(readFileBytes(how.words), expected);
            EXPECT_EQ(fs::last_write_time(how.words), past);
        }
    }

    TemporaryFolder folder;
    std::string expected;
};

TEST_F(BuildTools, MakePatternRuleConvertsOnlyWhatChanged)
{
    if (testingWindowsPrograms()) {
        GTEST_SKIP() << "runs the programs without a launcher";
    }
    if (runCommand({"make", "--version"}).status != 0) {
        GTEST_SKIP() << "make is not installed";
    }
    convertsOnlyWhatChanged(
        {{"make", "TINTPACK=" + programPath("tintpack"), "level.bin"}, folder / "level.bin"});
}

TEST_F(BuildTools, CMakeCustomCommandConvertsOnlyWhatChanged)
{
    if (testingWindowsPrograms()) {
        GTEST_SKIP() << "runs the programs without a launcher";
    }
    CommandOptions options;
    options.folder = folder.path();
    options.withStandardError = true;
    const ProgramRun configured = runCommand(
        {TINT_CMAKE, "-S", ".", "-B", "build", "-DTINTPACK=" + programPath("tintpack")}, options);
    ASSERT_EQ(configured.status, 0) << configured.output;
    convertsOnlyWhatChanged({{TINT_CMAKE, "--build", "build"}, folder / "build" / "level.bin"});
}

} // namespace
