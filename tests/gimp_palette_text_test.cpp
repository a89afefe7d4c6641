#include "palette/gimp_palette_text.h"

#include <algorithm>
#include <array>
#include <climits>
#include <random>
#include <sstream>
#include <streambuf>
#include <vector>

#include <gtest/gtest.h>

#include "literal_line_splitter.h"

namespace {

using Ints = std::vector<int>;

struct SplitCase {
    std::string line;
    Ints yields;
};

void PrintTo(const SplitCase& c, std::ostream* os)
{
    *os << testing::PrintToString(c.line.substr(0, 40));
}

class Splitting : public testing::TestWithParam<SplitCase> {};

TEST_P(Splitting, YieldsTheIntegersOfTheLine)
{
    EXPECT_EQ(getNumberFromString(GetParam().line), GetParam().yields);
    EXPECT_EQ(literalGetNumberFromString(GetParam().line), GetParam().yields);
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, Splitting,
    testing::Values(SplitCase{"255", {255}}, SplitCase{"+7", {7}}, SplitCase{"-5", {-5}},
                    SplitCase{"007", {7}}, SplitCase{"12abc", {12}}, SplitCase{"3.9", {3}},
                    SplitCase{"0x1F", {0}}, SplitCase{"Untitled", {}}, SplitCase{"abc12", {}},
                    SplitCase{"-", {}}, SplitCase{"+", {}}, SplitCase{"+-1", {}},
                    SplitCase{"2147483647", {INT_MAX}}, SplitCase{"2147483648", {}},
                    SplitCase{"-2147483648", {INT_MIN}}, SplitCase{"-2147483649", {}},
                    SplitCase{"99999999999999999999999", {}},
                    SplitCase{"000000000000000000000042", {42}}));

INSTANTIATE_TEST_SUITE_P(
    Lines, Splitting,
    testing::Values(SplitCase{"255 0 0\tRed", {255, 0, 0}},
                    SplitCase{"  0   0   0\tUntitled", {0, 0, 0}},
                    SplitCase{"10 20 30 Colour 5", {10, 20, 30, 5}},
                    SplitCase{"10 20\tTwo", {10, 20}}, SplitCase{"", {}},
                    SplitCase{" \t \v\f\r", {}},
                    SplitCase{"1 2 3 \t", {1, 2, 3}}, // no repeat of the last number
                    SplitCase{"1 2 3\r", {1, 2, 3}}, SplitCase{"1\v2\f3\r4\n5", {1, 2, 3, 4, 5}},
                    SplitCase{"# 40 80 120 note", {40, 80, 120}},
                    SplitCase{std::string("1\0002 3", 5), {1, 3}}));

// Lines built from the pieces where a hand-made splitter could go wrong:
// signs, digit runs around the 32-bit limits, junk after digits, every
// whitespace character and arbitrary bytes.
std::string randomLine(std::mt19937& random)
{
    // clang-format off
    static const std::vector<std::string> pieces = {
        "0", "7", "42", "255", "007", "2147483647", "2147483648", "4294967296",
        "99999999999999999999", "+", "-", "x", "a", ".", "e5", "0x", "#", "Untitled",
        " ", "\t", "\v", "\f", "\r", "\n", std::string(1, '\0'), "\xff", "\xce\xa9"};
    // clang-format on
    std::string line;
    const int count = std::uniform_int_distribution<int>(0, 12)(random);
    for (int i = 0; i < count; ++i) {
        if (std::uniform_int_distribution<int>(0, 9)(random) == 0) {
            line += static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
        } else {
            line +=
                pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(random)];
        }
    }
    return line;
}

TEST(Splitting, AgreesWithTheStreamBasedReadingOnGeneratedLines)
{
    std::mt19937 random(20261211);
    for (int i = 0; i < 50000; ++i) {
        const std::string line = randomLine(random);
        ASSERT_EQ(getNumberFromString(line), literalGetNumberFromString(line))
            << testing::PrintToString(line);
    }
}

