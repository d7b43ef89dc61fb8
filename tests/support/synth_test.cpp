#include "support/synth_test.h"

#include "base/memory.h"
#include "platform/platform.h"
#include "synth/float_mode.h"
#include "synth/synth.h"

void SynthTest::SetUp() {
    platformServices()->readSoundBank = [](size_t, size_t* size) -> void* {
        *size = 0;
        return nullptr;
    };
    blocksBefore = memLiveBlocks();
}

void SynthTest::TearDown() {
    releaseSynth();
    resetPlatformServices();
    EXPECT_EQ(memLiveBlocks(), blocksBefore) << "the synthesizer did not give back all it took";
}

void SynthTest::prepare(const SongBuilder& song, const PatchBuilder& patch) {
    built = patch;
    songBytes = song.bytes();
    patchWords = patch.words();
    ASSERT_EQ(prepareSynth(songBytes.data(), songBytes.size(), patchWords.data()), 1);
    beginRender();
}

std::vector<float> SynthTest::render(uint32_t frames) {
    FloatModeGuard mode;
    std::vector<float> out(2 * static_cast<size_t>(frames));
    std::vector<float> tick(2 * static_cast<size_t>(renderTickFrames()));
    uint32_t done = 0;
    while (done < frames) {
        uint32_t made = renderTick(tick.data());
        uint32_t kept = frames - done < made ? frames - done : made;
        std::copy(tick.begin(), tick.begin() + 2 * kept, out.begin() + 2 * done);
        done += kept;
    }
    return out;
}

UnitNode* SynthTest::node(const std::string& name) const {
    int32_t index = built.indexOf(name);
    return index >= 0 ? synthGraph().nodeTable[index] : nullptr;
}
