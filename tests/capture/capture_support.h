// Running quorlax-capture and ffmpeg from the capture tests, in a private folder per test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ToolRun {
    int exitCode;
    std::string output; // stdout and stderr together
};

// Runs a shell command line with stdout and stderr collected.
ToolRun runCommand(const std::string& command);
// Runs quorlax-capture with `arguments`, after the environment assignments in `environment`.
ToolRun capture(const std::string& arguments, const std::string& environment = "");

// A folder of its own under the test temporary folder, removed with everything in it at the end.
struct ScratchFolder {
    ScratchFolder();
    ~ScratchFolder();
    std::string path;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    // The names in the folder, sorted.
    std::vector<std::string> names() const;
};

// RGBA pixels, top row first; empty when the file is not a PNG.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
};
Picture readPicture(const std::string& path);
