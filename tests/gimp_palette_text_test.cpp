#include "palette/gimp_palette_text.h"

#include <algorithm>
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

struct CountCase {
    std::string text;
    std::int64_t count;
};

void PrintTo(const CountCase& c, std::ostream* os)
{
    *os << c.text.size() << " characters, count " << c.count;
}

class ColourCount : public testing::TestWithParam<CountCase> {};

TEST_P(ColourCount, CountsNewlinesAndALastLineWithText)
{
    std::istringstream in(GetParam().text);
    EXPECT_EQ(colourCountFromText(in), GetParam().count);
}

const std::string header = "GIMP Palette\nName: x\nColumns: 16\n#\n";

INSTANTIATE_TEST_SUITE_P(
    Texts, ColourCount,
    testing::Values(CountCase{"", -4}, CountCase{"GIMP Palette\n", -3},
                    CountCase{"GIMP Palette\nName: x\nColumns: 16\n#", 0}, CountCase{header, 0},
                    CountCase{header + "1 2 3 a\n", 1}, CountCase{header + "1 2 3 a", 1},
                    CountCase{header + "1 2 3 a\n  \t\r", 1}, CountCase{header + "1 2 3 a\n\n", 2},
                    CountCase{header + "x", 1}, CountCase{"\r\n\r\n\r\n\r\n1 2 3\r\n", 1}));

// Texts longer than one read of the counter, so that a newline or the last
// line's text falls on either side of a chunk boundary.
INSTANTIATE_TEST_SUITE_P(
    LongTexts, ColourCount,
    testing::Values(CountCase{header + std::string(70000, 'x'), 1},
                    CountCase{header + std::string(65536 - header.size(), ' ') + "\n", 1},
                    CountCase{header + std::string(65536 - header.size() - 1, 'x') + "\n", 1},
                    CountCase{header + "1 2 3\n" + std::string(70000, ' '), 1},
                    CountCase{header + std::string(70000, 'x') + "\n" + std::string(70000, ' '),
                              1}));

TEST(ColourCount, LeavesTheStreamReadyToBeReadAgain)
{
    std::istringstream in(header + "1 2 3 a");
    ASSERT_EQ(colourCountFromText(in), 1);
    in.seekg(0);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "GIMP Palette");
}

// Presents a long run of newlines without holding it in memory.
class NewlineStream : public std::streambuf {
public:
    explicit NewlineStream(std::int64_t chunks) : chunks_(chunks), buffer_(1 << 20, '\n') {}

protected:
    int_type underflow() override
    {
        if (chunks_ == 0) {
            return traits_type::eof();
        }
        --chunks_;
        setg(buffer_.data(), buffer_.data(), buffer_.data() + buffer_.size());
        return traits_type::to_int_type('\n');
    }

private:
    std::int64_t chunks_;
    std::string buffer_;
};

TEST(ColourCount, DoesNotOverflowBeyondThirtyTwoBits)
{
    NewlineStream newlines((std::int64_t{1} << 32) / (1 << 20));
    std::istream in(&newlines);
    EXPECT_EQ(colourCountFromText(in), (std::int64_t{1} << 32) - 4);
}

TEST(ColourLine, NeedsThreeComponentsWithin0To255)
{
    EXPECT_TRUE(isValidColourLine({0, 0, 0}));
    EXPECT_TRUE(isValidColourLine({255, 255, 255, -7, 300}));
    EXPECT_FALSE(isValidColourLine({10, 20}));
    EXPECT_FALSE(isValidColourLine({}));
    for (const Ints& rgb : {Ints{256, 0, 0}, Ints{0, 256, 0}, Ints{0, 0, 256}, Ints{-1, 0, 0},
                            Ints{0, -1, 0}, Ints{0, 0, -1}, Ints{INT_MIN, 0, 0}}) {
        EXPECT_FALSE(isValidColourLine(rgb)) << testing::PrintToString(rgb);
    }
}

TEST(WrittenForm, IsTheHeaderThenOneLinePerColour)
{
    std::ostringstream out;
    writeGimpPaletteHeader(out, "Level 1", "16");
    writeGimpPaletteColourLine(out, 224, 128, 0);
    EXPECT_EQ(out.str(), "GIMP Palette\nName: Level 1\nColumns: 16\n#\n224 128 0\tUntitled\n");
}

TEST(WrittenForm, KeepsNameAndColumnTextsVerbatim)
{
    std::ostringstream out;
    writeGimpPaletteHeader(out, "", " abc ");
    EXPECT_EQ(out.str(), "GIMP Palette\nName: \nColumns:  abc \n#\n");
}

} // namespace
