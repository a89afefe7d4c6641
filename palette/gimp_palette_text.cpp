#include "palette/gimp_palette_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cstring>

namespace {

// The characters a standard stream skips as whitespace in the classic locale:
// space, tab, newline, vertical tab, form feed and carriage return.
bool isBlank(char c)
{
    constexpr std::uint64_t blanks = (std::uint64_t{1} << ' ') | (std::uint64_t{1} << '\t') |
                                     (std::uint64_t{1} << '\n') | (std::uint64_t{1} << '\v') |
                                     (std::uint64_t{1} << '\f') | (std::uint64_t{1} << '\r');
    const auto code = static_cast<unsigned char>(c);
    return code <= ' ' && ((blanks >> code) & 1U) != 0;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Takes the token at `p` (after any blanks) and moves past it. Yields in
// `value` the integer the token starts with, exactly as formatted extraction
// of an int from a stream over the token would: an optional sign, then
// decimal digits that fit, whatever follows ignored. False when the token
// yields nothing, or when no token is left (then `p` is `end`).
bool integerFromNextToken(const char*& p, const char* end, int& value)
{
    // A local cursor: the caller's may alias the characters it reads.
    const char* q = p;
    while (q != end && isBlank(*q)) {
        ++q;
    }
    bool negative = false;
    if (q != end && (*q == '+' || *q == '-')) {
        negative = *q == '-';
        ++q;
    }
    const std::uint64_t limit = negative ? 2147483648U : 2147483647U;
    const char* const digits = q;
    std::uint64_t magnitude = 0;
    for (; q != end && isDigit(*q); ++q) {
        // Stops growing once past the limit, so that it never wraps.
        if (magnitude <= limit) {
            magnitude = magnitude * 10U + static_cast<std::uint64_t>(*q - '0');
        }
    }
    const bool yields = q != digits && magnitude <= limit;
    while (q != end && !isBlank(*q)) {
        ++q;
    }
    p = q;
    if (!yields) {
        return false;
    }
    value = negative ? static_cast<int>(-static_cast<std::int64_t>(magnitude))
                     : static_cast<int>(magnitude);
    return true;
}

// The next integer of a line at or after `p`, skipping tokens that yield none.
bool nextNumberInLine(const char*& p, const char* end, int& value)
{
    while (p != end) {
        if (integerFromNextToken(p, end, value)) {
            return true;
        }
    }
    return false;
}

// Eight bytes at a time, each byte of a word a lane (little-endian hosts).
constexpr std::uint64_t everyByte = 0x0101010101010101U;
constexpr std::uint64_t highBits = 0x8080808080808080U;

// The high bit of each byte of `word` set where that byte is below `n` (at most 128).
std::uint64_t bytesBelow(std::uint64_t word, std::uint64_t n)
{
    return ~(((word & ~highBits) + everyByte * (128U - n)) | word) & highBits;
}

// Byte i's high bit as bit i.
unsigned bitPerByte(std::uint64_t flags)
{
    return static_cast<unsigned>(((flags >> 7U) * 0x0102040810204080U) >> 56U);
}

// Bit i set where byte i of `word` is a blank (see isBlank).
unsigned blankBits(std::uint64_t word)
{
    const std::uint64_t spaces = bytesBelow(word ^ (everyByte * ' '), 1);
    const std::uint64_t controls = bytesBelow(word, '\r' + 1) & ~bytesBelow(word, '\t');
    return bitPerByte(spaces | controls);
}

// Bit i set where byte i of `word` is a decimal digit.
unsigned digitBits(std::uint64_t word)
{
    return bitPerByte(bytesBelow(word, '9' + 1) & ~bytesBelow(word, '0'));
}

// The usual colour line, three components of one to three digits with
// blanks between them in its first 16 bytes, read without a branch that
// depends on how the line is spaced: its blanks and digits become bit masks,
// and each component is converted from one word. False for any other line
// (also for a component above 255), which is then read token by token.
bool colourAtOnce(std::string_view line, std::array<int, 3>& rgb)
{
    if constexpr (std::endian::native != std::endian::little) {
        return false;
    }
    // The first 16 bytes and four more (the last component may start at
    // byte 15). A shorter line is read from a copy with blanks after it: a
    // blank after the last token changes nothing.
    std::array<char, 20> window{};
    const char* bytes = line.data();
    if (line.size() < window.size()) {
        window.fill(' ');
        std::memcpy(window.data(), line.data(), line.size());
        bytes = window.data();
    }
    std::array<std::uint64_t, 2> words{};
    std::memcpy(words.data(), bytes, 16);
    unsigned blanks = 0;
    unsigned digits = 0;
    for (std::size_t half = 0; half < 2; ++half) {
        blanks |= blankBits(words[half]) << (8 * half);
        digits |= digitBits(words[half]) << (8 * half);
    }
    unsigned starts = ~blanks & ((blanks << 1U) | 1U) & 0xFFFFU;
    for (int& component : rgb) {
        if (starts == 0) {
            return false;
        }
        const int start = std::countr_zero(starts);
        starts &= starts - 1;
        const unsigned blanksAfter = blanks >> start;
        if (blanksAfter == 0) {
            return false; // the token goes on past the 16 bytes
        }
        const int length = std::countr_zero(blanksAfter);
        const unsigned token = ((1U << length) - 1U) << start;
        if (length > 3 || (digits & token) != token) {
            return false;
        }
        // The digits right-aligned in four bytes, zeros in front, then added
        // up in pairs.
        std::uint32_t number = 0;
        std::memcpy(&number, bytes + start, sizeof number);
        number = (number ^ 0x30303030U) << (8 * (4 - length));
        number = ((number & 0x0F0F0F0FU) * 2561U) >> 8U;
        number = ((number & 0x00FF00FFU) * 6553601U) >> 16U;
        component = static_cast<int>(number & 0xFFFFU);
        if (component > 255) {
            return false;
        }
    }
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
    int temp_int = 0;
    while (nextNumberInLine(p, end, temp_int)) {
        out.push_back(temp_int);
    }
    return out;
}

namespace {

// How many of the first three integers of a line it holds, token by token,
// and their values in `rgb`.
int firstThreeNumbers(std::string_view line, std::array<int, 3>& rgb)
{
    const char* p = line.data();
    const char* const end = p + line.size();
    int found = 0;
    while (found < 3 && nextNumberInLine(p, end, rgb[static_cast<std::size_t>(found)])) {
        ++found;
    }
    return found;
}

bool isComponent(int value)
{
    return value >= 0 && value <= 255;
}

} // namespace

bool colourFromLine(std::string_view line, std::array<int, 3>& rgb)
{
    if (colourAtOnce(line, rgb)) {
        return true;
    }
    return firstThreeNumbers(line, rgb) == 3 && isComponent(rgb[0]) && isComponent(rgb[1]) &&
           isComponent(rgb[2]);
}

std::string faultOfColourLine(std::string_view line)
{
    std::array<int, 3> rgb{};
    if (firstThreeNumbers(line, rgb) < 3) {
        return "fewer than three numbers";
    }
    const std::array<const char*, 3> names = {"red", "green", "blue"};
    for (std::size_t i = 0; i < rgb.size(); ++i) {
        if (!isComponent(rgb[i])) {
            return std::string(names[i]) + ' ' + std::to_string(rgb[i]) + " is outside 0 to 255";
        }
    }
    return "";
}

bool readLine(LineReader& reader, std::string_view& line)
{
    std::size_t scanned = reader.begin;
    for (;;) {
        const char* const data = reader.buffer.data();
        const void* const newline = std::memchr(data + scanned, '\n', reader.end - scanned);
        if (newline != nullptr) {
            const auto at = static_cast<std::size_t>(static_cast<const char*>(newline) - data);
            line = std::string_view(data + reader.begin, at - reader.begin);
            reader.begin = at + 1;
            return true;
        }
        if (reader.drained) {
            if (reader.begin == reader.end) {
                return false;
            }
            line = std::string_view(data + reader.begin, reader.end - reader.begin);
            reader.begin = reader.end;
            return true;
        }
        // Keep the start of the line, and make room after it for the next block.
        const std::size_t kept = reader.end - reader.begin;
        std::memmove(reader.buffer.data(), data + reader.begin, kept);
        reader.begin = 0;
        reader.end = kept;
        scanned = kept;
        if (reader.buffer.size() - kept < reader.buffer.size() / 2) {
            reader.buffer.resize(reader.buffer.size() * 2);
        }
        reader.in.read(reader.buffer.data() + reader.end,
                       static_cast<std::streamsize>(reader.buffer.size() - reader.end));
        reader.end += static_cast<std::size_t>(reader.in.gcount());
        if (!reader.in) {
            reader.drained = true;
            if (reader.in.bad()) {
                return false;
            }
        }
    }
}

bool readBlock(LineReader& reader, std::string_view& block)
{
    if (reader.begin == reader.end && !reader.drained) {
        reader.begin = 0;
        reader.in.read(reader.buffer.data(), static_cast<std::streamsize>(reader.buffer.size()));
        reader.end = static_cast<std::size_t>(reader.in.gcount());
        reader.drained = !reader.in;
    }
    if (reader.begin == reader.end || reader.in.bad()) {
        return false;
    }
    block = std::string_view(reader.buffer.data() + reader.begin, reader.end - reader.begin);
    reader.begin = reader.end;
    return true;
}

bool isGimpPaletteFirstLine(std::string_view line)
{
    constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    if (line.substr(0, byteOrderMark.size()) == byteOrderMark) {
        line.remove_prefix(byteOrderMark.size());
    }
    return line.substr(0, 12) == "GIMP Palette";
}

PaletteLine kindOfPaletteLine(std::string_view line, std::int64_t number, bool& inHeader)
{
    if constexpr (std::endian::native == std::endian::little) {
        // Past the header, only the first non-blank character matters; in a
        // line of eight bytes or more it is usually among the first eight.
        if (!inHeader && line.size() >= 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, line.data(), sizeof word);
            const unsigned text = ~blankBits(word) & 0xFFU;
            if (text != 0) {
                return line[static_cast<std::size_t>(std::countr_zero(text))] == '#'
                           ? PaletteLine::skipped
                           : PaletteLine::colour;
            }
        }
    }
    const char* p = line.data();
    const char* const end = p + line.size();
    while (p != end && isBlank(*p)) {
        ++p;
    }
    if (inHeader) {
        if (number == 1) {
            return PaletteLine::header;
        }
        if (number <= 4) {
            const char* token = p;
            int ignored = 0;
            if (!integerFromNextToken(token, end, ignored)) {
                return PaletteLine::header;
            }
        }
        inHeader = false;
    }
    return p == end || *p == '#' ? PaletteLine::skipped : PaletteLine::colour;
}

std::int64_t colourCountFromText(std::istream& in)
{
    // 64-bit, so that no input can overflow the count.
    LineReader reader{in};
    std::string_view line;
    if (!readLine(reader, line) || !isGimpPaletteFirstLine(line)) {
        if (!in.bad()) {
            in.clear();
        }
        return -1;
    }
    std::int64_t number = 1;
    bool inHeader = true;
    std::int64_t colours = 0;
    while (inHeader && readLine(reader, line)) {
        ++number;
        if (kindOfPaletteLine(line, number, inHeader) == PaletteLine::colour) {
            ++colours;
        }
    }
    // After the header only a line's first non-blank character matters, so
    // the rest is scanned in blocks rather than split into lines.
    bool atLineStart = true;
    std::string_view block;
    while (readBlock(reader, block)) {
        const char* p = block.data();
        const char* const end = p + block.size();
        while (p != end) {
            if (atLineStart) {
                const char c = *p++;
                if (!isBlank(c)) {
                    atLineStart = false;
                    if (c != '#') {
                        ++colours;
                    }
                }
                continue;
            }
            // Short lines end within a few bytes; a call to find the newline
            // pays off only for longer ones.
            const char* const near = p + std::min<std::ptrdiff_t>(end - p, 8);
            while (p != near && *p != '\n') {
                ++p;
            }
            if (p == near && p != end) {
                const void* const newline = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
                p = newline != nullptr ? static_cast<const char*>(newline) : end;
            }
            if (p != end) {
                ++p;
                atLineStart = true;
            }
        }
    }
    if (!in.bad()) {
        in.clear();
    }
    return colours;
}

void writeGimpPaletteHeader(std::ostream& out, const std::string& name, const std::string& columns)
{
    out << "GIMP Palette\n"
        << "Name: " << name << '\n'
        << "Columns: " << columns << '\n'
        << "#\n";
}

void appendGimpPaletteColourLine(std::string& out, int red, int green, int blue)
{
    // Formatted by hand into one piece: a stream's formatting of three small
    // integers costs more than the rest of the conversion.
    std::array<char, 48> line{};
    char* p = line.data();
    // Three components of at most 11 characters, each followed by one more.
    for (const int component : {red, green, blue}) {
        p = std::to_chars(p, line.data() + line.size() - 1, component).ptr;
        *p++ = ' ';
    }
    p[-1] = '\t';
    constexpr std::string_view name = "Untitled\n";
    out.append(line.data(), p).append(name);
}
