// A graph built over an earlier one takes the earlier one's place without losing its memory.
#include "framework/memory.h"
#include "synth/builtin_song.h"
#include "synth/graph.h"

#include <gtest/gtest.h>

TEST(GraphRestartTest, InitialisingAgainReleasesThePreviousGraph) {
    const int64_t before = memLiveBlocks();
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(initSynthGraph(builtinPatchWords()), 1);
        createConstantNodes();
        ASSERT_NE(buildNode(0, kBuildShared), nullptr);
    }
    releaseSynthGraph();
    EXPECT_EQ(memLiveBlocks(), before);
}
