#include "palette/mega_drive_words.h"

#include <bit>

int littleEndianShortFromInt(int i)
{
    // Unsigned, so that negative inputs shift without undefined behaviour.
    const auto u = static_cast<std::uint32_t>(i);
    return static_cast<int>(((u << 8U) & 0xFF00U) | ((u >> 8U) & 0x00FFU));
}

std::uint16_t megaDriveWordFromRgb(int red, int green, int blue)
{
    // Dividing an int by 32 is defined for every int; the sum is formed in
    // unsigned arithmetic, whose wrap-around keeps the low 16 bits exact.
    const auto r = static_cast<std::uint32_t>(red / 32);
    const auto g = static_cast<std::uint32_t>(green / 32);
    const auto b = static_cast<std::uint32_t>(blue / 32);
    return static_cast<std::uint16_t>(r * 2U + g * 32U + b * 512U);
}

std::uint16_t fileOrderWordFromMegaDriveWord(std::uint16_t word)
{
    if constexpr (std::endian::native == std::endian::big) {
        return word;
    } else {
        return static_cast<std::uint16_t>(littleEndianShortFromInt(word));
    }
}

std::array<int, 3> rgbFromMegaDriveBytes(unsigned char h, unsigned char l)
{
    const int red = ((l >> 1) & 7) << 5;
    const int green = ((l >> 5) & 7) << 5;
    const int blue = ((h >> 1) & 7) << 5;
    return {red, green, blue};
}
