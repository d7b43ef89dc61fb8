// Runs the project's command-line tools as programs, as a user would, each test in a folder of
// its own.
#pragma once

#include <string>
#include <vector>

struct ToolRun {
    int exitCode;       // -1 when it did not exit normally
    std::string output; // stdout and stderr together (so stdout is not a terminal)
};

// Runs a shell command line with stdout and stderr collected.
ToolRun runCommand(const std::string& command);
// quorlax-capture with the arguments (split by the shell), after the environment assignments in
// `environment`.
ToolRun runCapture(const std::string& arguments, const std::string& environment = "");
// build/bin/TOOL with the arguments, split by the shell.
ToolRun runTool(const std::string& tool, const std::string& arguments);
// The path of a program of the build, such as "quorlax-capture".
std::string toolPath(const char* program);

// A folder of its own under the test temporary folder, removed with everything in it at the end.
struct ScratchFolder {
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string path;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    // The names in the folder, sorted, hidden ones included.
    std::vector<std::string> names() const;
};

// `text` with every "$D" in it replaced by `folder`.
std::string withFolder(std::string text, const std::string& folder);
// Writes `bytes` as the whole file at `path`; false when it cannot.
bool writeTextFile(const std::string& path, const std::string& bytes);
// The whole file at `path`, or "" when it cannot be read.
std::string readTextFile(const std::string& path);
