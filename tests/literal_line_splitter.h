// The line splitter written out step by step, with a new string stream per
// token, exactly as the reading rules of the .gpl text describe it. The real
// getNumberFromString is a faster hand-made splitter that must agree with
// this one on every input; the unit tests and a fuzz target hold it to that.
#pragma once

#include <sstream>
#include <string>
#include <vector>

// Takes the line by value, as the reading rules have it.
inline std::vector<int>
literalGetNumberFromString(std::string s) // NOLINT(performance-unnecessary-value-param)
{
    std::stringstream str_strm(s);
    std::vector<int> out;
    std::string temp_str;
    int temp_int = 0;
    while (!str_strm.eof()) {
        str_strm >> temp_str;
        if (std::stringstream(temp_str) >> temp_int) {
            out.push_back(temp_int);
        }
        temp_str = "";
    }
    return out;
}
