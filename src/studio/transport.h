// The studio's transport: the playhead, play and pause, the loop, and what each key does to them.
// Pure arithmetic over presentation time (clock ticks), with no window, device or GL.
#pragma once

#include <cstdint>

constexpr int32_t kStudioSceneCount = 8;
constexpr float kTicksPerBeat = 8.0f;
constexpr float kTicksPerBar = 32.0f;

// Where the scenes start and where the show ends, for the keys that jump and the timeline.
struct StudioTimeline {
    float sceneStarts[kStudioSceneCount];
    float length; // the last tick the playhead may reach (the show's end)
};

// What the studio is doing; the link to a sync editor reads and changes the same record.
struct TransportState {
    float tick; // the playhead
    bool paused;
    bool looping; // the playhead wraps from loopTo back to loopFrom while playing
    float loopFrom, loopTo;
    bool overlay;
};

enum TransportAction : int32_t {
    TransportNone,
    TransportPlayPause,
    TransportStep, // move by `value` ticks
    TransportPreviousScene,
    TransportNextScene,
    TransportHome,
    TransportScene,     // the start of scene `value` (1 to 8)
    TransportLoopScene, // loop the scene under the playhead, or stop looping
    TransportLoopFrom,
    TransportLoopTo,
    TransportToggleOverlay,
    TransportReload,
    TransportQuit,
    TransportSeek, // to tick `value`
};

struct TransportCommand {
    TransportAction action;
    float value;
};

// The command of a key (a StudioKey code or character) with Shift held or not.
TransportCommand transportCommandForKey(int32_t key, bool shift);

// Applies a command; TransportReload and TransportQuit change nothing here. Returns true when the
// playhead jumped (it then lies within [0, timeline->length]).
bool applyTransport(TransportState* state, const StudioTimeline* timeline, TransportCommand command);

// The scene (0 to 7) whose start is the latest at or before `tick`.
int32_t sceneAtTick(const StudioTimeline* timeline, float tick);
// The first start after scene `scene`'s, or the show's end.
float sceneEndTick(const StudioTimeline* timeline, int32_t scene);

// After the playhead moved on to `tick` while playing: where it is once the loop is applied
// (loopFrom once it reaches loopTo) and the show's end (it stays there).
float wrapPlayhead(const TransportState* state, const StudioTimeline* timeline, float tick);

// 1-based bar and beat, and the row (0 to 7) in the beat, of a presentation time: 32 ticks a bar.
struct MusicalPosition {
    int32_t bar, beat, row;
};
MusicalPosition musicalPosition(float tick);

// The tick under pixel column x of a timeline strip [left, left + width) spanning 0 to length.
float timelineTickAt(int32_t x, int32_t left, int32_t width, float length);
