#include "palette/mega_drive_words.h"

#include <array>
#include <climits>
#include <cstring>

#include <gtest/gtest.h>

namespace {

// The two bytes a word buffer element puts in a file when written as it lies
// in memory, which is how tintpack writes its buffer.
std::array<unsigned char, 2> fileBytesOf(std::uint16_t element)
{
    std::array<unsigned char, 2> bytes{};
    std::memcpy(bytes.data(), &element, bytes.size());
    return bytes;
}

struct EncodingCase {
    int red, green, blue;
    unsigned char high, low; // file bytes, high byte first
    std::array<int, 3> decoded;
};

void PrintTo(const EncodingCase& c, std::ostream* os)
{
    *os << c.red << ' ' << c.green << ' ' << c.blue;
}

class Encoding : public testing::TestWithParam<EncodingCase> {};

TEST_P(Encoding, GivesFileBytesHighByteFirstAndDecodesBack)
{
    const EncodingCase c = GetParam();
    const std::uint16_t word = megaDriveWordFromRgb(c.red, c.green, c.blue);
    EXPECT_EQ(word, (c.high << 8) | c.low);
    const auto bytes = fileBytesOf(fileOrderWordFromMegaDriveWord(word));
    EXPECT_EQ(bytes[0], c.high);
    EXPECT_EQ(bytes[1], c.low);
    EXPECT_EQ(rgbFromMegaDriveBytes(c.high, c.low), c.decoded);
}

INSTANTIATE_TEST_SUITE_P(WorkedValues, Encoding,
                         testing::Values(EncodingCase{0, 0, 0, 0x00, 0x00, {0, 0, 0}},
                                         EncodingCase{255, 255, 255, 0x0E, 0xEE, {224, 224, 224}},
                                         EncodingCase{255, 128, 0, 0x00, 0x8E, {224, 128, 0}},
                                         EncodingCase{32, 32, 32, 0x02, 0x22, {32, 32, 32}},
                                         EncodingCase{31, 32, 63, 0x02, 0x20, {0, 32, 32}},
                                         EncodingCase{100, 150, 200, 0x0C, 0x86, {96, 128, 192}},
                                         EncodingCase{160, 0, 160, 0x0A, 0x0A, {160, 0, 160}}));

// Out-of-range components keep the defined arithmetic: truncation toward zero,
// no masking, modulo 2^16. tintpack refuses such lines before encoding them.
INSTANTIATE_TEST_SUITE_P(
    OutOfRange, Encoding,
    testing::Values(EncodingCase{256, 0, 0, 0x00, 0x10, {0, 0, 0}},
                    EncodingCase{999, 0, 0, 0x00, 0x3E, {224, 32, 0}},
                    EncodingCase{-1, 0, 0, 0x00, 0x00, {0, 0, 0}},
                    EncodingCase{-32, 0, 0, 0xFF, 0xFE, {224, 224, 224}},
                    EncodingCase{INT_MAX, 0, 0, 0xFF, 0xFE, {224, 224, 224}},
                    EncodingCase{0, INT_MAX, 0, 0xFF, 0xE0, {0, 224, 224}},
                    EncodingCase{0, 0, INT_MAX, 0xFE, 0x00, {0, 0, 224}},
                    EncodingCase{INT_MAX, INT_MAX, INT_MAX, 0xFD, 0xDE, {224, 192, 192}},
                    EncodingCase{INT_MIN, INT_MIN, INT_MIN, 0x00, 0x00, {0, 0, 0}},
                    EncodingCase{INT_MIN + 31, 0, 0, 0x00, 0x02, {32, 0, 0}}));

TEST(LittleEndianShortFromInt, ExchangesTheLowTwoBytesAndIgnoresTheRest)
{
    EXPECT_EQ(littleEndianShortFromInt(0), 0);
    EXPECT_EQ(littleEndianShortFromInt(0x0EEE), 0xEE0E);
    EXPECT_EQ(littleEndianShortFromInt(0x12345678), 0x7856);
    EXPECT_EQ(littleEndianShortFromInt(-1), 0xFFFF);
    EXPECT_EQ(littleEndianShortFromInt(-2), 0xFEFF);
    EXPECT_EQ(littleEndianShortFromInt(INT_MIN), 0);
    EXPECT_EQ(littleEndianShortFromInt(INT_MAX), 0xFFFF);
}

TEST(Decoding, IgnoresTheBitsThatAreZeroInAWellFormedWord)
{
    EXPECT_EQ(rgbFromMegaDriveBytes(0x01, 0x11), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(rgbFromMegaDriveBytes(0xFF, 0xFF), (std::array<int, 3>{224, 224, 224}));
    EXPECT_EQ(rgbFromMegaDriveBytes(0xF1, 0x11), (std::array<int, 3>{0, 0, 0}));
}

TEST(Decoding, EveryWordGivesMultiplesOf32ThatEncodeBackToItsColourBits)
{
    for (int h = 0; h < 256; ++h) {
        for (int l = 0; l < 256; ++l) {
            const auto [red, green, blue] =
                rgbFromMegaDriveBytes(static_cast<unsigned char>(h), static_cast<unsigned char>(l));
            const int word = megaDriveWordFromRgb(red, green, blue);
            ASSERT_EQ(word, ((h << 8) | l) & 0x0EEE) << h << ' ' << l;
        }
    }
}

} // namespace
