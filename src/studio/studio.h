// The studio: the show as an authoring tool. Its one state record, the seam where a link to a sync
// editor plugs in, and the main loop.
#pragma once

#include "studio/studio_options.h"
#include "studio/transport.h"

#include <cstdint>
#include <string>
#include <vector>

struct StudioState {
    TransportState transport;
    StudioTimeline timeline;
    int32_t scene = 1;    // 1 to 8: the scene the selector names at the playhead
    bool waiting = false; // playing, but the music render has not reached the playhead yet
    float scale = 1.0f;
    int32_t windowWidth = 0, windowHeight = 0, pictureWidth = 0, pictureHeight = 0;
    double frameMilliseconds = 0.0; // the mean over the last quarter of a second
    std::string reloadStatus;       // the last reload: "shaders ok scene3.glsl", "music rendering"
    std::string lastError;          // the first line of the last reload error, "" when none since
    std::string linkStatus;         // what the link last said of itself ("" when it said nothing)
};

// What a link may ask for once a frame; the studio applies it as it applies its keys.
struct StudioRequests {
    bool seek = false;
    float tick = 0.0f;
    bool pause = false, play = false;
    // The link changed keys in the track registry: the timeline and the picture follow.
    bool tracksChanged = false;
    // A new line for the overlay and the state lines ("link " + status); empty keeps the old one.
    std::string status;
};
// Called once a frame, after the window's events, with the state as it stands.
using StudioLinkPoll = void (*)(void* context, const StudioState* state, StudioRequests* requests);
// Installs the link (null: none).
void setStudioLink(StudioLinkPoll poll, void* context);

// "waiting", "paused", "looping" or "playing".
const char* studioStatusWord(const StudioState& state);
// The line --print-state writes for the state: "tick 636.00 scene 2 paused", with " loop F:T"
// while a loop is set and " overlay off" while the overlay is hidden.
std::string studioStateLine(const StudioState& state);
// The overlay panel's lines.
std::vector<std::string> studioOverlayLines(const StudioState& state);

// On the current GL context: the renderer for a picture of that size and the scenes started with
// the built-in song's clock, without the show's start-up pause. False, with a line on stderr,
// when a GL entry point is missing or the scenes cannot start.
bool startStudioScenes(int32_t pictureWidth, int32_t pictureHeight);

// Opens the window and runs the studio until Escape, the window's close or a quit signal; the
// process exit code (0, or 1 when the window or GL cannot be had).
int runStudio(const StudioOptions& options);
