// Every line must split into the same integers as the step-by-step reference.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "literal_line_splitter.h"
#include "palette/gimp_palette_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size);
    if (getNumberFromString(line) != literalGetNumberFromString(line)) {
        std::abort();
    }
    return 0;
}
