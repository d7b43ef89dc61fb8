// The capture tests' support beyond running the tools (support/tool_run.h): the pictures written.
#pragma once

#include "support/tool_run.h"

#include <cstdint>
#include <string>
#include <vector>

// RGBA pixels, top row first; empty when the file is not a PNG.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
};
Picture readPicture(const std::string& path);
