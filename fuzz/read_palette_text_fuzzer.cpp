// Reads arbitrary bytes as tintpack reads a palette: the colour count, then
// line by line the header, the skipped lines and the colour lines with their
// range check, and the encoding of each colour. Holds every step against a
// plain reading of the rules written here with string streams and the
// step-by-step line splitter, and checks that every word is well-formed and
// decodes to the colour's top three bits.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "literal_line_splitter.h"
#include "palette/gimp_palette_text.h"
#include "palette/mega_drive_words.h"

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

bool referenceIsFirstLine(std::string line)
{
    if (line.rfind("\xEF\xBB\xBF", 0) == 0) {
        line.erase(0, 3);
    }
    return line.rfind("GIMP Palette", 0) == 0;
}

bool referenceFirstWordIsANumber(const std::string& line)
{
    std::istringstream words(line);
    std::string word;
    int number = 0;
    return static_cast<bool>(words >> word) &&
           static_cast<bool>(std::istringstream(word) >> number);
}

PaletteLine referenceKind(const std::string& line, std::int64_t number, bool& inHeader)
{
    if (inHeader && (number == 1 || (number <= 4 && !referenceFirstWordIsANumber(line)))) {
        return PaletteLine::header;
    }
    inHeader = false;
    const auto first = line.find_first_not_of(" \t\n\v\f\r");
    return first == std::string::npos || line[first] == '#' ? PaletteLine::skipped
                                                            : PaletteLine::colour;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    // The reference: every line through std::getline.
    std::istringstream plain(text);
    std::string first;
    const bool isPalette = std::getline(plain, first) && referenceIsFirstLine(first);
    std::vector<std::string> lines;
    std::vector<PaletteLine> kinds;
    if (isPalette) {
        lines.push_back(first);
        std::string line;
        while (std::getline(plain, line)) {
            lines.push_back(line);
        }
        bool inHeader = true;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            kinds.push_back(referenceKind(lines[i], static_cast<std::int64_t>(i) + 1, inHeader));
        }
    }
    std::int64_t referenceCount = 0;
    for (const PaletteLine kind : kinds) {
        referenceCount += kind == PaletteLine::colour ? 1 : 0;
    }

    std::istringstream in(text);
    const std::int64_t count = colourCountFromText(in);
    check(!in.fail());
    check(count == (isPalette ? referenceCount : -1));
    if (!isPalette) {
        check(!isGimpPaletteFirstLine(first));
        return 0;
    }

    in.seekg(0);
    LineReader reader{in};
    std::string_view line;
    bool inHeader = true;
    std::size_t number = 0;
    while (readLine(reader, line)) {
        check(number < lines.size() && line == lines[number]);
        ++number;
        const PaletteLine kind =
            kindOfPaletteLine(line, static_cast<std::int64_t>(number), inHeader);
        check(kind == kinds[number - 1]);
        if (kind != PaletteLine::colour) {
            continue;
        }
        const std::vector<int> numbers = literalGetNumberFromString(std::string(line));
        check(getNumberFromString(std::string(line)) == numbers);
        const bool valid = numbers.size() >= 3 && numbers[0] >= 0 && numbers[0] <= 255 &&
                           numbers[1] >= 0 && numbers[1] <= 255 && numbers[2] >= 0 &&
                           numbers[2] <= 255;
        std::array<int, 3> rgb{};
        check(colourFromLine(line, rgb) == valid);
        check(faultOfColourLine(line).empty() == valid);
        if (!valid) {
            continue;
        }
        check(rgb[0] == numbers[0] && rgb[1] == numbers[1] && rgb[2] == numbers[2]);
        const std::uint16_t word = megaDriveWordFromRgb(rgb[0], rgb[1], rgb[2]);
        check((word & 0xF111U) == 0);
        const std::uint16_t element = fileOrderWordFromMegaDriveWord(word);
        std::array<unsigned char, 2> bytes{};
        std::memcpy(bytes.data(), &element, bytes.size());
        check(bytes[0] == word >> 8 && bytes[1] == (word & 0xFFU));
        const std::array<int, 3> decoded = rgbFromMegaDriveBytes(bytes[0], bytes[1]);
        check(decoded == (std::array<int, 3>{rgb[0] & 0xE0, rgb[1] & 0xE0, rgb[2] & 0xE0}));
    }
    check(number == lines.size() && !in.bad());
    return 0;
}