// Colour lines as palettes hold them, with every spacing, width and junk
// around the components that could trip reading the first 16 bytes at once:
// components of one to four digits, signs, leading zeros, letters right after
// digits, any blank, and tokens that cross byte 16.
std::string randomColourLine(std::mt19937& random)
{
    // clang-format off
    static const std::vector<std::string> blanks = {" ", "  ", "   ", "\t", " \t", "\v", "\r", "\f"};
    static const std::vector<std::string> extras = {"", "", "", "x", "+", "-", ".5", "#", "\xff"};
    // clang-format on
    auto pick = [&random](const std::vector<std::string>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    };
    std::string line = std::uniform_int_distribution<int>(0, 3)(random) == 0 ? pick(blanks) : "";
    for (int component = 0; component < 3; ++component) {
        const int digits = std::uniform_int_distribution<int>(1, 4)(random);
        std::string number;
        for (int digit = 0; digit < digits; ++digit) {
            number += static_cast<char>('0' + std::uniform_int_distribution<int>(0, 9)(random));
        }
        if (std::uniform_int_distribution<int>(0, 6)(random) == 0) {
            number.insert(0, pick(extras)); // a sign or junk in front
        } else {
            number += pick(extras); // junk behind, most often nothing
        }
        line += number + pick(blanks);
    }
    const int name = std::uniform_int_distribution<int>(0, 12)(random);
    line += std::string(static_cast<std::size_t>(name), 'n');
    return line;
}

TEST(ColourLine, AgreesWithTheStreamBasedReadingOnGeneratedLines)
{
    std::mt19937 random(20261212);
    int colours = 0;
    for (int i = 0; i < 200000; ++i) {
        const std::string line = randomColourLine(random);
        const std::vector<int> numbers = literalGetNumberFromString(line);
        const bool valid =
            numbers.size() >= 3 && std::all_of(numbers.begin(), numbers.begin() + 3,
                                               [](int n) { return n >= 0 && n <= 255; });
        std::array<int, 3> rgb{};
        ASSERT_EQ(colourFromLine(line, rgb), valid) << testing::PrintToString(line);
        if (valid) {
            ++colours;
            ASSERT_EQ(rgb, (std::array<int, 3>{numbers[0], numbers[1], numbers[2]}))
                << testing::PrintToString(line);
        }
    }
    EXPECT_GT(colours, 20000); // the lines exercise both answers
}

struct CountCase {
    std::string text;
    std::int64_t count; // -1: not a GIMP palette
};

void PrintTo(const CountCase& c, std::ostream* os)
{
    *os << testing::PrintToString(c.text.substr(0, 60)) << ", count " << c.count;
}

class ColourCount : public testing::TestWithParam<CountCase> {};

TEST_P(ColourCount, CountsTheColourLinesAfterTheHeader)
{
    std::istringstream in(GetParam().text);
    EXPECT_EQ(colourCountFromText(in), GetParam().count);
}

const std::string header = "GIMP Palette\nName: x\nColumns: 16\n#\n";

INSTANTIATE_TEST_SUITE_P(
    FirstLines, ColourCount,
    testing::Values(CountCase{"", -1}, CountCase{"\n", -1}, CountCase{"GIMP Palette", 0},
                    CountCase{"GIMP Palette\n", 0}, CountCase{"GIMP Palette v2 \r\n1 2 3\r\n", 1},
                    CountCase{"\xEF\xBB\xBFGIMP Palette\n1 2 3\n", 1},
                    CountCase{"\xEF\xBB\xBF\xEF\xBB\xBFGIMP Palette\n1 2 3\n", -1},
                    CountCase{" GIMP Palette\n1 2 3\n", -1}, CountCase{"gimp palette\n1 2 3\n", -1},
                    CountCase{"GIMP Palett\n1 2 3\n", -1},
                    CountCase{"JASC-PAL\n0100\n16\n1 2 3\n", -1},
                    CountCase{"\x89PNG\r\n\x1a\n1 2 3\n", -1}));

// The header is line 1 and up to three more lines; it ends early at a line
// whose first word yields an integer.
INSTANTIATE_TEST_SUITE_P(
    Headers, ColourCount,
    testing::Values(
        CountCase{header, 0}, CountCase{header + "1 2 3 a\n", 1},
        CountCase{"GIMP Palette\nName: Bears\n#\n1 2 3\n4 5 6\n", 2},
        CountCase{"GIMP Palette\nName: Grays\n  0   0   0\tgray0\n", 1},
        CountCase{"GIMP Palette\n#\n1 2 3\n", 1}, CountCase{"GIMP Palette\n1 2 3\n", 1},
        CountCase{"GIMP Palette\n+7 x\n", 1}, CountCase{"GIMP Palette\n-x\n", 0},
        CountCase{"GIMP Palette\n99999999999 0 0\n", 0},
        CountCase{"GIMP Palette\n\n\n\n1 2 3\n", 1},
        CountCase{"GIMP Palette\r\nName: x\r\n#\r\n1 2 3\r\n", 1},
        CountCase{"GIMP Palette\n#Palette Name: Dawn\n#Description: d\n#Colors: 1\n1 2 3\n", 1},
        // A fifth line is never header, whatever it holds.
        CountCase{header + "Name: y\n", 1}));

