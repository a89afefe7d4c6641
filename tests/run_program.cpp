#include "run_program.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string configured(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    return value != nullptr ? value : fallback;
}

std::vector<std::string> launcherWords()
{
    std::istringstream words(configured("TINT_LAUNCHER", TINT_LAUNCHER));
    return {std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
}

void replaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

} // namespace

std::string programPath(const std::string& program)
{
    if (program == "tintpack") {
        return configured("TINTPACK", TINTPACK);
    }
    if (program == "tintunpack") {
        return configured("TINTUNPACK", TINTUNPACK);
    }
    throw std::invalid_argument("unknown program " + program);
}

std::filesystem::path fixturePath(const std::string& name)
{
    return std::filesystem::path(configured("TINT_FIXTURES", TINT_FIXTURES)) / name;
}

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::optional<std::string>& input)
{
    CommandOptions options;
    options.input = input;
    return runProgram(program, args, options);
}

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const CommandOptions& options)
{
    std::vector<std::string> words = launcherWords();
    words.push_back(programPath(program));
    words.insert(words.end(), args.begin(), args.end());
    return runCommand(words, options);
}

namespace {

// An argument vector over `words`, which must outlive it.
std::vector<char*> argvOf(std::vector<std::string>& words)
{
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    return argv;
}

// In a forked child, after its standard streams are set: the environment,
// folder and limits of `options`, then the command. Never returns.
[[noreturn]] void execInChild(std::vector<char*>& argv, const CommandOptions& options)
{
    for (const std::string& setting : options.environment) {
        const auto equals = setting.find('=');
        if (equals == std::string::npos) {
            unsetenv(setting.c_str());
        } else {
            setenv(setting.substr(0, equals).c_str(), setting.substr(equals + 1).c_str(), 1);
        }
    }
    if (!options.folder.empty() && chdir(options.folder.c_str()) != 0) {
        _exit(126);
    }
    if (options.fileSizeLimit) {
        // A write past the limit then fails with EFBIG instead of a signal.
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(*options.fileSizeLimit),
                           static_cast<rlim_t>(*options.fileSizeLimit)};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    execvp(argv[0], argv.data());
    _exit(127);
}

} // namespace

ProgramRun runCommand(const std::vector<std::string>& words, const CommandOptions& options)
{
    std::vector<std::string> copies = words;
    std::vector<char*> argv = argvOf(copies);

    int out[2];
    int in[2];
    if (pipe(out) != 0 || pipe(in) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        if (options.withStandardError) {
            dup2(out[1], STDERR_FILENO);
        }
        if (options.inputFile.empty()) {
            dup2(in[0], STDIN_FILENO);
        } else {
            const int file = open(options.inputFile.c_str(), O_RDONLY);
            dup2(file, STDIN_FILENO);
        }
        close(out[0]);
        close(out[1]);
        close(in[0]);
        close(in[1]);
        execInChild(argv, options);
    }
    close(out[1]);
    close(in[0]);
    // Fed in full before reading: the inputs used here fit a pipe's buffer.
    signal(SIGPIPE, SIG_IGN);
    if (options.input) {
        const ssize_t written = write(in[1], options.input->data(), options.input->size());
        (void)written;
    }
    close(in[1]);

    ProgramRun run{0, ""};
    char buffer[4096];
    const auto deadline =
        std::chrono::steady_clock::now() +
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(options.timeLimit.value_or(24 * 3600.0)));
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{out[0], POLLIN, 0};
        const int polled = left.count() > 0 ? poll(&ready, 1, static_cast<int>(left.count())) : 0;
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled == 0) {
            kill(child, SIGKILL); // over its time: whatever it holds open, it ends now
            break;
        }
        const ssize_t got = read(out[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        run.output.append(buffer, static_cast<std::size_t>(got));
    }
    close(out[0]);
    run.status = waitForProgram(child);
    return run;
}

int startCommand(const std::vector<std::string>& words, const CommandOptions& options,
                 const std::filesystem::path& log)
{
    std::vector<std::string> copies = words;
    std::vector<char*> argv = argvOf(copies);
    const pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        const int null = open("/dev/null", O_RDONLY);
        const int output = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(null, STDIN_FILENO);
        dup2(output, STDOUT_FILENO);
        dup2(output, STDERR_FILENO);
        execInChild(argv, options);
    }
    return child;
}

int startProgram(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<std::string> words = args;
    words.insert(words.begin(), programPath(program));
    return startCommand(words, {}, "/dev/null");
}

int waitForProgram(int pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

std::string readFileBytes(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void writeFileBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file << bytes;
    if (!file.flush()) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

TemporaryFolder::TemporaryFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tint-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ignored;
    // Tests take permissions away; give them back so everything can go.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
}

bool testingWindowsPrograms()
{
    return configured("TINT_WINDOWS", TINT_WINDOWS) == std::string("1");
}

std::string platformText(std::string text)
{
    if (testingWindowsPrograms()) {
        replaceAll(text, "\n", "\r\n");
    }
    return text;
}

std::string expectedOutput(std::string text, const std::string& program, const std::string& in,
                           const std::string& out)
{
    std::string invoked = programPath(program);
    if (testingWindowsPrograms()) {
        replaceAll(invoked, "/", "\\");
        invoked = "Z:" + invoked;
    }
    replaceAll(text, "{P}", invoked);
    replaceAll(text, "{IN}", in);
    replaceAll(text, "{OUT}", out);
    return platformText(text);
}
