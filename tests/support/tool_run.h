// Runs the project's command-line tools as programs, as a user would.
#pragma once

#include <string>

struct ToolRun {
    int exitCode;       // -1 when it did not exit normally
    std::string output; // stdout and stderr together (so stdout is not a terminal)
};

// build/bin/TOOL with the arguments, split by the shell.
ToolRun runTool(const std::string& tool, const std::string& arguments);
// quorlax-capture with the arguments.
ToolRun runCapture(const std::string& arguments);