// After the header, blank lines and comments are neither colours nor faults;
// every other line is a colour line, valid or not.
INSTANTIATE_TEST_SUITE_P(
    Bodies, ColourCount,
    testing::Values(CountCase{header + "1 2 3 a", 1}, CountCase{header + "1 2 3 a\n  \t\r", 1},
                    CountCase{header + "1 2 3 a\n\n", 1},
                    CountCase{header + "1 2 3\n\n \t\v\f\r\n4 5 6\n", 2},
                    CountCase{header + "# comment\n  # 40 80 120\n#\n1 2 3\n", 1},
                    CountCase{header + "x", 1}, CountCase{header + "x\n1 2\n", 2},
                    CountCase{"GIMP Palette\nName: x\nColumns: 16\n#\n# comment\n#\n1 2 3\n", 1}));

// Texts longer than one block of the reader, so that a newline or a line's
// first character falls on either side of a block boundary.
INSTANTIATE_TEST_SUITE_P(
    LongTexts, ColourCount,
    testing::Values(CountCase{header + std::string(70000, 'x'), 1},
                    CountCase{header + std::string(65536 - header.size(), ' ') + "\n", 0},
                    CountCase{header + std::string(65536 - header.size() - 1, ' ') + "x\n", 1},
                    CountCase{header + std::string(65536 - header.size(), ' ') + "#\n1\n", 1},
                    CountCase{header + "1 2 3\n" + std::string(70000, ' '), 1},
                    CountCase{header + std::string(70000, 'x') + "\n" + std::string(70000, ' '), 1},
                    CountCase{"GIMP Palette\nName: " + std::string(200000, 'n') + "\n1 2 3\n", 1},
                    CountCase{"GIMP Palette" + std::string(100000, ' ') + "\n1 2 3\n", 1}));

TEST(ColourCount, LeavesTheStreamReadyToBeReadAgain)
{
    for (const std::string& text : {header + "1 2 3 a", std::string("JASC-PAL\n")}) {
        std::istringstream in(text);
        colourCountFromText(in);
        in.seekg(0);
        std::string line;
        ASSERT_TRUE(std::getline(in, line));
        EXPECT_EQ(line, text.substr(0, text.find('\n')));
    }
}

// Presents "GIMP Palette", then a long run of a repeated line, without holding
// it in memory.
class RepeatedLineStream : public std::streambuf {
public:
    RepeatedLineStream(const std::string& line, std::int64_t chunks) : chunks_(chunks)
    {
        while (buffer_.size() + line.size() <= (1 << 20)) {
            buffer_ += line;
        }
        first_ = "GIMP Palette\n";
        setg(first_.data(), first_.data(), first_.data() + first_.size());
    }
    std::int64_t linesPerChunk(const std::string& line) const
    {
        return static_cast<std::int64_t>(buffer_.size() / line.size());
    }

protected:
    int_type underflow() override
    {
        if (chunks_ == 0) {
            return traits_type::eof();
        }
        --chunks_;
        setg(buffer_.data(), buffer_.data(), buffer_.data() + buffer_.size());
        return traits_type::to_int_type(buffer_[0]);
    }

private:
    std::int64_t chunks_;
    std::string first_;
    std::string buffer_;
};

// The count must not wrap where a signed 32-bit one would: tintpack refuses
// more colours than that as too large.
TEST(ColourCount, GoesBeyondThirtyOneBits)
{
    // Two bytes a colour line: more than 2^31 lines in a little over 4 GiB.
    const std::int64_t chunks = 4100;
    RepeatedLineStream colours("0\n", chunks);
    const std::int64_t expected = chunks * colours.linesPerChunk("0\n");
    ASSERT_GT(expected, std::int64_t{1} << 31);
    std::istream in(&colours);
    EXPECT_EQ(colourCountFromText(in), expected);
}

struct LineCase {
    std::string text;
    std::vector<std::string> lines;
};

void PrintTo(const LineCase& c, std::ostream* os)
{
    *os << testing::PrintToString(c.text.substr(0, 40)) << " (" << c.text.size() << " bytes)";
}

class Lines : public testing::TestWithParam<LineCase> {};

