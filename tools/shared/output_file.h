// Output files that appear whole or not at all, the one way every tool writes a file: the bytes
// go to a temporary file beside the target, which replaces the target only once everything is
// written. A failure, Ctrl-C or a termination signal leaves the target as it was and no temporary
// file behind.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

struct OutputFile {
    std::string target;    // the file replaced: the path given, or where its symbolic links lead
    std::string temporary; // empty once committed or discarded
    int descriptor;        // open for writing; -1 once closed
};

// From now on SIGINT (Ctrl-C), SIGTERM and SIGHUP remove the temporary files still open, stop the
// child writing one (watchOutputWriter) and end the program with 128 + the signal, after the line
// "PROGRAM: interrupted; the output was not written". A signal the program was started with
// ignored (nohup, a background job of a script) stays ignored, and one the program already
// handles itself (the studio's quit requests) keeps its handler: its temporary files are then
// removed by the next write beside the same target. openOutputFile calls it with
// "quorlax-capture" when the program has not.
void watchInterruptions(const char* program);

// Checks that `path` can take a file and creates the temporary file for it. A symbolic link is
// followed, and the file it leads to is replaced (the link stays); a target that exists must be a
// regular file, and its permissions are kept. Temporary files left beside the same target by a
// process that no longer runs (killed with SIGKILL, say) are removed. Returns "" on success,
// otherwise why not (nothing is created then). Called before any work, so a bad path costs
// nothing.
std::string openOutputFile(const char* path, OutputFile* file);
// Closes the descriptor (if still open) and renames the temporary file over the target; "" on
// success, otherwise why not, with the temporary file removed.
std::string commitOutputFile(OutputFile* file);
// Closes and removes the temporary file; the target stays as it was.
void discardOutputFile(OutputFile* file);
// Writes `size` bytes to the open file and commits it; "" on success, otherwise why not ("No space
// left on device"), with the temporary file removed and the target as it was.
std::string writeOutputBytes(OutputFile* file, const void* bytes, size_t size);
// The same for the file at `path`, opened here.
std::string writeOutputFile(const char* path, const void* bytes, size_t size);

// A child process that writes an output file (the encoder): on Ctrl-C or a termination signal it
// is killed and waited for before the temporary files are removed. 0 forgets it.
void watchOutputWriter(pid_t child);
