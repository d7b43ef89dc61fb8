// The lines scripts read (--print-state) and the overlay's panel, for states of the studio.
#include "studio/studio.h"

#include <gtest/gtest.h>

namespace {

StudioState stateAt(float tick, int32_t scene, bool paused) {
    StudioState state;
    state.transport = {tick, paused, false, 0.0f, 0.0f, true};
    state.scene = scene;
    return state;
}

TEST(StudioState, StateLinesNameTickSceneAndWhatTheStudioDoes) {
    StudioState looping = stateAt(650.25f, 2, false);
    looping.transport.looping = true;
    looping.transport.loopFrom = 636.0f;
    looping.transport.loopTo = 892.0f;
    StudioState waiting = stateAt(3000.0f, 8, false);
    waiting.waiting = true;
    StudioState hidden = stateAt(0.0f, 1, true);
    hidden.transport.overlay = false;
    const std::pair<StudioState, const char*> cases[] = {
        {stateAt(636.0f, 2, true), "tick 636.00 scene 2 paused"},
        {stateAt(1.005f, 1, false), "tick 1.00 scene 1 playing"},
        {looping, "tick 650.25 scene 2 looping loop 636.00:892.00"},
        {waiting, "tick 3000.00 scene 8 waiting"},
        {hidden, "tick 0.00 scene 1 paused overlay off"},
    };
    for (const auto& [state, line] : cases) EXPECT_EQ(studioStateLine(state), line);
}

TEST(StudioState, OverlayShowsPositionTimingReloadAndError) {
    StudioState state = stateAt(636.0f, 2, true);
    state.frameMilliseconds = 20.0;
    state.scale = 0.25f;
    state.pictureWidth = 160;
    state.pictureHeight = 90;
    state.reloadStatus = "shaders error src/shaders/common.inl:43";
    state.lastError = "src/shaders/common.inl:43: error: `missingName' undeclared";
    EXPECT_EQ(studioOverlayLines(state),
              (std::vector<std::string>{"tick   636.00  20:4:4  scene 2",
                                        "  20.0 ms   50.0 fps  scale 0.25 160x90", "paused",
                                        "reload: shaders error src/shaders/common.inl:43", state.lastError}));

    state.waiting = true;
    state.lastError.clear();
    state.linkStatus = "connected to 127.0.0.1:1338";
    const std::vector<std::string> waiting = studioOverlayLines(state);
    ASSERT_EQ(waiting.size(), 5u);
    EXPECT_EQ(waiting[2], "waiting for the music render");
    EXPECT_EQ(waiting[4], "link: connected to 127.0.0.1:1338");
}

} // namespace
