// The console as the client of tintpack's output: each palette is converted
// by tintpack, built into a tiny ROM of our own (tests/console/), run on an
// emulated Mega Drive (mednafen, headless), and every one of the 64 colours
// is read back from a recorded frame and held against the colour the .gpl
// asked for: each component's top three bits, at the emulator's levels. A
// wrong byte order or bit layout shows here even when it would pass fixtures
// written with the same mistake.
//
// Exits 77 (reported by CTest as skipped) without the assembler or mednafen.

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "run_program.h"

namespace fs = std::filesystem;

namespace {

using Colour = std::array<int, 3>;

// Where a program is: on PATH, or in Debian's folder for games (mednafen).
std::string findProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(std::string(path != nullptr ? path : "") + ":/usr/games");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const fs::path candidate = fs::path(folder) / name;
        if (!folder.empty() && access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
    }
    return "";
}

const std::string assembler = findProgram("m68k-linux-gnu-as");
const std::string linker = findProgram("m68k-linux-gnu-ld");
const std::string emulator = findProgram("mednafen");

// The colour shown for the marker word 0A4C, which follows a palette of
// fewer than 64 colours in the ROM: red 6, green 2, blue 5.
const Colour markerLevels = {6, 2, 5};

// A three-bit value v as mednafen shows it.
int screenLevel(int v)
{
    return v * 34;
}

// One recorded frame: 24-bit RGB, `width` x `height`.
struct Frame {
    int width = 0;
    int height = 0;
    std::string pixels;
};

std::uint64_t bigEndian(const std::string& bytes, std::size_t at, int size)
{
    std::uint64_t value = 0;
    for (int i = 0; i < size; ++i) {
        value =
            (value << 8U) | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
    }
    return value;
}

// The last frame of mednafen's QuickTime recording (codec "raw ", 24-bit RGB):
// the size from the sample description, the frame from the chunk offsets.
std::optional<Frame> lastFrameOf(const std::string& movie)
{
    const auto description = movie.rfind("stsd");
    const auto chunks = movie.rfind("stco");
    if (description == std::string::npos || chunks == std::string::npos ||
        movie.compare(description + 16, 4, "raw ") != 0) {
        return std::nullopt;
    }
    Frame frame;
    // The first sample description starts 12 bytes on: its size and format,
    // 24 more bytes, then the width and the height.
    frame.width = static_cast<int>(bigEndian(movie, description + 12 + 32, 2));
    frame.height = static_cast<int>(bigEndian(movie, description + 12 + 34, 2));
    const auto count = bigEndian(movie, chunks + 8, 4);
    if (count == 0 || frame.width == 0 || frame.height == 0) {
        return std::nullopt;
    }
    const auto offset = bigEndian(movie, chunks + 12 + 4 * (count - 1), 4);
    const auto size = static_cast<std::size_t>(frame.width) * frame.height * 3;
    if (offset + size > movie.size()) {
        return std::nullopt;
    }
    frame.pixels = movie.substr(offset, size);
    return frame;
}

// The colour of bar `bar` (0-15) of row `row` (0-3): the ROM draws each bar
// 16 pixels wide and 56 lines high on a 256 x 224 screen. Sampled away from
// its edges, and only if it is one colour there.
std::optional<Colour> barColour(const Frame& frame, int row, int bar)
{
    std::optional<Colour> seen;
    for (int y = row * 56 + 8; y < row * 56 + 48; y += 4) {
        for (int x = bar * 16 + 4; x < bar * 16 + 12; ++x) {
            const int px = x * frame.width / 256;
            const int py = y * frame.height / 224;
            const std::size_t at = (static_cast<std::size_t>(py) * frame.width + px) * 3;
            const Colour colour = {static_cast<unsigned char>(frame.pixels[at]),
                                   static_cast<unsigned char>(frame.pixels[at + 1]),
                                   static_cast<unsigned char>(frame.pixels[at + 2])};
            if (seen && *seen != colour) {
                return std::nullopt;
            }
            seen = colour;
        }
    }
    return seen;
}

