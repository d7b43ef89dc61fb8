#include "capture_support.h"

#include "framework/memory.h"
#include "shared/png_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

ToolRun runCommand(const std::string& command) {
    ToolRun run{-1, ""};
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    char block[4096];
    for (size_t got; (got = std::fread(block, 1, sizeof block, pipe)) > 0;) run.output.append(block, got);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

ToolRun capture(const std::string& arguments, const std::string& environment) {
    return runCommand(environment + " " + QUORLAX_BIN_DIR + "/quorlax-capture " + arguments);
}

ScratchFolder::ScratchFolder() {
    std::string pattern = ::testing::TempDir() + "quorlax_capture_XXXXXX";
    path = mkdtemp(pattern.data()) ? pattern : "";
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::vector<std::string> ScratchFolder::names() const {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(path))
        found.push_back(entry.path().filename());
    std::sort(found.begin(), found.end());
    return found;
}

Picture readPicture(const std::string& path) {
    Picture picture;
    int32_t width = 0, height = 0;
    uint8_t* rgba = readPngFile(path.c_str(), &width, &height);
    if (!rgba) return picture;
    picture = {width, height, std::vector<uint8_t>(rgba, rgba + size_t(width) * size_t(height) * 4)};
    memFree(rgba);
    return picture;
}
