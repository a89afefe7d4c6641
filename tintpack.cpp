// tintpack: converts a GIMP palette (.gpl text) into a Mega Drive/Genesis
// palette file (one colour word per colour, high byte first).
//
// Exit statuses: 0 written; 1 wrong number of arguments; 2 the input is not a
// valid GIMP palette, or too large; 3 a file could not be read or written.

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>
#include <string_view>

#include "palette/gimp_palette_text.h"
#include "palette/mega_drive_words.h"
#include "palette/palette_files.h"

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::printf("Usage: %s infile.gpl outfile.bin\n\n", argv[0]);
        return 1;
    }

    // Only a regular file: a FIFO would block, a device might never end.
    // Read as bytes, as GIMP reads it: in text mode Windows ends a file at
    // its first byte 1A. A CR before an LF is a blank to the reading rules.
    std::ifstream infile;
    if (isRegularFile(argv[1])) {
        infile.open(argv[1], std::ios::binary);
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

    // A colour line takes at least two bytes, so only a file of 4 GiB or more
    // can hold more colours than a signed 32-bit count: such a file is counted
    // first, so that it is refused before anything is converted.
    infile.seekg(0, std::ios::end);
    const std::int64_t length = infile.tellg();
    infile.seekg(0);
    if (length / 2 >= std::numeric_limits<std::int32_t>::max()) {
        const std::int64_t count = colourCountFromText(infile);
        if (count > std::numeric_limits<std::int32_t>::max()) {
            std::printf("%s: ERROR!!! %s is too large!\n", argv[0], argv[1]);
            return 2;
        }
        infile.seekg(0);
    }

    LineReader lines{infile};
    std::string_view inbuff;
    if (!readLine(lines, inbuff) || !isGimpPaletteFirstLine(inbuff)) {
        if (infile.bad()) {
            std::printf("%s: ERROR!!! Cannot open %s for reading!\n", argv[0], argv[1]);
            return 3;
        }
        std::printf("%s: ERROR!!! %s is not a valid GIMP Palette!\n", argv[0], argv[1]);
        std::printf("%s:1: the first line is not \"GIMP Palette\"\n", argv[1]);
        return 2;
    }
    WordBuffer outbuff;
    std::int64_t number = 1;
    bool inHeader = true;
    std::array<int, 3> rgb{};
    while (readLine(lines, inbuff)) {
        ++number;
        if (kindOfPaletteLine(inbuff, number, inHeader) != PaletteLine::colour) {
            continue;
        }
        if (!colourFromLine(inbuff, rgb)) {
            std::printf("%s: ERROR!!! %s is not a valid GIMP Palette!\n", argv[0], argv[1]);
            std::printf("%s:%lld: %s\n", argv[1], static_cast<long long>(number),
                        faultOfColourLine(inbuff).c_str());
            return 2;
        }
        if (outbuff.size == std::numeric_limits<std::int32_t>::max() ||
            !appendWord(outbuff, fileOrderWordFromMegaDriveWord(
                                     megaDriveWordFromRgb(rgb[0], rgb[1], rgb[2])))) {
            std::printf("%s: ERROR!!! %s is too large!\n", argv[0], argv[1]);
            return 2;
        }
    }
    if (infile.bad()) {
        std::printf("%s: ERROR!!! Cannot open %s for reading!\n", argv[0], argv[1]);
        return 3;
    }
    const auto size = static_cast<std::int32_t>(outbuff.size);

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
    outfile.write(reinterpret_cast<const char*>(outbuff.words.get()),
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
