// The Mega Drive/Genesis colour word: 16 bits laid out as 0000 BBB0 GGG0 RRR0,
// stored in a palette file high byte first, with no header.
#pragma once

#include <array>
#include <cstdint>

// Exchanges bits 0-7 and 8-15 of i; bits 16-31 are ignored.
int littleEndianShortFromInt(int i);

// The colour word of one colour: each component divided by 32 (truncating
// toward zero), placed in its field, and the terms added modulo 2^16 without
// masking or range checks, so out-of-range components spill over.
std::uint16_t megaDriveWordFromRgb(int red, int green, int blue);

// The element to store in a word buffer so that writing the buffer as it lies
// in memory puts the word's high byte first in the file, on any host.
std::uint16_t fileOrderWordFromMegaDriveWord(std::uint16_t word);

// Red, green and blue (each a multiple of 32 from 0 to 224) of the word whose
// file bytes are h (first) and l (second). Bits 0 and 4 of l and bits 0 and
// 4-7 of h play no part.
std::array<int, 3> rgbFromMegaDriveBytes(unsigned char h, unsigned char l);
