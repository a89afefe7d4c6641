// Runs the real GIMP 2.10 headless on what the programs write, and the
// programs on what GIMP writes. All checks share one GIMP run (a few seconds),
// isolated in a temporary folder from any GIMP settings of the user's.
//
// Exits 77 (reported by CTest as skipped) when GIMP is not installed.

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "run_program.h"

namespace {

const std::string gimpConsole = "gimp-console-2.10";

using Colour = std::array<int, 3>;

struct SeenPalette {
    int columns = -1;
    std::vector<Colour> colours;
    std::vector<std::string> entryNames;
};

bool isOnPath(const std::string& command)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (access((std::filesystem::path(folder) / command).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

std::string utf8FromCodePoints(const std::vector<long>& codes)
{
    std::string text;
    for (const long c : codes) {
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else if (c < 0x800) {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            text += static_cast<char>(0xE0 | (c >> 12));
            text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

// The integers of a text such as "(224 128 0) (85 110)".
std::vector<long> integersIn(std::string text)
{
    for (char& c : text) {
        if (c == '(' || c == ')') {
            c = ' ';
        }
    }
    std::istringstream numbers(text);
    return {std::istream_iterator<long>(numbers), std::istream_iterator<long>()};
}

// GIMP's data folder, as reported in result.txt.
std::filesystem::path dataFolderFromReport(const std::string& report)
{
    std::istringstream lines(report);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("data ", 0) == 0) {
            return utf8FromCodePoints(integersIn(line.substr(5)));
        }
    }
    return {};
}

// The palettes GIMP reported in result.txt, by name.
std::map<std::string, SeenPalette> parseReport(const std::string& report)
{
    std::map<std::string, SeenPalette> palettes;
    SeenPalette* current = nullptr;
    std::istringstream lines(report);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("palette ", 0) == 0) {
            current = &palettes[utf8FromCodePoints(integersIn(line.substr(8)))];
        } else if (line.rfind("columns ", 0) == 0 && current != nullptr) {
            current->columns = std::stoi(line.substr(8));
        } else if (line.rfind("entry ", 0) == 0 && current != nullptr) {
            const auto closing = line.find(')');
            const std::vector<long> rgb = integersIn(line.substr(6, closing - 5));
            if (rgb.size() == 3) {
                current->colours.push_back(
                    {static_cast<int>(rgb[0]), static_cast<int>(rgb[1]), static_cast<int>(rgb[2])});
            }
            current->entryNames.push_back(utf8FromCodePoints(integersIn(line.substr(closing + 1))));
        }
    }
    return palettes;
}

// Two bytes per colour, high byte first: every colour the console can show.
std::string allConsoleColours()
{
    std::string words;
    for (int blue = 0; blue < 8; ++blue) {
        for (int green = 0; green < 8; ++green) {
            for (int red = 0; red < 8; ++red) {
                words += static_cast<char>(blue << 1);
                words += static_cast<char>((green << 5) | (red << 1));
            }
        }
    }
    return words;
}

std::vector<Colour> allConsoleColoursDecoded()
{
    std::vector<Colour> colours;
    for (int blue = 0; blue < 8; ++blue) {
        for (int green = 0; green < 8; ++green) {
            for (int red = 0; red < 8; ++red) {
                colours.push_back({red * 32, green * 32, blue * 32});
            }
        }
    }
    return colours;
}

// What tintunpack gives GIMP: file name, words, columns and palette name.
struct Unpacked {
    std::string file;
    std::string words;
    int columns;
    std::string name;
    std::vector<Colour> colours;
};

const std::vector<Unpacked>& unpackedPalettes()
{
    static const std::vector<Unpacked> palettes = {
        {"all.gpl", allConsoleColours(), 16, "All 512 colours", allConsoleColoursDecoded()},
        {"empty.gpl", "", 16, "Empty", {}},
        {"omega.gpl",
         std::string("\x0e\xee\x00\x8e", 4),
         8,
         "Ωmega é",
         {{224, 224, 224}, {224, 128, 0}}},
        {"resaved.gpl", allConsoleColours(), 16, "Saved by GIMP", allConsoleColoursDecoded()},
    };
    return palettes;
}

class Gimp : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<TemporaryFolder>();
        const std::filesystem::path root = folder->path();
        for (const char* sub : {"home", "config", "cache", "data", "gimp2", "palettes", "empty"}) {
            std::filesystem::create_directory(root / sub);
        }
        const std::string palettes = (root / "palettes").string();
        const std::string empty = (root / "empty").string();
        // GIMP's own palettes too, wherever this GIMP keeps them.
        std::string gimprc = "(palette-path \"" + palettes +
                             ":${gimp_data_dir}/palettes\")\n(palette-path-writable \"" + palettes +
                             "\")\n(plug-in-path \"/usr/lib/gimp/2.0/plug-ins/script-fu\")\n";
        // Every other kind of data from an empty folder, for a faster start.
        for (const char* kind :
             {"brush", "pattern", "gradient", "dynamics", "tool-preset", "mypaint-brush", "font"}) {
            gimprc += std::string("(") + kind + "-path \"" + empty + "\")\n";
        }
        for (const char* kind : {"brush", "pattern", "gradient"}) {
            gimprc += std::string("(") + kind + "-path-writable \"" + empty + "\")\n";
        }
        writeFileBytes(root / "gimp2" / "gimprc", gimprc);

        for (const Unpacked& palette : unpackedPalettes()) {
            const std::string words = (root / (palette.file + ".bin")).string();
            writeFileBytes(words, palette.words);
            const ProgramRun run =
                runProgram("tintunpack", {words, (root / "palettes" / palette.file).string(),
                                          std::to_string(palette.columns), palette.name});
            ASSERT_EQ(run.status, 0) << run.output;
        }
        std::filesystem::copy_file(std::filesystem::path(TINT_GIMP_SCRIPT), root / "script.scm");

        CommandOptions options;
        options.folder = root;
        options.withStandardError = true;
        options.environment = {"DISPLAY",
                               "LANG",
                               "LANGUAGE",
                               "LC_ALL=C.UTF-8",
                               "HOME=" + (root / "home").string(),
                               "XDG_CONFIG_HOME=" + (root / "config").string(),
                               "XDG_CACHE_HOME=" + (root / "cache").string(),
                               "XDG_DATA_HOME=" + (root / "data").string(),
                               "GIMP2_DIRECTORY=" + (root / "gimp2").string()};
        const ProgramRun run = runCommand({gimpConsole, "-i", "-n", "-f", "--batch-interpreter",
                                           "plug-in-script-fu-eval", "-b", "(load \"script.scm\")",
                                           "-b", "(gimp-quit 0)"},
                                          options);
        gimpOutput = run.output;
        report =
            std::filesystem::exists(root / "result.txt") ? readFileBytes(root / "result.txt") : "";
    }