// Builds the ROM around `words` in a fresh folder and runs it headless until
// it has recorded some frames. The screen's 64 bars, in palette order, or a
// failure message.
struct Screen {
    std::vector<std::optional<Colour>> bars;
    std::string failure;
};

Screen showOnTheConsole(const std::string& words)
{
    Screen screen;
    TemporaryFolder folder;
    fs::copy_file(TINT_CONSOLE_ROM, folder / "palette_rom.s");
    writeFileBytes(folder / "palette.bin", words);
    CommandOptions options;
    options.folder = folder.path();
    options.withStandardError = true;
    const ProgramRun assembled = runCommand(
        {assembler, "-m68000", "--register-prefix-optional", "-o", "rom.o", "palette_rom.s"},
        options);
    const ProgramRun linked = runCommand(
        {linker, "-Ttext=0", "-e", "0", "--oformat", "binary", "-o", "rom.bin", "rom.o"}, options);
    if (assembled.status != 0 || linked.status != 0) {
        screen.failure = "the ROM did not build: " + assembled.output + linked.output;
        return screen;
    }

    fs::create_directory(folder / "home");
    const std::string home = (folder / "home").string();
    CommandOptions emulation;
    emulation.folder = folder.path();
    emulation.environment = {"HOME=" + home, "MEDNAFEN_HOME=" + home, "SDL_VIDEODRIVER=offscreen",
                             "DISPLAY"};
    const int child = startCommand({emulator, "-sound", "0", "-video.driver", "softfb", "-qtrecord",
                                    "screen.mov", "-qtrecord.vcodec", "raw", "rom.bin"},
                                   emulation, folder / "mednafen.log");
    // Ten frames of 1280 x 448, then a clean stop that closes the movie.
    const std::uintmax_t enough = std::uintmax_t{10} * 1280 * 448 * 3;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    auto recorded = [&folder] {
        std::error_code error;
        const std::uintmax_t size = fs::file_size(folder / "screen.mov", error);
        return error ? 0 : size;
    };
    while (recorded() < enough && std::chrono::steady_clock::now() < giveUp &&
           waitpid(child, nullptr, WNOHANG) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(child, SIGINT);
    int status = 0;
    const auto stopBy = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > stopBy) {
            kill(child, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const std::string log =
        fs::exists(folder / "mednafen.log") ? readFileBytes(folder / "mednafen.log") : "";
    const std::optional<Frame> frame = fs::exists(folder / "screen.mov")
                                           ? lastFrameOf(readFileBytes(folder / "screen.mov"))
                                           : std::nullopt;
    if (!frame) {
        screen.failure = "no frame recorded; mednafen said:\n" + log;
        return screen;
    }
    for (int row = 0; row < 4; ++row) {
        for (int bar = 0; bar < 16; ++bar) {
            screen.bars.push_back(barColour(*frame, row, bar));
        }
    }
    return screen;
}

// The levels each colour of a palette should show at: the top three bits of
// each component, then the marker up to 64 colours.
std::vector<Colour> expectedLevels(const std::vector<Colour>& palette)
{
    std::vector<Colour> levels;
    levels.reserve(64);
    for (const Colour& colour : palette) {
        levels.push_back({colour[0] >> 5, colour[1] >> 5, colour[2] >> 5});
    }
    while (levels.size() < 64) {
        levels.push_back(markerLevels);
    }
    return levels;
}

// The bars that do not show their colour, as "bar N shows (r g b), not (r g b)".
std::vector<std::string> wrongBars(const Screen& screen, const std::vector<Colour>& levels)
{
    std::vector<std::string> wrong;
    for (std::size_t slot = 0; slot < 64; ++slot) {
        const Colour wanted = {screenLevel(levels[slot][0]), screenLevel(levels[slot][1]),
                               screenLevel(levels[slot][2])};
        const std::optional<Colour>& shown = screen.bars.at(slot);
        if (!shown || *shown != wanted) {
            std::ostringstream text;
            text << "bar " << slot << " shows "
                 << (shown ? testing::PrintToString(*shown) : std::string("no single colour"))
                 << ", not " << testing::PrintToString(wanted);
            wrong.push_back(text.str());
        }
    }
    return wrong;
}

std::string gplText(const std::vector<Colour>& palette, const std::string& lineEnd = "\n")
{
    std::string text = "GIMP Palette" + lineEnd + "Name: Console" + lineEnd + "Columns: 16" +
                       lineEnd + "#" + lineEnd;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        text += std::to_string(palette[i][0]) + ' ' + std::to_string(palette[i][1]) + ' ' +
                std::to_string(palette[i][2]) + "\tColour " + std::to_string(i) + lineEnd;
    }
    return text;
}

// The colours of a .gpl with the four-line header, as tintunpack writes it
// and as the README's example has it.
std::vector<Colour> coloursAfterFourHeaderLines(const std::string& text)
{
    std::vector<Colour> colours;
    std::istringstream lines(text);
    std::string line;
    for (int header = 0; header < 4; ++header) {
        std::getline(lines, line);
    }
    while (std::getline(lines, line)) {
        std::istringstream numbers(line);
        Colour colour{};
        numbers >> colour[0] >> colour[1] >> colour[2];
        colours.push_back(colour);
    }
    return colours;
}

struct Converted {
    std::string words;    // what tintpack wrote
    std::string unpacked; // what tintunpack made of it
};

Converted convert(const std::string& gpl)
{
    TemporaryFolder folder;
    writeFileBytes(folder / "in.gpl", gpl);
    const ProgramRun packed =
        runProgram("tintpack", {(folder / "in.gpl").string(), (folder / "out.bin").string()});
    EXPECT_EQ(packed.status, 0) << packed.output;
    if (packed.status != 0) {
        return {};
    }
    const ProgramRun unpacked =
        runProgram("tintunpack",
                   {(folder / "out.bin").string(), (folder / "back.gpl").string(), "16", "Back"});
    EXPECT_EQ(unpacked.status, 0) << unpacked.output;
    return {readFileBytes(folder / "out.bin"), readFileBytes(folder / "back.gpl")};
}

struct ConsoleCase {
    const char* name;
    std::vector<Colour> palette;
    std::string gpl; // the palette as a file
};

std::vector<Colour> everyLevelAsymmetric()
{
    // Channel levels step by 1, 3 and 5: each channel takes every level 0-7,
    // no two channels alike, low bits set so that rounding shows too.
    std::vector<Colour> palette;
    palette.reserve(8);
    for (int i = 0; i < 8; ++i) {
        palette.push_back({i * 32 + 31, ((i * 3 + 1) % 8) * 32 + 5, ((i * 5 + 2) % 8) * 32 + 17});
    }
    return palette;
}

std::vector<Colour> sixtyFourColours()
{
    std::mt19937 random(64);
    std::uniform_int_distribution<int> component(0, 255);
    std::vector<Colour> palette;
    palette.reserve(64);
    for (int i = 0; i < 64; ++i) {
        palette.push_back({component(random), component(random), component(random)});
    }
    return palette;
}

std::vector<ConsoleCase> consoleCases()
{
    std::vector<ConsoleCase> cases;
    // The README's example, as it stands in the repository.
    const std::string example = readFileBytes(TINT_EXAMPLE_PALETTE);
    cases.push_back({"the README's example", coloursAfterFourHeaderLines(example), example});
    cases.push_back(
        {"every level in every channel", everyLevelAsymmetric(), gplText(everyLevelAsymmetric())});
    cases.push_back({"64 colours", sixtyFourColours(), gplText(sixtyFourColours())});
    // Words with the byte 0A (a line feed) in both places, in a file with
    // CR LF line ends and a byte 1A (end of file in text mode) in a name.
    const std::vector<Colour> controls = {
        {160, 0, 160}, {191, 31, 0}, {0, 0, 176}, {255, 255, 255}, {160, 20, 170}};
    const std::string plain = gplText(controls, "\r\n");
    const auto name = plain.find("\tColour 1") + 1;
    const std::string text = plain.substr(0, name) + '\x1a' + plain.substr(name);
    cases.push_back({"bytes 0A, 0D and 1A", controls, text});
    return cases;
}

TEST(Console, ShowsEveryColourThePaletteAskedFor)
{
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::string> swappedCaught;
    for (const ConsoleCase& c : consoleCases()) {
        SCOPED_TRACE(c.name);
        ASSERT_LE(c.palette.size(), 64U);
        const Converted converted = convert(c.gpl);
        ASSERT_EQ(converted.words.size(), 2 * c.palette.size());
        // Bits that the screen cannot show are checked in the bytes.
        for (std::size_t at = 0; at < converted.words.size(); at += 2) {
            EXPECT_EQ(static_cast<unsigned char>(converted.words[at]) & 0xF1U, 0U)
                << "word " << at / 2;
            EXPECT_EQ(static_cast<unsigned char>(converted.words[at + 1]) & 0x11U, 0U)
                << "word " << at / 2;
        }

        const Screen screen = showOnTheConsole(converted.words);
        ASSERT_TRUE(screen.failure.empty()) << screen.failure;
        const std::vector<Colour> levels = expectedLevels(c.palette);
        const std::vector<std::string> wrong = wrongBars(screen, levels);
        EXPECT_TRUE(wrong.empty()) << testing::PrintToString(wrong);

        // tintunpack gives back, for every colour, the three bits the console showed.
        const std::vector<Colour> back = coloursAfterFourHeaderLines(converted.unpacked);
        ASSERT_EQ(back.size(), c.palette.size());
        for (std::size_t slot = 0; slot < back.size() && slot < screen.bars.size(); ++slot) {
            ASSERT_TRUE(screen.bars[slot].has_value());
            for (std::size_t channel = 0; channel < 3; ++channel) {
                EXPECT_EQ(back[slot][channel] % 32, 0) << "colour " << slot;
                EXPECT_EQ(screenLevel(back[slot][channel] / 32), (*screen.bars[slot])[channel])
                    << "colour " << slot << ", channel " << channel;
            }
        }

        // The negative control: the same words with their bytes swapped, as a
        // converter with the wrong byte order would write them, must show wrong.
        if (std::string(c.name) == "every level in every channel") {
            std::string swapped = converted.words;
            for (std::size_t at = 0; at + 1 < swapped.size(); at += 2) {
                std::swap(swapped[at], swapped[at + 1]);
            }
            const Screen wrongScreen = showOnTheConsole(swapped);
            ASSERT_TRUE(wrongScreen.failure.empty()) << wrongScreen.failure;
            swappedCaught = wrongBars(wrongScreen, levels);
        }
    }
    EXPECT_GE(swappedCaught.size(), 7U)
        << "a byte-swapped palette was not told apart: " << testing::PrintToString(swappedCaught);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%zu palettes shown on the emulated console and checked, and one byte-swapped "
                "palette caught (%zu bars wrong), in %.1f s.\n",
                consoleCases().size(), swappedCaught.size(), took.count());
}

} // namespace

int main(int argc, char** argv)
{
    if (assembler.empty() || linker.empty() || emulator.empty()) {
        // CI installs them: there a skip would hide a missing install.
        const bool inCi = std::getenv("CI") != nullptr;
        std::printf("m68k-linux-gnu-as, m68k-linux-gnu-ld or mednafen not found: the console "
                    "test %s.\n",
                    inCi ? "fails, as CI must run it" : "is skipped");
        return inCi ? 1 : 77;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
