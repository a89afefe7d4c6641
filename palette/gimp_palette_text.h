// GIMP palette text: four header lines ("GIMP Palette", "Name: ...",
// "Columns: ...", "#"), then one line per colour: red, green, blue as decimal
// integers, then the colour's name.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

// The signed 32-bit integers of one line, in order. Each whitespace-delimited
// token yields the integer it starts with (an optional sign, then decimal
// digits, whatever follows ignored), or nothing when it does not start with
// one or the number does not fit.
std::vector<int> getNumberFromString(std::string s);

// The number of colour lines of the palette text in `in`: its newline
// characters, plus one for a last line without a newline when that line holds
// anything but whitespace, minus the four header lines. Negative for a text of
// fewer than four lines. Reads the stream to its end and clears its end-of-file
// state, so it can be rewound; a read error leaves it bad.
std::int64_t colourCountFromText(std::istream& in);

// Whether a line's integers make a colour: at least three, and the first three
// (red, green, blue) each within 0-255.
bool isValidColourLine(const std::vector<int>& rgb);

// The four header lines, the name and column texts written verbatim.
void writeGimpPaletteHeader(std::ostream& out, const std::string& name, const std::string& columns);

// One colour line: "R G B\tUntitled\n".
void writeGimpPaletteColourLine(std::ostream& out, int red, int green, int blue);