    static void TearDownTestSuite() { folder.reset(); }

    void SetUp() override
    {
        // A run that died early has no end marker; say what GIMP printed.
        ASSERT_NE(report.find("\nend\n"), std::string::npos) << gimpOutput;
    }

    static std::filesystem::path palettePath(const std::string& file)
    {
        return folder->path() / "palettes" / file;
    }

    static std::unique_ptr<TemporaryFolder> folder;
    static std::string gimpOutput;
    static std::string report;
};

std::unique_ptr<TemporaryFolder> Gimp::folder;
std::string Gimp::gimpOutput;
std::string Gimp::report;

TEST_F(Gimp, LoadsWhatTintunpackWritesExactlyAndWithoutWarnings)
{
    const auto seen = parseReport(report);
    for (const Unpacked& palette : unpackedPalettes()) {
        SCOPED_TRACE(palette.name);
        const auto found = seen.find(palette.name);
        ASSERT_NE(found, seen.end()) << report;
        EXPECT_EQ(found->second.columns, palette.columns);
        EXPECT_EQ(found->second.colours, palette.colours);
        EXPECT_EQ(found->second.entryNames,
                  std::vector<std::string>(palette.colours.size(), "Untitled"));
    }
    EXPECT_EQ(gimpOutput.find("GIMP-Warning"), std::string::npos) << gimpOutput;
    EXPECT_EQ(gimpOutput.find("GIMP-Error"), std::string::npos) << gimpOutput;
}

