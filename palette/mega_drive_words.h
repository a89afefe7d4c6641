// The Mega Drive/Genesis colour word: 16 bits laid out as 0000 BBB0 GGG0 RRR0,
// stored in a palette file high byte first, with no header.
//
// The rules are defined here in the header, so that converting a file of a
// million colours costs no call per colour.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

// Exchanges bits 0-7 and 8-15 of i; bits 16-31 are ignored.
inline int littleEndianShortFromInt(int i)
{
    // Unsigned, so that negative inputs shift without undefined behaviour.
    const auto u = static_cast<std::uint32_t>(i);
    return static_cast<int>(((u << 8U) & 0xFF00U) | ((u >> 8U) & 0x00FFU));
}

// i / 32, truncating toward zero, as an unsigned number of the same bits.
// Shifted in unsigned arithmetic, which is defined for every int and costs no
// division even where a compiler optimises for size (as it does in main).
inline std::uint32_t quotientBy32(int i)
{
    const auto u = static_cast<std::uint32_t>(i);
    return i < 0 ? 0U - ((0U - u) >> 5U) : u >> 5U;
}

// The colour word of one colour: each component divided by 32 (truncating
// toward zero), placed in its field, and the terms added modulo 2^16 without
// masking or range checks, so out-of-range components spill over.
inline std::uint16_t megaDriveWordFromRgb(int red, int green, int blue)
{
    // The sum is formed in unsigned arithmetic, whose wrap-around keeps the
    // low 16 bits exact.
    const std::uint32_t r = quotientBy32(red);
    const std::uint32_t g = quotientBy32(green);
    const std::uint32_t b = quotientBy32(blue);
    return static_cast<std::uint16_t>(r * 2U + g * 32U + b * 512U);
}

// The element to store in a word buffer so that writing the buffer as it lies
// in memory puts the word's high byte first in the file, on any host.
inline std::uint16_t fileOrderWordFromMegaDriveWord(std::uint16_t word)
{
    if constexpr (std::endian::native == std::endian::big) {
        return word;
    } else {
        return static_cast<std::uint16_t>(littleEndianShortFromInt(word));
    }
}

// Red, green and blue (each a multiple of 32 from 0 to 224) of the word whose
// file bytes are h (first) and l (second). Bits 0 and 4 of l and bits 0 and
// 4-7 of h play no part.
inline std::array<int, 3> rgbFromMegaDriveBytes(unsigned char h, unsigned char l)
{
    const int red = ((l >> 1) & 7) << 5;
    const int green = ((l >> 5) & 7) << 5;
    const int blue = ((h >> 1) & 7) << 5;
    return {red, green, blue};
}

// Colour words as they are to be written, in memory that grows as they come.
struct WordBuffer {
    std::unique_ptr<std::uint16_t[], void (*)(void*)> words{nullptr, std::free};
    std::size_t size = 0;
    std::size_t capacity = 0;
};

// Adds a word at the end. False when memory runs out: nothing throws, so that
// this is reported like any other failure.
bool appendWord(WordBuffer& buffer, std::uint16_t word);
