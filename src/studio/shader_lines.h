// Where a line of a built program text came from: the include expansion traced back to the files,
// and the driver's compile log rewritten as "file:line: message".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SourceLine {
    std::string file;
    int32_t line; // 1-based
};

// A library a program text may include: its name in the include line, the file it is read from
// (as messages name it) and its text.
struct TracedLibrary {
    std::string name, file;
    const char* text;
};

// The origin of every line of the text that include expansion makes of `text` (read from `file`):
// entry i is where line i + 1 of the expanded text comes from. Include lines naming a library are
// replaced by its text (itself traced, to a depth of 16) as the renderer replaces them.
std::vector<SourceLine> traceExpandedLines(const std::string& file, const char* text,
                                           const std::vector<TracedLibrary>& libraries);

// The driver's compile or link log with each message located by the driver ("0:42(7): error: x"
// as Mesa writes it, "0(42) : error C1: x" as NVIDIA does) rewritten as "file:line: error: x"
// through `lines`; a line number beyond them keeps `fallbackFile`. Other lines of the log are kept
// as "fallbackFile: text"; empty lines are dropped. Every message ends in a newline.
std::string mapProgramLog(const char* log, const std::vector<SourceLine>& lines,
                          const std::string& fallbackFile);
