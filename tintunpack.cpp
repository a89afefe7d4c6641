// tintunpack: converts a Mega Drive/Genesis palette file (colour words, high
// byte first) into a GIMP palette (.gpl text) with the given columns and name.
//
// Exit statuses: 0 written; 1 wrong number of arguments; 2 the input is too
// large; 3 a file could not be read or written. Prints nothing on success.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>

#include "palette/gimp_palette_text.h"
#include "palette/mega_drive_words.h"
#include "palette/palette_files.h"

int main(int argc, char* argv[])
{
    if (argc != 5) {
        std::printf("Usage: %s infile.bin outfile.gpl cols name\n\n", argv[0]);
        return 1;
    }

    // The length is taken by seeking, so the input must be a regular file: a
    // FIFO or a device would block or have no length.
    std::ifstream mdpal;
    if (isRegularFile(argv[1])) {
        mdpal.open(argv[1], std::ios::binary);
    }
    if (!isReadableSeekableInput(mdpal)) {
        std::printf("%s: ERROR!!! Cannot open %s for reading!\n", argv[0], argv[1]);
        return 3;
    }
    if (areSameExistingFile(argv[1], argv[2])) {
        std::printf("%s: ERROR!!! %s and %s are the same file!\n", argv[0], argv[1], argv[2]);
        return 3;
    }

    // Decided before the output is opened, so a refused input leaves it alone.
    mdpal.seekg(0, std::ios::end);
    const std::int64_t length = mdpal.tellg();
    if (length < 0) {
        std::printf("%s: ERROR!!! Cannot open %s for reading!\n", argv[0], argv[1]);
        return 3;
    }
    if (length / 2 > std::numeric_limits<std::int32_t>::max()) {
        std::printf("%s: ERROR!!! %s is too large!\n", argv[0], argv[1]);
        return 2;
    }
    const auto size = static_cast<std::int32_t>(length / 2);
    mdpal.seekg(0);

    // Written to a temporary and renamed over the output once complete, so
    // that a failed or killed run leaves no partial file behind.
    OutputPlan plan;
    std::ofstream gpal;
    if (planOutput(argv[2], "tintunpack", plan)) {
        gpal.open(plan.writePath);
    }
    if (!gpal.is_open()) {
        discardOutput(plan);
        std::printf("%s: ERROR!!! Cannot open %s for writing!\n", argv[0], argv[2]);
        return 3;
    }
    writeGimpPaletteHeader(gpal, argv[4], argv[3]);
    // Read and written in large blocks: a byte or a line at a time through
    // the streams costs several times the work itself.
    std::string words(std::size_t{1} << 14, '\0');
    std::string text;
    // There are only 512 colour lines: each is formatted once.
    std::array<std::string, 512> colourLines;
    for (std::int64_t left = std::int64_t{size} * 2; left > 0;) {
        const auto want = static_cast<std::streamsize>(
            std::min<std::int64_t>(left, static_cast<std::int64_t>(words.size())));
        if (!mdpal.read(words.data(), want)) {
            gpal.close();
            discardOutput(plan);
            std::printf("%s: ERROR!!! Cannot open %s for reading!\n", argv[0], argv[1]);
            return 3;
        }
        text.clear();
        for (std::streamsize pos = 0; pos < want; pos += 2) {
            const auto h = static_cast<unsigned char>(words[static_cast<std::size_t>(pos)]);
            const auto l = static_cast<unsigned char>(words[static_cast<std::size_t>(pos) + 1]);
            const auto [red, green, blue] = rgbFromMegaDriveBytes(h, l);
            // red / 32 + (green / 32) * 8 + (blue / 32) * 64: each of 0 to 7.
            const int index = red / 32 + green / 4 + blue * 2;
            std::string& line = colourLines[static_cast<std::size_t>(index)];
            if (line.empty()) {
                appendGimpPaletteColourLine(line, red, green, blue);
            }
            text += line;
        }
        gpal.write(text.data(), static_cast<std::streamsize>(text.size()));
        left -= want;
    }

    gpal.close();
    if (gpal.fail() || !putOutputInPlace(plan)) {
        discardOutput(plan);
        std::printf("%s: ERROR!!! Could not write %s!\n", argv[0], argv[2]);
        return 3;
    }
    mdpal.close();
    return 0;
}
