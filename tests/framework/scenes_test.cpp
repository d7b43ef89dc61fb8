#include "base/memory.h"
#include "framework/scenes.h"
#include "base/text.h"
#include "platform/platform.h"
#include "renderer/renderer.h"
#include "renderer/shader_assembly.h"
#include "shaders/embedded_shaders.h"
#include "support/gl_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Each stub scene writes "textsection" to red, "shape" to green and its own number to blue, so
// one pixel of the window tells which scene drew with which integer parameters.
std::string stubProgram(int32_t sceneNumber) {
    return "#version 430\n"
           "layout(location = 0) out vec4 outColor0;\n"
           "layout(location = 1) out vec4 outColor1;\n"
           "layout(location = 2) out vec4 outColor2;\n"
           "uniform int textsection;\n"
           "uniform int shape;\n"
           "void main() {\n"
           "    outColor0 = vec4(float(textsection) / 255.0, float(shape) / 255.0, " +
           std::to_string(sceneNumber) +
           ".0 / 255.0, 1.0);\n"
           "    outColor1 = outColor0;\n"
           "    outColor2 = outColor0;\n"
           "}\n";
}

struct Event {
    char kind; // 'a' activate, 'u' update, 'h' parameter hook
    int32_t scene;
    bool operator==(const Event&) const = default;
};

std::vector<Event> events;
std::vector<uint32_t> sleeps;
int32_t failAfterInitOf = -1;
int32_t failingAllocation = 0; // counted from the first allocation after that init

void recordingHook(int32_t program, int32_t sceneIndex, float time) {
    events.push_back({'h', sceneIndex});
    uploadSceneParameters(program, sceneIndex, time);
}

int32_t testInit(int32_t sceneIndex, TrackRegistry* registry, SceneState* state, const char* label,
                 const char* source) {
    int32_t result = sceneInit(sceneIndex, registry, state, label, source);
    if (sceneIndex == failAfterInitOf) memFailAllocations(failingAllocation, 1);
    return result;
}

void testActivate(int32_t sceneIndex, TrackRegistry* registry, int32_t program) {
    events.push_back({'a', sceneIndex});
    sceneActivate(sceneIndex, registry, program);
    renderTargets()->parameterHook = recordingHook;
}

int32_t testUpdate(int32_t sceneIndex, TrackRegistry* registry, float time, int32_t program) {
    events.push_back({'u', sceneIndex});
    return sceneUpdate(sceneIndex, registry, time, program);
}

void noSleep(uint32_t milliseconds) {
    sleeps.push_back(milliseconds);
}

class Scenes : public GlTest {
  protected:
    void SetUp() override {
        GlTest::SetUp();
        events.clear();
        sleeps.clear();
        failAfterInitOf = -1;
        failingAllocation = 0;
        platformServices()->sleepMs = noSleep;
        initRenderer(nullptr, kSize, kSize);
        liveBefore = memLiveBlocks();
        buildSceneTable(rows);
        for (int32_t i = 0; i < kSceneCount; ++i) {
            sources[i] = stubProgram(i + 1);
            rows[i].source = sources[i].c_str();
            rows[i].init = testInit;
            rows[i].activate = testActivate;
            rows[i].update = testUpdate;
        }
        setSceneTable(rows);
    }
    void TearDown() override {
        releaseScenes();
        memFailAllocations(0, 0);
        EXPECT_EQ(memLiveBlocks(), liveBefore);
        EXPECT_EQ(frameworkState()->table, nullptr);
        resetPlatformServices();
    }

    // The scene that drew the last frame and its integer parameters, read from the window.
    struct Pixel {
        int32_t textsection, shape, scene;
    };
    static Pixel drawn() {
        std::vector<uint8_t> p = readFramebuffer(0, 0, 1, 1);
        return {p[0], p[1], p[2]};
    }
    // Events since the last call.
    static std::vector<Event> take() {
        std::vector<Event> taken;
        taken.swap(events);
        return taken;
    }

    static constexpr int32_t kSize = 8;
    SceneDescriptor rows[kSceneCount]{};
    std::string sources[kSceneCount];
    int64_t liveBefore = 0;
};

} // namespace

