// quorlax-studio: the show as an authoring tool.
#include "studio/studio.h"
#include "studio/studio_sync.h"

#include <cstdio>
#include <string>

#ifndef QUORLAX_SOURCE_TREE
#define QUORLAX_SOURCE_TREE ""
#endif

int main(int argc, char** argv) {
    StudioOptions options;
    std::string error;
    switch (parseStudioOptions(argc - 1, argv + 1, QUORLAX_SOURCE_TREE, &options, &error)) {
    case StudioHelp:
        std::puts(kStudioUsage);
        return 0;
    case StudioBadArguments:
        std::fprintf(stderr, "quorlax-studio: %s\n", error.c_str());
        return 2;
    case StudioRun:
        break;
    }
    if (options.sync && !startStudioSync(options, &error)) {
        std::fprintf(stderr, "quorlax-studio: %s\n", error.c_str());
        return 2;
    }
    return runStudio(options);
}
