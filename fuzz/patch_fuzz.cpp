// prepareSynth and a few hundred samples over arbitrary patch words. Input: the kPatchWordCount
// words (little-endian, missing ones 0), then a note script of three bytes per event:
//   byte 0: bits 0-3 channel, bit 4 note-on, bit 5 controller instead of note, bits 6-7 ticks
//           to render before the event; byte 1: note or controller number; byte 2: velocity or
//           value.
// The built-in song supplies the header and streams. Many note-ons in one tick overflow the
// pools' queues; records may state any input count, index, type, stage or section count.
#include "fuzz/fuzz_support.h"
#include "synth/builtin_song.h"
#include "synth/float_mode.h"
#include "synth/patch.h"
#include "synth/sequencer.h"
#include "synth/synth.h"

namespace {

constexpr uint32_t kMaxTicks = 8; // 512 samples at the song's 64 per tick
constexpr size_t kMaxEvents = 256;

uint16_t patch[kPatchWordCount];
float out[2 * 4096];

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    useNoSoundBank();
    FuzzInput input{data, size};
    input.take(patch, sizeof patch);
    const int64_t before = memLiveBlocks();
    size_t songBytes = 0;
    const uint8_t* song = builtinSongBytes(&songBytes);
    if (prepareSynth(song, songBytes, patch)) {
        FloatModeGuard mode;
        beginRender();
        if (renderTickFrames() > sizeof out / sizeof out[0] / 2) std::abort(); // the song changed
        uint32_t ticks = 0;
        for (size_t e = 0; e < kMaxEvents && input.left > 0 && ticks < kMaxTicks; ++e) {
            const auto control = input.next<uint8_t>();
            const auto number = input.next<uint8_t>();
            const auto value = input.next<uint8_t>();
            for (int32_t t = control >> 6; t > 0 && ticks < kMaxTicks; --t, ++ticks) renderTick(out);
            if (control & 0x20)
                controllerEvent(control & 15, value, number);
            else
                noteEvent(control & 15, number, value, (control & 0x10) != 0);
        }
        for (; ticks < kMaxTicks; ++ticks) renderTick(out);
    }
    releaseSynth();
    checkNoLiveBlocks(before, "the patch");
    return 0;
}
