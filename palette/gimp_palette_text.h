// GIMP palette text: a first line that says "GIMP Palette", up to three more
// header lines ("Name: ...", "Columns: ...", "#"), then one line per colour:
// red, green, blue as decimal integers, then the colour's name. Blank lines
// and lines that start with '#' after the header are neither colours nor
// faults.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// The signed 32-bit integers of one line, in order. Each whitespace-delimited
// token yields the integer it starts with (an optional sign, then decimal
// digits, whatever follows ignored), or nothing when it does not start with
// one or the number does not fit.
std::vector<int> getNumberFromString(std::string s);

// Hands out the lines of a text stream one at a time, each without its '\n',
// reading the stream in large blocks. A last line without a newline is a line;
// nothing after a final newline is. Holds no more than the longest line.
struct LineReader {
    std::istream& in;
    std::string buffer = std::string(std::size_t{1} << 16, '\0');
    std::size_t begin = 0; // the unread text is buffer[begin, end)
    std::size_t end = 0;
    bool drained = false; // the stream has nothing more to give
};

// The next line of `reader` in `line`, valid until the next call. False at the
// end of the text, or when the stream fails to read (then `in.bad()`).
bool readLine(LineReader& reader, std::string_view& line);

// The unread text of `reader` up to the end of a block, whatever its lines:
// false at the end of the text or on a read error (then `in.bad()`).
bool readBlock(LineReader& reader, std::string_view& block);

// Where a line of palette text stands. Line 1 must pass
// isGimpPaletteFirstLine; the header is line 1 and up to three more lines, and
// ends early at the first line whose first word yields an integer.
enum class PaletteLine { header, skipped, colour };

// Whether the first line says "GIMP Palette", after an optional UTF-8
// byte-order mark; whatever follows on the line is ignored.
bool isGimpPaletteFirstLine(std::string_view line);

// What the line numbered `number` (from 1) is. `inHeader` carries the state
// from line to line: start it true, and pass every line in order.
PaletteLine kindOfPaletteLine(std::string_view line, std::int64_t number, bool& inHeader);

// The number of colour lines of the palette text in `in`, from its start, or
// -1 when its first line is not a GIMP palette's. Reads to the end unless the
// first line fails; clears the end-of-file state so it can be rewound; a read
// error leaves it bad.
std::int64_t colourCountFromText(std::istream& in);

// The colour of a colour line in `rgb`: its first three integers, by the
// token rules of getNumberFromString, as red, green and blue. False when the
// line is not a colour: it needs at least three integers, and the first three
// each within 0-255.
bool colourFromLine(std::string_view line, std::array<int, 3>& rgb);

// Why a line is not a colour ("fewer than three numbers", "green 300 is
// outside 0 to 255"), or "" when it is one.
std::string faultOfColourLine(std::string_view line);

// The four header lines, the name and column texts written verbatim.
void writeGimpPaletteHeader(std::ostream& out, const std::string& name, const std::string& columns);

// Adds one colour line, "R G B\tUntitled\n", to the text in `out`.
void appendGimpPaletteColourLine(std::string& out, int red, int green, int blue);
