// The files named on a command line, shared by both programs: which inputs
// are accepted, and how an output is replaced whole or not at all.
#pragma once

#include <fstream>
#include <string>

// Whether `path` is a regular file or a link to one, told without opening it,
// so that a FIFO cannot block the program and a device cannot feed it endless
// data.
bool isRegularFile(const std::string& path);

// Whether `in` opened and can be read, and read again from its start: a
// missing file or a directory fails this. Leaves `in` at its start.
bool isReadableSeekableInput(std::ifstream& in);

// Whether both paths name one existing file, also through links.
bool areSameExistingFile(const std::string& first, const std::string& second);

// Where an output is written. Normally a new temporary file beside the file
// it replaces, put in its place by one rename once it is complete, so that a
// failed or killed run leaves the output as it was. An output that exists and
// is not a regular file (a device, a FIFO), or one in a folder that refuses a
// new file, is written in place.
struct OutputPlan {
    std::string writePath; // the file to open and write
    std::string finalPath; // where it goes when complete; empty when written in place
};

// Plans the output `path` for `program`, creating its temporary (named
// "OUTPUT.PROGRAM-XXXXXXXX.tmp", so that one left by a kill is recognisable).
// A replaced file's permission bits carry over; a new one gets the ordinary
// mode. False when no file can be created there.
bool planOutput(const std::string& path, const std::string& program, OutputPlan& plan);

// Puts a completely written and closed output in place; false when that fails.
bool putOutputInPlace(const OutputPlan& plan);

// Removes the temporary of an output that will not be completed.
void discardOutput(const OutputPlan& plan);