TEST_F(Scenes, StartBuildsEverySceneRegistersFifteenTracksAndPausesOnce) {
    ASSERT_EQ(initScenes(), 1);
    EXPECT_EQ(sleeps, std::vector<uint32_t>{5000});
    FrameworkState* framework = frameworkState();
    EXPECT_EQ(framework->sceneCount, kSceneCount);
    EXPECT_EQ(framework->lastActivated, -1);
    EXPECT_EQ(framework->currentRegistry, &framework->registry);
    ASSERT_EQ(listCount(framework->sceneStates), kSceneCount);
    for (int32_t i = 0; i < kSceneCount; ++i) {
        listSeek(framework->sceneStates, i);
        const auto* state = static_cast<const SceneState*>(listGet(framework->sceneStates).pointer);
        EXPECT_GT(state->program, 0) << i;
        EXPECT_STREQ(state->source, sources[i].c_str());
        EXPECT_NE(state->source, rows[i].source);
        EXPECT_STREQ(state->name, rows[i].name);
    }
    // Eight scenes registered the fourteen names; "scene" came last.
    const TrackRegistry& registry = framework->registry;
    ASSERT_EQ(registry.count, 15);
    EXPECT_EQ(framework->parameters[13], registry.tracks[13]);
    EXPECT_EQ(framework->sceneSelector, registry.tracks[14]);
    EXPECT_EQ(rendererSettings()->colorAttachmentCount, 4);
    // Nothing released is left reachable.
    releaseScenes();
    EXPECT_EQ(framework->currentRegistry, nullptr);
    EXPECT_EQ(framework->sceneSelector, nullptr);
}

TEST_F(Scenes, ActivationHappensOncePerChangeOfScene) {
    ASSERT_EQ(initScenes(), 1);
    for (float t : {0.0f, 100.0f, 635.99f}) updateScenes(t);
    take();
    for (float t : {636.0f, 636.5f, 700.0f, 891.9f}) updateScenes(t);
    std::vector<Event> crossing = take();
    EXPECT_EQ(crossing[0], (Event{'a', 1}));
    EXPECT_EQ(std::count(crossing.begin(), crossing.end(), Event{'a', 1}), 1);
    EXPECT_EQ(std::count(crossing.begin(), crossing.end(), Event{'u', 1}), 4);
    EXPECT_EQ(drawn().scene, 2);
    // Going back to an earlier scene activates it again.
    updateScenes(10.0f);
    EXPECT_EQ(take(), (std::vector<Event>{{'a', 0}, {'u', 0}, {'h', 0}}));
    EXPECT_EQ(drawn().scene, 1);
    // The selector's schedule: scene k + 1 from its start tick.
    const float starts[kSceneCount] = {0, 636, 892, 1402, 1661, 1916, 2048, 2300};
    for (int32_t i = 1; i < kSceneCount; ++i) {
        EXPECT_EQ(sceneStartTick(i), starts[i]);
        updateScenes(starts[i] - 0.05f);
        take();
        updateScenes(starts[i]);
        EXPECT_EQ(take(), (std::vector<Event>{{'a', i}, {'u', i}, {'h', i}})) << starts[i];
        EXPECT_EQ(drawn().scene, i + 1);
    }
}

TEST_F(Scenes, SceneStateAllocationFailureStopsTheStart) {
    // After scene 4's init, scene 5's state (0) or its list entry (1) cannot be allocated.
    for (int32_t failing : {0, 1}) {
        SCOPED_TRACE(failing);
        failAfterInitOf = 3;
        failingAllocation = failing;
        EXPECT_EQ(initScenes(), 0);
        memFailAllocations(0, 0);
        EXPECT_EQ(listCount(frameworkState()->sceneStates), 4);
        EXPECT_EQ(frameworkState()->registry.count, kSceneParameterCount);
        EXPECT_TRUE(sleeps.empty());
        releaseScenes();
        EXPECT_EQ(memLiveBlocks(), liveBefore);
        setSceneTable(rows);
    }
}

TEST_F(Scenes, StartWithoutATableFailsAndReleasingTwiceIsHarmless) {
    setSceneTable(nullptr);
    EXPECT_EQ(initScenes(), 0);
    EXPECT_TRUE(events.empty());
    releaseScenes();
    EXPECT_EQ(frameworkState()->sceneStates, nullptr);
    EXPECT_EQ(frameworkState()->sceneCount, 0);
    // TearDown releases once more and counts the blocks.
}
