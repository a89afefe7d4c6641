// Checks on the files named on a command line, shared by both programs.
#pragma once

#include <fstream>
#include <string>

// Whether `in` opened and can be read, and read again from its start: a
// missing file, a directory or a pipe fails this. Leaves `in` at its start.
bool isReadableSeekableInput(std::ifstream& in);

// Whether both paths name one existing file, also through links.
bool areSameExistingFile(const std::string& first, const std::string& second);
