// Runs the built programs for the command-line tests, in temporary folders.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct ProgramRun {
    int status;         // exit status, or -signal when the program was killed
    std::string output; // everything it wrote to standard output
};

// The program's path from the test configuration ("tintpack" or "tintunpack").
std::string programPath(const std::string& program);

struct CommandOptions;

// Runs the program (behind the configured launcher, if any) with `args`, its
// standard input fed from `input` or else from an empty file.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::optional<std::string>& input = std::nullopt);

// The same with any of the options of runCommand.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const CommandOptions& options);

struct CommandOptions {
    std::optional<std::string> input;       // standard input; empty when none
    std::filesystem::path inputFile;        // standard input from this file instead
    std::filesystem::path folder;           // working folder; the test's own when empty
    std::vector<std::string> environment;   // "NAME=value" sets, "NAME" removes
    bool withStandardError = false;         // capture standard error into output too
    std::optional<double> timeLimit;        // seconds; then it is killed (status -SIGKILL)
    std::optional<long long> fileSizeLimit; // bytes any file may grow to (RLIMIT_FSIZE)
};

// Runs any command, found on PATH like a shell would.
ProgramRun runCommand(const std::vector<std::string>& words, const CommandOptions& options = {});

// Starts any command without waiting for it, its standard output and error
// into `log` (the input, time and capture options are not used); returns its
// process id.
int startCommand(const std::vector<std::string>& words, const CommandOptions& options,
                 const std::filesystem::path& log);

// Starts the program (no launcher) with its standard output discarded and
// returns its process id, for tests that kill it.
int startProgram(const std::string& program, const std::vector<std::string>& args);

// Waits for a started program or command: its exit status, or -signal.
int waitForProgram(int pid);

// A folder of sample files, named in the test configuration.
std::filesystem::path fixturePath(const std::string& name);

std::string readFileBytes(const std::filesystem::path& path);
void writeFileBytes(const std::filesystem::path& path, const std::string& bytes);

// A fresh folder that is removed with everything in it at the end of a test.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Whether the tests run Windows builds of the programs (under an emulator).
// What differs there is stated here once: standard output and the .gpl files
// end their lines with CR LF, and the program sees its own name in argv[0] as
// a Windows path on drive Z:. Binary files are the same bytes everywhere.
bool testingWindowsPrograms();

// Text as the programs under test write it: each LF becomes CR LF on Windows.
std::string platformText(std::string text);

// The expected standard output of a run: `text` with each "{P}" replaced by
// the program name as it sees itself invoked, "{IN}" by `in` and "{OUT}" by
// `out`, in the platform's line ends.
std::string expectedOutput(std::string text, const std::string& program, const std::string& in = "",
                           const std::string& out = "");
