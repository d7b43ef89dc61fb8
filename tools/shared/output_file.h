// Output files that appear whole or not at all: the bytes go to a temporary file beside the
// target, which replaces the target only once everything is written. A failure, Ctrl-C or a
// termination signal leaves the target as it was and no temporary file behind.
#pragma once

#include <sys/types.h>

#include <string>

struct OutputFile {
    std::string target;
    std::string temporary; // empty once committed or discarded
    int descriptor;        // open for writing; -1 once closed
};

// Checks that `path` can take a file and creates the temporary file for it: a target that exists
// must be a regular file, and its folder must take a new file. Returns "" on success, otherwise
// why not (nothing is created then). Called before any work, so a bad path costs nothing.
std::string openOutputFile(const char* path, OutputFile* file);
// Closes the descriptor (if still open) and renames the temporary file over the target; "" on
// success, otherwise why not, with the temporary file removed.
std::string commitOutputFile(OutputFile* file);
// Closes and removes the temporary file; the target stays as it was.
void discardOutputFile(OutputFile* file);

// A child process that writes an output file (the encoder): on Ctrl-C or a termination signal it
// is killed and waited for before the temporary files are removed. 0 forgets it.
void watchOutputWriter(pid_t child);
