// Input files of the tools, read whole and bounded: only regular files are read, never more than
// a stated size, and nothing is waited on (a folder, FIFO or device named as an input is refused
// before it is opened for reading).
#pragma once

#include <cstddef>
#include <string>

// The most bytes an input may hold: the show's own sources are under 100 KiB, and a file of this
// size still compiles or imports within seconds.
constexpr size_t kInputFileLimit = size_t(4) << 20;

// Reads the whole of `path` into *bytes. Returns "" on success, otherwise why not, as the reason
// of "cannot read 'PATH': REASON" ("no such file", "it is a folder", "it is a FIFO (named pipe),
// not a regular file", "it is larger than 4 MiB", ...); *bytes is empty then.
std::string readInputFile(const char* path, std::string* bytes, size_t limit = kInputFileLimit);

// True when both paths name one existing file (through links, hard links included).
bool sameFile(const char* first, const char* second);

// True when `path` ends in `extension` (".wav"), letter case aside.
bool hasExtension(const char* path, const char* extension);
