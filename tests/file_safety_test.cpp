// Both programs in build scripts: inputs that are not files are refused at
// once, and an output is replaced whole or not at all, whatever happens to
// the run (a failed write, a kill).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "run_program.h"

namespace fs = std::filesystem;

namespace {

const std::string header = "GIMP Palette\nName: Test\nColumns: 16\n#\n";
const std::string kept = "an earlier palette";
const auto oldTime = fs::file_time_type(std::chrono::hours(24 * 365 * 30));

std::vector<std::string> argsFor(const std::string& program, const std::string& in,
                                 const std::string& out)
{
    if (program == "tintpack") {
        return {in, out};
    }
    return {in, out, "16", "x"};
}

// A small valid input for each program, and the output it gives.
std::string sampleInput(const std::string& program)
{
    return program == "tintpack" ? header + "255 128 0\n" : std::string("\x00\x8e", 2);
}

std::string sampleOutput(const std::string& program)
{
    return program == "tintpack"
               ? std::string("\x00\x8e", 2)
               : platformText("GIMP Palette\nName: x\nColumns: 16\n#\n224 128 0\tUntitled\n");
}

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// An existing output that a failed run must leave exactly as it was.
void writeKeptOutput(const fs::path& out)
{
    writeFileBytes(out, kept);
    fs::last_write_time(out, oldTime);
}

void expectKeptOutput(const fs::path& out)
{
    EXPECT_EQ(readFileBytes(out), kept);
    EXPECT_EQ(fs::last_write_time(out), oldTime);
}

class BothPrograms : public testing::TestWithParam<std::string> {};

INSTANTIATE_TEST_SUITE_P(Programs, BothPrograms, testing::Values("tintpack", "tintunpack"),
                         [](const auto& info) { return info.param; });

TEST_P(BothPrograms, RefuseAnInputThatIsNotAFileAtOnce)
{
    const std::string program = GetParam();
    TemporaryFolder folder;
    if (testingWindowsPrograms()) {
        // The Windows null device.
        writeKeptOutput(folder / "out");
        const ProgramRun run =
            runProgram(program, argsFor(program, "NUL", (folder / "out").string()));
        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(run.output,
                  expectedOutput("{P}: ERROR!!! Cannot open {IN} for reading!\n", program, "NUL"));
        expectKeptOutput(folder / "out");
        return;
    }
    const std::string fifo = (folder / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = (folder / "socket").string();
    const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listening, 1), 0);
    const fs::path out = folder / "out";

    for (const std::string& in : {std::string("/dev/zero"), std::string("/dev/null"),
                                  std::string("/dev/urandom"), fifo, socketPath}) {
        writeKeptOutput(out);
        CommandOptions options;
        options.timeLimit = 10;
        const auto start = std::chrono::steady_clock::now();
        const ProgramRun run = runProgram(program, argsFor(program, in, out.string()), options);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(run.status, 3) << in;
        EXPECT_EQ(run.output,
                  expectedOutput("{P}: ERROR!!! Cannot open {IN} for reading!\n", program, in))
            << in;
        EXPECT_LT(took.count(), 1.0) << in;
        expectKeptOutput(out);
    }
    close(listening);
    EXPECT_EQ(namesIn(folder.path()), (std::vector<std::string>{"fifo", "out", "socket"}));
}

TEST_P(BothPrograms, ReadStandardInputRedirectedFromAFile)
{
    if (testingWindowsPrograms()) {
        GTEST_SKIP() << "no /dev/stdin on Windows";
    }
    const std::string program = GetParam();
    TemporaryFolder folder;
    writeFileBytes(folder / "in", sampleInput(program));
    CommandOptions options;
    options.inputFile = folder / "in";
    const ProgramRun run =
        runProgram(program, argsFor(program, "/dev/stdin", (folder / "out").string()), options);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(readFileBytes(folder / "out"), sampleOutput(program));
}