TEST_P(Lines, AreHandedOutWithoutTheirNewlines)
{
    std::istringstream in(GetParam().text);
    LineReader reader{in};
    std::vector<std::string> lines;
    std::string_view line;
    while (readLine(reader, line)) {
        lines.emplace_back(line);
    }
    EXPECT_EQ(lines, GetParam().lines);
    EXPECT_FALSE(in.bad());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Lines,
    testing::Values(LineCase{"", {}}, LineCase{"\n", {""}}, LineCase{"a", {"a"}},
                    LineCase{"a\n", {"a"}}, LineCase{"a\n\nb", {"a", "", "b"}},
                    LineCase{"a\r\n \n", {"a\r", " "}},
                    LineCase{std::string(65535, 'a') + "\nb\n", {std::string(65535, 'a'), "b"}},
                    LineCase{std::string(65536, 'a') + "\nb", {std::string(65536, 'a'), "b"}},
                    LineCase{"x\n" + std::string(300000, 'y') + "\nz",
                             {"x", std::string(300000, 'y'), "z"}}));

// Line 1 is always header; what follows is told apart as the count does it.
TEST(PaletteLines, AreToldApartInOrder)
{
    using enum PaletteLine;
    const std::vector<std::pair<std::string, PaletteLine>> lines = {{"GIMP Palette", header},
                                                                    {"Name: 12 colours", header},
                                                                    {"", header},
                                                                    {" 12 34 56\tTeal", colour},
                                                                    {"Columns: 4", colour},
                                                                    {"  # 1 2 3", skipped},
                                                                    {" \t\r", skipped},
                                                                    {"x", colour}};
    bool inHeader = true;
    std::int64_t number = 0;
    for (const auto& [line, kind] : lines) {
        ++number;
        EXPECT_EQ(kindOfPaletteLine(line, number, inHeader), kind) << line;
    }
    EXPECT_FALSE(inHeader);
}

struct ColourCase {
    std::string line;
    std::string fault;      // "" for a colour
    std::array<int, 3> rgb; // the colour, when it is one
};

void PrintTo(const ColourCase& c, std::ostream* os)
{
    *os << testing::PrintToString(c.line);
}

class ColourLine : public testing::TestWithParam<ColourCase> {};

TEST_P(ColourLine, NeedsThreeComponentsWithin0To255)
{
    std::array<int, 3> rgb{};
    EXPECT_EQ(colourFromLine(GetParam().line, rgb), GetParam().fault.empty());
    EXPECT_EQ(faultOfColourLine(GetParam().line), GetParam().fault);
    if (GetParam().fault.empty()) {
        EXPECT_EQ(rgb, GetParam().rgb);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ColourLine,
    testing::Values(ColourCase{"0 0 0", "", {0, 0, 0}},
                    ColourCase{"  255 128   0\tOrange 2", "", {255, 128, 0}},
                    ColourCase{"255 255 255 -7 300", "", {255, 255, 255}},
                    ColourCase{"x 1 y 2 z 3", "", {1, 2, 3}},
                    ColourCase{"+1 007 3.9", "", {1, 7, 3}},
                    ColourCase{"99999999999 1 2 3", "", {1, 2, 3}},
                    ColourCase{"10 20\tTwo", "fewer than three numbers", {}},
                    ColourCase{"", "fewer than three numbers", {}},
                    ColourCase{"2147483648 0 0", "fewer than three numbers", {}},
                    ColourCase{"256 0 0", "red 256 is outside 0 to 255", {}},
                    ColourCase{"0 300 -1", "green 300 is outside 0 to 255", {}},
                    ColourCase{"0 0 -1", "blue -1 is outside 0 to 255", {}},
                    ColourCase{"-2147483648 0 0", "red -2147483648 is outside 0 to 255", {}}));

TEST(WrittenForm, IsTheHeaderThenOneLinePerColour)
{
    std::ostringstream out;
    writeGimpPaletteHeader(out, "Level 1", "16");
    std::string lines;
    appendGimpPaletteColourLine(lines, 224, 128, 0);
    appendGimpPaletteColourLine(lines, 0, 32, 7);
    EXPECT_EQ(out.str() + lines,
              "GIMP Palette\nName: Level 1\nColumns: 16\n#\n224 128 0\tUntitled\n"
              "0 32 7\tUntitled\n");
}

TEST(WrittenForm, KeepsNameAndColumnTextsVerbatim)
{
    std::ostringstream out;
    writeGimpPaletteHeader(out, "", " abc ");
    EXPECT_EQ(out.str(), "GIMP Palette\nName: \nColumns:  abc \n#\n");
}

} // namespace
