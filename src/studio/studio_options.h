// The studio's command line.
#pragma once

#include <cstdint>
#include <string>

struct StudioOptions {
    float tick = 0.0f;
    bool paused = false;
    int width = 1280, height = 720;
    float scale = 1.0f;  // the picture is drawn at window size x scale, in (0, 1]
    std::string sources; // the source tree; empty: none to watch
    bool loop = false;   // --loop FROM:TO given
    float loopFrom = 0.0f, loopTo = 0.0f;
    bool printState = false;
    bool sync = false; // --sync [HOST:]PORT given: link to the sync editor there
    std::string syncHost;
    uint16_t syncPort = 0;
};

enum StudioOptionsResult { StudioRun, StudioHelp, StudioBadArguments };

// Reads the arguments after the program name. `defaultSources` is the tree the binary was built
// from (used when it exists and --sources is not given). On StudioBadArguments *error holds one
// line saying what is wrong.
StudioOptionsResult parseStudioOptions(int argc, const char* const* argv, const std::string& defaultSources,
                                       StudioOptions* options, std::string* error);

extern const char kStudioUsage[];
