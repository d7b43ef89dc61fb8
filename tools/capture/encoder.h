// The ffmpeg child process a video is encoded by: raw RGBA frames arrive on its standard input,
// the soundtrack as raw 32-bit float stereo on descriptor 3, and it writes the file.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct EncoderProcess {
    pid_t pid = -1;
    int video = -1;    // write end of its standard input
    int sound = -1;    // write end of its descriptor 3
    int messages = -1; // an unlinked file holding what it printed on stderr
};

// The full path of `program` found in the folders of $PATH, or "" when there is none.
std::string findOnPath(const char* program);
// Starts `arguments` (arguments[0] is the program's path) in a process group of its own with the
// pipes above; writes to a pipe whose reader has gone fail with EPIPE instead of a signal. False
// when it cannot be started.
bool startEncoder(const std::vector<std::string>& arguments, EncoderProcess* encoder);
// Writes all of `bytes`; false when the encoder stopped reading.
bool writeToEncoder(int descriptor, const void* bytes, size_t size);
// Closes both pipes and waits for the encoder. "" when it exited with status 0, otherwise what it
// said last (or how it ended).
std::string finishEncoder(EncoderProcess* encoder);
// Kills the encoder and waits for it.
void stopEncoder(EncoderProcess* encoder);
