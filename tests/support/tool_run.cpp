#include "support/tool_run.h"

#include <cstdio>
#include <sys/wait.h>

ToolRun runTool(const std::string& tool, const std::string& arguments) {
    const std::string command = std::string(QUORLAX_BIN_DIR) + "/" + tool + " " + arguments + " 2>&1";
    ToolRun run{-1, ""};
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char block[4096];
    for (size_t got; (got = std::fread(block, 1, sizeof block, pipe)) > 0;) run.output.append(block, got);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

ToolRun runCapture(const std::string& arguments) {
    return runTool("quorlax-capture", arguments);
}