// A real write failure on a regular file: the child may not grow any file
// beyond 64 KiB, and a write past that fails.
TEST_P(BothPrograms, LeaveTheOldOutputAndNoTemporaryWhenAWriteFails)
{
    const std::string program = GetParam();
    TemporaryFolder folder;
    const fs::path in = folder / "in";
    const fs::path out = folder / "out";
    std::string input = program == "tintpack" ? header : "";
    for (int colour = 0; colour < 100000; ++colour) {
        input += program == "tintpack" ? "255 255 255\n" : "\x0e\xee";
    }
    writeFileBytes(in, input);
    writeKeptOutput(out);

    CommandOptions options;
    options.fileSizeLimit = 64 * 1024;
    const ProgramRun run =
        runProgram(program, argsFor(program, in.string(), out.string()), options);

    EXPECT_EQ(run.status, 3);
    const std::string failed = "{P}: ERROR!!! Could not write {OUT}!\n";
    const std::string packed =
        "Reading GIMP Palette file ({IN})...\n"
        "WARNING!!! {IN} has 100000 color entries.\n"
        "Expected: 64 colors or less.\nMight still work with palette cycles.\n"
        "Writing Megadrive/Genesis Palette file ({OUT})...\n" +
        failed;
    EXPECT_EQ(run.output, expectedOutput(program == "tintpack" ? packed : failed, program,
                                         in.string(), out.string()));
    expectKeptOutput(out);
    EXPECT_EQ(namesIn(folder.path()), (std::vector<std::string>{"in", "out"}));
}

TEST_P(BothPrograms, KeepThePermissionBitsOfAReplacedFile)
{
    if (testingWindowsPrograms()) {
        GTEST_SKIP() << "no permission bits on Windows";
    }
    const std::string program = GetParam();
    TemporaryFolder folder;
    writeFileBytes(folder / "in", sampleInput(program));
    writeFileBytes(folder / "kept", kept);
    chmod((folder / "kept").c_str(), 0640);

    EXPECT_EQ(
        runProgram(program, argsFor(program, (folder / "in").string(), (folder / "kept").string()))
            .status,
        0);
    EXPECT_EQ(readFileBytes(folder / "kept"), sampleOutput(program));
    EXPECT_EQ(fs::status(folder / "kept").permissions(), static_cast<fs::perms>(0640));

    // A new file gets the ordinary mode: 0666 less the umask.
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(
        runProgram(program, argsFor(program, (folder / "in").string(), (folder / "new").string()))
            .status,
        0);
    EXPECT_EQ(fs::status(folder / "new").permissions(), static_cast<fs::perms>(0666 & ~mask));
}

TEST_P(BothPrograms, ReplaceTheFileASymbolicLinkPointsTo)
{
    const std::string program = GetParam();
    TemporaryFolder folder;
    fs::create_directory(folder / "real");
    writeFileBytes(folder / "in", sampleInput(program));
    writeFileBytes(folder / "real" / "target", kept);
    fs::create_symlink(fs::path("real") / "target", folder / "link");
    fs::create_symlink(fs::path("real") / "later", folder / "dangling");

    // Windows builds follow only links to existing files.
    const std::vector<std::string> links = testingWindowsPrograms()
                                               ? std::vector<std::string>{"link"}
                                               : std::vector<std::string>{"link", "dangling"};
    for (const std::string& link : links) {
        const ProgramRun run = runProgram(
            program, argsFor(program, (folder / "in").string(), (folder / link).string()));
        EXPECT_EQ(run.status, 0) << link << ": " << run.output;
        EXPECT_TRUE(fs::is_symlink(folder / link)) << link;
    }
    EXPECT_EQ(readFileBytes(folder / "real" / "target"), sampleOutput(program));
    if (!testingWindowsPrograms()) {
        EXPECT_EQ(readFileBytes(folder / "real" / "later"), sampleOutput(program));
        EXPECT_EQ(namesIn(folder / "real"), (std::vector<std::string>{"later", "target"}));
    }
}

TEST_P(BothPrograms, WriteInPlaceToAnOutputThatIsNotAFile)
{
    const std::string program = GetParam();
    TemporaryFolder folder;
    writeFileBytes(folder / "in", sampleInput(program));
    const std::string null = testingWindowsPrograms() ? "NUL" : "/dev/null";
    const ProgramRun run = runProgram(program, argsFor(program, (folder / "in").string(), null));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"in"});
}

