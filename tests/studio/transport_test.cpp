// The transport: what each key does to the playhead and the loop, and the musical position.
#include "platform/studio_window.h"
#include "studio/transport.h"

#include <gtest/gtest.h>

namespace {

// Eight scene starts and an end, as a show has them.
constexpr StudioTimeline kShow = {{0.0f, 384.0f, 1152.0f, 1536.0f, 2048.0f, 2304.0f, 2816.0f, 3328.0f},
                                  3676.65f};

TransportState pausedAt(float tick) {
    return {tick, true, false, 0.0f, 0.0f, true};
}

TEST(Transport, EachKeyMovesThePlayheadByItsAmount) {
    struct Case {
        int32_t key;
        bool shift;
        float from, to;
    };
    const Case cases[] = {
        {StudioKeyRight, false, 636.0f, 644.0f}, // one beat
        {StudioKeyLeft, false, 636.0f, 628.0f},
        {StudioKeyRight, true, 636.0f, 668.0f}, // one bar
        {StudioKeyLeft, true, 636.0f, 604.0f},
        {StudioKeyLeft, false, 3.0f, 0.0f},          // not before the start
        {StudioKeyRight, true, 3670.0f, 3676.65f},   // nor past the end
        {StudioKeyPageDown, false, 636.0f, 1152.0f}, // next scene start
        {StudioKeyPageDown, false, 1152.0f, 1536.0f},
        {StudioKeyPageDown, false, 3400.0f, 3676.65f},
        {StudioKeyPageUp, false, 636.0f, 384.0f}, // the start of the scene under the playhead
        {StudioKeyPageUp, false, 384.0f, 0.0f},   // from a start: the one before
        {StudioKeyPageUp, false, 0.0f, 0.0f},
        {StudioKeyHome, false, 2000.0f, 0.0f},
        {'1', false, 2000.0f, 0.0f},
        {'3', false, 10.0f, 1152.0f},
        {'8', false, 10.0f, 3328.0f},
    };
    for (const Case& c : cases) {
        TransportState state = pausedAt(c.from);
        EXPECT_TRUE(applyTransport(&state, &kShow, transportCommandForKey(c.key, c.shift))) << c.key;
        EXPECT_FLOAT_EQ(state.tick, c.to) << "key " << c.key << " shift " << c.shift << " from " << c.from;
        EXPECT_TRUE(state.paused) << "a jump keeps the pause";
    }
}

TEST(Transport, KeysThatDoNotMoveThePlayhead) {
    struct Case {
        int32_t key;
        TransportAction action;
    };
    const Case cases[] = {
        {' ', TransportPlayPause},        {'h', TransportToggleOverlay}, {'l', TransportLoopScene},
        {'[', TransportLoopFrom},         {']', TransportLoopTo},        {StudioKeyF5, TransportReload},
        {StudioKeyEscape, TransportQuit}, {'9', TransportNone},          {'x', TransportNone},
        {StudioKeyOther, TransportNone}};
    for (const Case& c : cases) {
        const TransportCommand command = transportCommandForKey(c.key, false);
        EXPECT_EQ(command.action, c.action) << c.key;
        TransportState state = pausedAt(636.0f);
        EXPECT_FALSE(applyTransport(&state, &kShow, command)) << c.key;
        EXPECT_EQ(state.tick, 636.0f) << c.key;
    }
}

TEST(Transport, SpaceAndHToggle) {
    TransportState state = pausedAt(10.0f);
    applyTransport(&state, &kShow, transportCommandForKey(' ', false));
    EXPECT_FALSE(state.paused);
    applyTransport(&state, &kShow, transportCommandForKey(' ', false));
    EXPECT_TRUE(state.paused);
    applyTransport(&state, &kShow, transportCommandForKey('h', false));
    EXPECT_FALSE(state.overlay);
}

TEST(Transport, LoopsTheSceneUnderThePlayheadAndStopsOnTheSecondPress) {
    TransportState state = pausedAt(1300.0f);
    applyTransport(&state, &kShow, {TransportLoopScene, 0});
    EXPECT_TRUE(state.looping);
    EXPECT_EQ(state.loopFrom, 1152.0f);
    EXPECT_EQ(state.loopTo, 1536.0f);
    applyTransport(&state, &kShow, {TransportLoopScene, 0});
    EXPECT_FALSE(state.looping);

    // The last scene loops up to the show's end.
    state = pausedAt(3500.0f);
    applyTransport(&state, &kShow, {TransportLoopScene, 0});
    EXPECT_EQ(state.loopFrom, 3328.0f);
    EXPECT_EQ(state.loopTo, 3676.65f);
}

TEST(Transport, BracketsSetTheLoopEndsAtThePlayhead) {
    TransportState state = pausedAt(600.0f);
    applyTransport(&state, &kShow, {TransportLoopFrom, 0});
    // No end yet: the scene's end is taken.
    EXPECT_EQ(state.loopFrom, 600.0f);
    EXPECT_EQ(state.loopTo, 1152.0f);
    state.tick = 700.0f;
    applyTransport(&state, &kShow, {TransportLoopTo, 0});
    EXPECT_EQ(state.loopFrom, 600.0f);
    EXPECT_EQ(state.loopTo, 700.0f);
    EXPECT_TRUE(state.looping);
    // An end set before the start: the start moves back to the scene's start.
    state.tick = 500.0f;
    applyTransport(&state, &kShow, {TransportLoopTo, 0});
    EXPECT_EQ(state.loopFrom, 384.0f);
    EXPECT_EQ(state.loopTo, 500.0f);
}

TEST(Transport, PlayheadWrapsAtTheLoopEndAndStopsAtTheShowsEnd) {
    TransportState state = {650.0f, false, true, 600.0f, 700.0f, true};
    EXPECT_EQ(wrapPlayhead(&state, &kShow, 699.9f), 699.9f);
    EXPECT_EQ(wrapPlayhead(&state, &kShow, 700.0f), 600.0f);
    state.looping = false;
    EXPECT_EQ(wrapPlayhead(&state, &kShow, 700.0f), 700.0f);
    EXPECT_EQ(wrapPlayhead(&state, &kShow, 4000.0f), 3676.65f);
}

TEST(Transport, SceneUnderTheTick) {
    const std::pair<float, int32_t> cases[] = {{0.0f, 0},    {383.9f, 0},  {384.0f, 1}, {636.0f, 1},
                                               {1536.0f, 3}, {3327.0f, 6}, {3600.0f, 7}};
    for (auto [tick, scene] : cases) EXPECT_EQ(sceneAtTick(&kShow, tick), scene) << tick;
    EXPECT_EQ(sceneEndTick(&kShow, 1), 1152.0f);
    EXPECT_EQ(sceneEndTick(&kShow, 7), 3676.65f);
}

TEST(Transport, MusicalPositionCountsBarsBeatsAndRowsFromOne) {
    struct Case {
        float tick;
        MusicalPosition position;
    };
    const Case cases[] = {{0.0f, {1, 1, 0}},  {7.9f, {1, 1, 7}},    {8.0f, {1, 2, 0}}, {31.0f, {1, 4, 7}},
                          {32.0f, {2, 1, 0}}, {636.0f, {20, 4, 4}}, {-3.0f, {1, 1, 0}}};
    for (const Case& c : cases) {
        const MusicalPosition position = musicalPosition(c.tick);
        EXPECT_EQ(position.bar, c.position.bar) << c.tick;
        EXPECT_EQ(position.beat, c.position.beat) << c.tick;
        EXPECT_EQ(position.row, c.position.row) << c.tick;
    }
}

TEST(Transport, TimelineColumnsSpanTheShow) {
    // A strip of 101 columns from x = 10: column 60 is the middle; outside it clamps.
    const std::pair<int32_t, float> columns[] = {
        {10, 0.0f}, {60, 1800.0f}, {110, 3600.0f}, {-50, 0.0f}, {500, 3600.0f}};
    for (auto [x, tick] : columns) EXPECT_EQ(timelineTickAt(x, 10, 101, 3600.0f), tick) << x;
    EXPECT_EQ(timelineTickAt(5, 10, 1, 3600.0f), 0.0f); // a strip of one column
}

} // namespace
