// Reads arbitrary bytes as tintpack reads a palette: the colour count, the
// header lines, the colour lines with their range check, and the encoding of
// each colour. Checks that the count matches the lines there are, and that
// every word is well-formed and decodes to the colour's top three bits.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <sstream>
#include <string>

#include "palette/gimp_palette_text.h"
#include "palette/mega_drive_words.h"

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

bool isBlankButNewline(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream in(text);
    const std::int64_t count = colourCountFromText(in);
    check(!in.fail());
    if (count < 0) {
        return 0;
    }

    in.seekg(0);
    std::string line;
    for (int header = 0; header < 4; ++header) {
        std::getline(in, line);
    }
    for (std::int64_t pos = 0; pos < count; ++pos) {
        check(static_cast<bool>(std::getline(in, line)));
        const std::vector<int> rgb = getNumberFromString(line);
        if (!isValidColourLine(rgb)) {
            return 0;
        }
        const std::uint16_t word = megaDriveWordFromRgb(rgb[0], rgb[1], rgb[2]);
        check((word & 0xF111U) == 0);
        const std::uint16_t element = fileOrderWordFromMegaDriveWord(word);
        std::array<unsigned char, 2> bytes{};
        std::memcpy(bytes.data(), &element, bytes.size());
        check(bytes[0] == word >> 8 && bytes[1] == (word & 0xFFU));
        const std::array<int, 3> decoded = rgbFromMegaDriveBytes(bytes[0], bytes[1]);
        check(decoded == (std::array<int, 3>{rgb[0] & 0xE0, rgb[1] & 0xE0, rgb[2] & 0xE0}));
    }
    // The count leaves out only a last stretch of blanks without a newline.
    const std::string rest{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (const char c : rest) {
        check(isBlankButNewline(c));
    }
    return 0;
}
