#include "palette/palette_files.h"

#include <filesystem>
#include <system_error>

bool isReadableSeekableInput(std::ifstream& in)
{
    if (!in.is_open() || in.tellg() == std::streampos(-1)) {
        return false;
    }
    // Opening a directory succeeds on some systems; its first read fails.
    in.peek();
    if (in.bad()) {
        return false;
    }
    in.clear();
    return true;
}

bool areSameExistingFile(const std::string& first, const std::string& second)
{
    std::error_code error;
    return std::filesystem::equivalent(first, second, error) && !error;
}