// Root may create files in any folder, so this runs as an ordinary user.
TEST_P(BothPrograms, WriteInPlaceWhenTheFolderRefusesANewFilePermission)
{
    if (geteuid() == 0) {
        GTEST_SKIP() << "root may create files in any folder";
    }
    const std::string program = GetParam();
    TemporaryFolder folder;
    fs::create_directory(folder / "closed");
    writeFileBytes(folder / "in", sampleInput(program));
    writeFileBytes(folder / "closed" / "out", kept);
    fs::permissions(folder / "closed", fs::perms::owner_read | fs::perms::owner_exec);

    const std::string out = (folder / "closed" / "out").string();
    EXPECT_EQ(runProgram(program, argsFor(program, (folder / "in").string(), out)).status, 0);
    EXPECT_EQ(readFileBytes(out), sampleOutput(program));

    const std::string missing = (folder / "closed" / "missing").string();
    const ProgramRun refused =
        runProgram(program, argsFor(program, (folder / "in").string(), missing));
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.output.find("Cannot open " + missing + " for writing!"), std::string::npos)
        << refused.output;
    EXPECT_EQ(namesIn(folder / "closed"), std::vector<std::string>{"out"});
}

// A large conversion over an existing output, killed at random moments: some
// while it reads, some just after it begins to write.
// Every time the output holds either the old bytes or the complete new ones.
TEST_P(BothPrograms, LeaveTheOldOrTheCompleteNewOutputWhenKilled)
{
    if (!std::string(std::getenv("TINT_LAUNCHER") ? std::getenv("TINT_LAUNCHER") : "").empty() ||
        testingWindowsPrograms()) {
        GTEST_SKIP() << "kills the program itself, with no launcher between";
    }
    const std::string program = GetParam();
    TemporaryFolder folder;
    const fs::path in = folder / "in";
    const fs::path out = folder / "out";
    std::string input = program == "tintpack" ? header : "";
    for (int colour = 0; colour < 3000000; ++colour) {
        const int red = (colour * 7) % 256;
        const int green = (colour * 13) % 256;
        const int blue = (colour / 7) % 256;
        if (program == "tintpack") {
            input += std::to_string(red) + ' ' + std::to_string(green) + ' ' +
                     std::to_string(blue) + '\n';
        } else {
            input += static_cast<char>(blue);
            input += static_cast<char>(green ^ red);
        }
    }
    writeFileBytes(in, input);
    input.clear();
    const std::vector<std::string> args = argsFor(program, in.string(), out.string());

    // One whole run: the new bytes, and how long a run takes.
    writeFileBytes(out, kept);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(waitForProgram(startProgram(program, args)), 0);
    const auto whole = std::chrono::steady_clock::now() - start;
    const std::string complete = readFileBytes(out);
    ASSERT_GT(complete.size(), 1000000U);

    std::mt19937 random(std::random_device{}());
    const std::string temporaryStart = "out." + program + "-";
    int leftOld = 0;
    int leftNew = 0;
    int temporariesLeft = 0;
    const int kills = 24;
    for (int kill = 0; kill < kills; ++kill) {
        writeFileBytes(out, kept);
        const int pid = startProgram(program, args);
        if (kill % 2 == 0) {
            std::this_thread::sleep_for(std::chrono::duration_cast<std::chrono::microseconds>(
                whole * std::uniform_real_distribution<double>(0, 1)(random)));
        } else {
            const auto giveUp = std::chrono::steady_clock::now() + 2 * whole;
            // Writing has begun: a temporary appears, or the output itself changes.
            while (namesIn(folder.path()).size() < 3 && fs::file_size(out) == kept.size() &&
                   std::chrono::steady_clock::now() < giveUp) {
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
            std::this_thread::sleep_for(
                std::chrono::microseconds(std::uniform_int_distribution<int>(0, 3000)(random)));
        }
        ::kill(pid, SIGKILL);
        waitForProgram(pid);

        const std::string left = readFileBytes(out);
        if (left == kept) {
            ++leftOld;
        } else if (left == complete) {
            ++leftNew;
        } else {
            ADD_FAILURE() << "kill " << kill << " left " << left.size() << " bytes of "
                          << complete.size();
        }
        for (const std::string& name : namesIn(folder.path())) {
            if (name == "in" || name == "out") {
                continue;
            }
            // A killed run can leave its temporary, under a name that says whose it is.
            EXPECT_EQ(name.rfind(temporaryStart, 0), 0U) << name;
            EXPECT_EQ(name.size(), temporaryStart.size() + 12) << name;
            ++temporariesLeft;
            fs::remove(folder / name);
        }
    }
    std::printf("%s: %d kills: %d left the old output, %d the complete new one; %d killed "
                "while writing left a temporary\n",
                program.c_str(), kills, leftOld, leftNew, temporariesLeft);
    EXPECT_EQ(leftOld + leftNew, kills);
    EXPECT_GT(temporariesLeft, 0) << "no kill came while the output was being written";
}

} // namespace
