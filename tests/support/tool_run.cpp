#include "support/tool_run.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

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

std::string toolPath(const char* program) {
    return std::string(QUORLAX_BIN_DIR) + "/" + program;
}

ToolRun runCapture(const std::string& arguments, const std::string& environment) {
    return runCommand(environment + " " + toolPath("quorlax-capture") + " " + arguments);
}

ToolRun runTool(const std::string& tool, const std::string& arguments) {
    return runCommand(toolPath(tool.c_str()) + " " + arguments);
}

ScratchFolder::ScratchFolder() {
    std::string pattern = ::testing::TempDir() + "quorlax_tool_XXXXXX";
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

std::string withFolder(std::string text, const std::string& folder) {
    for (size_t at; (at = text.find("$D")) != std::string::npos;) text.replace(at, 2, folder);
    return text;
}

bool writeTextFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(file);
}

std::string readTextFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}
