// tintpack: converts a GIMP palette (.gpl text) into a Mega Drive/Genesis
// palette file (one colour word per colour, high byte first).
//
// Exit statuses: 0 written; 1 wrong number of arguments; 2 the input is not a
// valid GIMP palette, or too large; 3 a file could not be read or written.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "palette/gimp_palette_text.h"
#include "palette/mega_drive_words.h"
#include "palette/palette_files.h"

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::printf("Usage: %s infile.gpl outfile.bin\n\n", argv[0]);
        return 1;
    }

    // The input is read twice (once to count, once to convert), so it must
    // be a regular file: a FIFO or a device would block or never end.
    std::ifstream infile;
    if (isRegularFile(argv[1])) {
        infile.open(argv[1]);
    }
    if (!isReadableSeekableInput(infile)) {
        std::printf("%s: ERROR!!! Cannot open %s for reading!\n", argv[0], argv[1]);
        return 3;
    }
    if (areSameExistingFile(argv[1], argv[2])) {
        std::printf("%s: ERROR!!! %s and %s are the same file!\n", argv[0], argv[1], argv[2]);
        return 3;
    }
    std::printf("Reading GIMP Palette file (%s)...\n", argv[1]);

    const std::int64_t count = colourCountFromText(infile);
    if (infile.bad()) {
        std::printf("%s: ERROR!!! Cannot open %s for reading!\n", argv[0], argv[1]);
        return 3;
    }
    if (count < 0) {
        std::printf("%s: ERROR!!! %s is not a valid GIMP Palette!\n", argv[0], argv[1]);
        std::printf("%s:1: the first line is not \"GIMP Palette\"\n", argv[1]);
        return 2;
    }
    if (count > std::numeric_limits<std::int32_t>::max()) {
        std::printf("%s: ERROR!!! %s is too large!\n", argv[0], argv[1]);
        return 2;
    }
    const auto size = static_cast<std::int32_t>(count);

    // Allocated without throwing, so that a count too large for memory is
    // reported like any other failure.
    const std::unique_ptr<std::uint16_t[]> outbuff(new (std::nothrow) std::uint16_t[size]);
    if (!outbuff) {
        std::printf("%s: ERROR!!! %s is too large!\n", argv[0], argv[1]);
        return 2;
    }

    // Fewer colour lines than counted means the file changed under us or
    // could not be read.
    infile.seekg(0);
    LineReader lines{infile};
    std::string_view inbuff;
    std::int64_t number = 0;
    bool inHeader = true;
    for (std::int32_t pos = 0; pos < size;) {
        if (!readLine(lines, inbuff)) {
            std::printf("%s: ERROR!!! Cannot open %s for reading!\n", argv[0], argv[1]);
            return 3;
        }
        ++number;
        if (kindOfPaletteLine(inbuff, number, inHeader) != PaletteLine::colour) {
            continue;
        }
        const std::vector<int> rgb = getNumberFromString(std::string(inbuff));
        const std::string fault = faultOfColourLine(rgb);
        if (!fault.empty()) {
            std::printf("%s: ERROR!!! %s is not a valid GIMP Palette!\n", argv[0], argv[1]);
            std::printf("%s:%lld: %s\n", argv[1], static_cast<long long>(number), fault.c_str());
            return 2;
        }
        outbuff[pos] = fileOrderWordFromMegaDriveWord(megaDriveWordFromRgb(rgb[0], rgb[1], rgb[2]));
        ++pos;
    }

    if (size > 64) {
        std::printf("WARNING!!! %s has %d color entries.\nExpected: 64 colors or less.\n"
                    "Might still work with palette cycles.\n",
                    argv[1], static_cast<int>(size));
    }

    // Written to a temporary and renamed over the output once complete, so
    // that a failed or killed run leaves no partial file behind.
    const std::string outfilename = argv[2];
    OutputPlan plan;
    std::ofstream outfile;
    if (planOutput(outfilename, "tintpack", plan)) {
        outfile.open(plan.writePath, std::ios::binary);
    }
    if (!outfile.is_open()) {
        discardOutput(plan);
        std::printf("%s: ERROR!!! Cannot open %s for writing!\n", argv[0], argv[2]);
        return 3;
    }
    std::printf("Writing Megadrive/Genesis Palette file (%s)...\n", argv[2]);
    outfile.write(reinterpret_cast<const char*>(outbuff.get()),
                  static_cast<std::streamsize>(size) * 2);

    infile.close();
    outfile.close();
    if (outfile.fail() || !putOutputInPlace(plan)) {
        discardOutput(plan);
        std::printf("%s: ERROR!!! Could not write %s!\n", argv[0], argv[2]);
        return 3;
    }
    return 0;
}
