#include "palette/gimp_palette_text.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>

namespace {

// The characters a standard stream skips as whitespace in the classic locale.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads the integer a token starts with, exactly as formatted extraction of
// an int from a stream over the token would. Returns false when there is none.
bool integerFromToken(const char* begin, const char* end, int& value)
{
    const char* p = begin;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p == end || !isDigit(*p)) {
        return false;
    }
    const std::uint64_t limit = negative ? 2147483648U : 2147483647U;
    std::uint64_t magnitude = 0;
    for (; p != end && isDigit(*p); ++p) {
        magnitude = magnitude * 10U + static_cast<std::uint64_t>(*p - '0');
        if (magnitude > limit) {
            return false;
        }
    }
    value = negative ? static_cast<int>(-static_cast<std::int64_t>(magnitude))
                     : static_cast<int>(magnitude);
    return true;
}

} // namespace

std::vector<int> getNumberFromString(std::string s)
{
    // A hand-made splitter: a string stream per token costs several times the
    // whole conversion. The tests hold it against the stream-based reading.
    std::vector<int> out;
    const char* p = s.data();
    const char* const end = p + s.size();
    while (p != end) {
        while (p != end && isBlank(*p)) {
            ++p;
        }
        const char* const token = p;
        while (p != end && !isBlank(*p)) {
            ++p;
        }
        int temp_int = 0;
        if (token != p && integerFromToken(token, p, temp_int)) {
            out.push_back(temp_int);
        }
    }
    return out;
}

std::int64_t colourCountFromText(std::istream& in)
{
    // 64-bit, so that no input can overflow the count.
    std::int64_t newlines = 0;
    bool lastLineHasText = false;
    std::array<char, 65536> chunk{};
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        const char* const first = chunk.data();
        const char* const last = first + got;
        const auto newlinesInChunk = std::count(first, last, '\n');
        newlines += newlinesInChunk;
        // Only the text after the last newline can be a last line without one.
        const char* tail = first;
        if (newlinesInChunk > 0) {
            tail =
                std::find(std::make_reverse_iterator(last), std::make_reverse_iterator(first), '\n')
                    .base();
            lastLineHasText = false;
        }
        if (std::any_of(tail, last, [](char c) { return !isBlank(c); })) {
            lastLineHasText = true;
        }
    }
    if (!in.bad()) {
        in.clear();
    }
    return newlines + (lastLineHasText ? 1 : 0) - 4;
}

bool isValidColourLine(const std::vector<int>& rgb)
{
    return rgb.size() >= 3 && std::all_of(rgb.begin(), rgb.begin() + 3, [](int component) {
               return component >= 0 && component <= 255;
           });
}

void writeGimpPaletteHeader(std::ostream& out, const std::string& name, const std::string& columns)
{
    out << "GIMP Palette\n"
        << "Name: " << name << '\n'
        << "Columns: " << columns << '\n'
        << "#\n";
}

void writeGimpPaletteColourLine(std::ostream& out, int red, int green, int blue)
{
    out << red << ' ' << green << ' ' << blue << "\tUntitled\n";
}
