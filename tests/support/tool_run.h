// Runs the capture tool as a program, as a user would.
#pragma once

#include <string>

struct ToolRun {
    int exitCode;       // -1 when it did not exit normally
    std::string output; // stdout and stderr together (so stdout is not a terminal)
};

// quorlax-capture with the arguments, split by the shell.
ToolRun runCapture(const std::string& arguments);
