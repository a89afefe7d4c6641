#include "palette/gimp_palette_text.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

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
            const char* const token = p;
            while (p != end && !isBlank(*p)) {
                ++p;
            }
            int ignored = 0;
            if (!integerFromToken(token, p, ignored)) {
                return PaletteLine::header;
            }
            p = token;
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

std::string faultOfColourLine(const std::vector<int>& rgb)
{
    if (rgb.size() < 3) {
        return "fewer than three numbers";
    }
    const std::array<const char*, 3> names = {"red", "green", "blue"};
    for (std::size_t i = 0; i < 3; ++i) {
        if (rgb[i] < 0 || rgb[i] > 255) {
            return std::string(names[i]) + ' ' + std::to_string(rgb[i]) + " is outside 0 to 255";
        }
    }
    return "";
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