TEST_F(Gimp, TintpackConvertsThePalettesGimpMakes)
{
    const std::filesystem::path made = palettePath("Made-in-GIMP.gpl");
    ASSERT_TRUE(std::filesystem::exists(made)) << gimpOutput;
    // GIMP's own layout: components in three columns, an unnamed entry with
    // nothing after its tab.
    EXPECT_EQ(readFileBytes(made),
              "GIMP Palette\nName: Made in GIMP\nColumns: 8\n#\n  0 128 255\tSky blue 2\n"
              "255   0   0\tColour 10 20 30\n255 255 255\t\n100 150 200\t7 dwarfs\n"
              " 31  32  63\tJust below and above\n");

    const std::string words = (folder->path() / "made.bin").string();
    const ProgramRun run = runProgram("tintpack", {made.string(), words});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(readFileBytes(words), std::string("\x0e\x80\x00\x0e\x0e\xee\x0c\x86\x02\x20", 10));
}

TEST_F(Gimp, PaletteSavedAgainByGimpConvertsBackToTheSameBytes)
{
    const std::filesystem::path resaved = palettePath("resaved.gpl");
    const std::string text = readFileBytes(resaved);
    // Proof that GIMP wrote it: tintunpack never pads components.
    ASSERT_NE(text.find("\n  0   0   0\tUntitled\n"), std::string::npos) << text;

    const std::string words = (folder->path() / "resaved-again.bin").string();
    const ProgramRun run = runProgram("tintpack", {resaved.string(), words});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(readFileBytes(words), allConsoleColours());
}

// The palette name GIMP gives a palette file: its "Name: " line, trimmed.
std::string paletteNameInFile(const std::filesystem::path& file)
{
    std::istringstream lines(readFileBytes(file));
    std::string line;
    std::getline(lines, line);
    std::getline(lines, line);
    if (line.rfind("Name: ", 0) != 0) {
        return file.filename().string();
    }
    line = line.substr(6);
    const auto first = line.find_first_not_of(" \t\r");
    const auto last = line.find_last_not_of(" \t\r");
    return first == std::string::npos ? "" : line.substr(first, last - first + 1);
}

// The file bytes of the colour words of GIMP's colours, worked out here from
// the word's layout, not with the programs' own code.
std::string consoleWordsOf(const std::vector<Colour>& colours)
{
    std::string words;
    for (const Colour& colour : colours) {
        words += static_cast<char>((colour[2] >> 5) << 1);
        words += static_cast<char>(((colour[1] >> 5) << 5) | ((colour[0] >> 5) << 1));
    }
    return words;
}

TEST_F(Gimp, TintpackConvertsEveryPaletteGimpShipsToTheColoursGimpShows)
{
    const std::filesystem::path shipped = dataFolderFromReport(report) / "palettes";
    ASSERT_TRUE(std::filesystem::is_directory(shipped)) << report.substr(0, 200);
    const auto seen = parseReport(report);
    int palettes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(shipped)) {
        if (entry.path().extension() != ".gpl") {
            continue;
        }
        ++palettes;
        SCOPED_TRACE(entry.path().string());
        const auto found = seen.find(paletteNameInFile(entry.path()));
        ASSERT_NE(found, seen.end()) << "GIMP did not report this palette";
        ASSERT_FALSE(found->second.colours.empty());

        const std::string words = (folder->path() / "shipped.bin").string();
        const ProgramRun run = runProgram("tintpack", {entry.path().string(), words});
        EXPECT_EQ(run.status, 0) << run.output;
        const std::string expected = consoleWordsOf(found->second.colours);
        const std::string got = readFileBytes(words);
        // Short failure messages: the word counts, and the first word that differs.
        EXPECT_EQ(got.size() / 2, expected.size() / 2) << "words";
        const auto differs =
            std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
        EXPECT_TRUE(differs.first == got.end() && differs.second == expected.end())
            << "first difference at word " << (differs.first - got.begin()) / 2;
    }
    EXPECT_GT(palettes, 0) << "no palettes in " << shipped;
    std::printf("%d palettes that GIMP ships, in %s, convert to GIMP's colours.\n", palettes,
                shipped.string().c_str());
}

} // namespace

int main(int argc, char** argv)
{
    if (!isOnPath(gimpConsole)) {
        std::printf("%s not found: the GIMP tests are skipped.\n", gimpConsole.c_str());
        return 77;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
