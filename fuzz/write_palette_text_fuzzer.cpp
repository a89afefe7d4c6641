// Writes arbitrary words with arbitrary name and column texts as tintunpack
// does, and checks the text byte for byte, that every decoded component is a
// multiple of 32 up to 224 that encodes back to the word's colour bits, and
// that every colour line reads back as exactly its three components.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "palette/gimp_palette_text.h"
#include "palette/mega_drive_words.h"

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    const std::string name = provider.ConsumeRandomLengthString(64);
    const std::string columns = provider.ConsumeRandomLengthString(16);
    const std::vector<std::uint8_t> words = provider.ConsumeRemainingBytes<std::uint8_t>();

    std::ostringstream header;
    writeGimpPaletteHeader(header, name, columns);
    std::string written = header.str();
    std::string expected = "GIMP Palette\nName: " + name + "\nColumns: " + columns + "\n#\n";
    for (std::size_t pos = 0; pos + 1 < words.size(); pos += 2) {
        const unsigned char h = words[pos];
        const unsigned char l = words[pos + 1];
        const auto [red, green, blue] = rgbFromMegaDriveBytes(h, l);
        for (const int component : {red, green, blue}) {
            check(component >= 0 && component <= 224 && component % 32 == 0);
        }
        check(megaDriveWordFromRgb(red, green, blue) == (((h << 8) | l) & 0x0EEE));

        std::string line;
        appendGimpPaletteColourLine(line, red, green, blue);
        check(line.size() > 1 && line.back() == '\n');
        check(getNumberFromString(line.substr(0, line.size() - 1)) ==
              (std::vector<int>{red, green, blue}));
        written += line;
        expected += std::to_string(red) + ' ' + std::to_string(green) + ' ' + std::to_string(blue) +
                    "\tUntitled\n";
    }
    check(written == expected);
    return 0;
}
