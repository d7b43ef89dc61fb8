#include "studio/transport.h"

#include "platform/studio_window.h"

#include <algorithm>
#include <cmath>

namespace {

float clampTick(const StudioTimeline* timeline, float tick) {
    return std::clamp(tick, 0.0f, timeline->length);
}

bool jumpTo(TransportState* state, const StudioTimeline* timeline, float tick) {
    state->tick = clampTick(timeline, tick);
    return true;
}

} // namespace

TransportCommand transportCommandForKey(int32_t key, bool shift) {
    const float step = shift ? kTicksPerBar : kTicksPerBeat;
    switch (key) {
    case ' ':
        return {TransportPlayPause, 0};
    case StudioKeyLeft:
        return {TransportStep, -step};
    case StudioKeyRight:
        return {TransportStep, step};
    case StudioKeyPageUp:
        return {TransportPreviousScene, 0};
    case StudioKeyPageDown:
        return {TransportNextScene, 0};
    case StudioKeyHome:
        return {TransportHome, 0};
    case 'l':
        return {TransportLoopScene, 0};
    case '[':
        return {TransportLoopFrom, 0};
    case ']':
        return {TransportLoopTo, 0};
    case 'h':
        return {TransportToggleOverlay, 0};
    case StudioKeyF5:
        return {TransportReload, 0};
    case StudioKeyEscape:
        return {TransportQuit, 0};
    default:
        if (key >= '1' && key <= '8') return {TransportScene, float(key - '0')};
        return {TransportNone, 0};
    }
}

int32_t sceneAtTick(const StudioTimeline* timeline, float tick) {
    int32_t scene = 0;
    for (int32_t i = 0; i < kStudioSceneCount; ++i)
        if (timeline->sceneStarts[i] <= tick && timeline->sceneStarts[i] >= timeline->sceneStarts[scene])
            scene = i;
    return scene;
}

float sceneEndTick(const StudioTimeline* timeline, int32_t scene) {
    const float start = timeline->sceneStarts[scene];
    float end = timeline->length;
    for (float other : timeline->sceneStarts)
        if (other > start && other < end) end = other;
    return end;
}

bool applyTransport(TransportState* state, const StudioTimeline* timeline, TransportCommand command) {
    switch (command.action) {
    case TransportPlayPause:
        state->paused = !state->paused;
        return false;
    case TransportStep:
        return jumpTo(state, timeline, state->tick + command.value);
    case TransportPreviousScene: {
        float best = 0.0f;
        for (float start : timeline->sceneStarts)
            if (start < state->tick && start > best) best = start;
        return jumpTo(state, timeline, best);
    }
    case TransportNextScene: {
        float best = timeline->length;
        for (float start : timeline->sceneStarts)
            if (start > state->tick && start < best) best = start;
        return jumpTo(state, timeline, best);
    }
    case TransportHome:
        return jumpTo(state, timeline, 0.0f);
    case TransportScene: {
        const int32_t scene = static_cast<int32_t>(command.value) - 1;
        if (scene < 0 || scene >= kStudioSceneCount) return false;
        return jumpTo(state, timeline, timeline->sceneStarts[scene]);
    }
    case TransportLoopScene:
        if (state->looping) {
            state->looping = false;
            return false;
        } else {
            const int32_t scene = sceneAtTick(timeline, state->tick);
            state->loopFrom = timeline->sceneStarts[scene];
            state->loopTo = sceneEndTick(timeline, scene);
            state->looping = state->loopTo > state->loopFrom;
            return false;
        }
    case TransportLoopFrom:
        state->loopFrom = state->tick;
        if (state->loopTo <= state->loopFrom)
            state->loopTo = sceneEndTick(timeline, sceneAtTick(timeline, state->tick));
        state->looping = state->loopTo > state->loopFrom;
        return false;
    case TransportLoopTo:
        state->loopTo = state->tick;
        if (state->loopFrom >= state->loopTo)
            state->loopFrom = timeline->sceneStarts[sceneAtTick(timeline, state->tick)];
        state->looping = state->loopTo > state->loopFrom;
        return false;
    case TransportToggleOverlay:
        state->overlay = !state->overlay;
        return false;
    case TransportSeek:
        return jumpTo(state, timeline, command.value);
    case TransportNone:
    case TransportReload:
    case TransportQuit:
        return false;
    }
    return false;
}

float wrapPlayhead(const TransportState* state, const StudioTimeline* timeline, float tick) {
    if (state->looping && tick >= state->loopTo) return state->loopFrom;
    return clampTick(timeline, tick);
}

MusicalPosition musicalPosition(float tick) {
    const int64_t row = static_cast<int64_t>(std::floor(std::max(tick, 0.0f)));
    const int64_t ticksPerBar = static_cast<int64_t>(kTicksPerBar);
    const int64_t ticksPerBeat = static_cast<int64_t>(kTicksPerBeat);
    return {static_cast<int32_t>(row / ticksPerBar + 1),
            static_cast<int32_t>(row % ticksPerBar / ticksPerBeat + 1),
            static_cast<int32_t>(row % ticksPerBeat)};
}

float timelineTickAt(int32_t x, int32_t left, int32_t width, float length) {
    if (width <= 1) return 0.0f;
    const float fraction = std::clamp(float(x - left) / float(width - 1), 0.0f, 1.0f);
    return fraction * length;
}
