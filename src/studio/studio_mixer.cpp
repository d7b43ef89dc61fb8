#include "studio/studio_mixer.h"

#include <algorithm>

namespace {

// The source's frame, or silence where it has none yet.
void readFrame(const MixSource& source, uint64_t frame, float* left, float* right) {
    const uint32_t ready = source.ready ? source.ready->load(std::memory_order_acquire) : source.frameCount;
    if (!source.frames || frame >= std::min(ready, source.frameCount)) {
        *left = *right = 0.0f;
        return;
    }
    *left = source.frames[frame * 2];
    *right = source.frames[frame * 2 + 1];
}

} // namespace

void mixFrames(StudioMixer* mixer, float* out, uint32_t frames, uint64_t cursor) {
    std::lock_guard<std::mutex> hold(mixer->lock);
    mixer->chunkCursor = cursor;
    mixer->chunkFrame = mixer->position;
    mixer->chunkFrames = frames;
    mixer->chunkPlaying = mixer->playing;
    mixer->chunkGeneration = mixer->generation;
    if (!mixer->playing) {
        std::fill(out, out + size_t(frames) * 2, 0.0f);
        return;
    }
    for (uint32_t i = 0; i < frames; ++i) {
        float left = 0.0f, right = 0.0f;
        readFrame(mixer->current, mixer->position, &left, &right);
        if (mixer->fadeDone < mixer->fadeLength) {
            float oldLeft = 0.0f, oldRight = 0.0f;
            readFrame(mixer->fading, mixer->position, &oldLeft, &oldRight);
            const float in = (float(mixer->fadeDone) + 0.5f) / float(mixer->fadeLength);
            left = left * in + oldLeft * (1.0f - in);
            right = right * in + oldRight * (1.0f - in);
            if (++mixer->fadeDone == mixer->fadeLength) mixer->fading = {};
        }
        out[2 * i] = left;
        out[2 * i + 1] = right;
        ++mixer->position;
    }
}

void mixerSeek(StudioMixer* mixer, uint64_t frame, bool playing) {
    std::lock_guard<std::mutex> hold(mixer->lock);
    mixer->position = frame;
    mixer->playing = playing;
    ++mixer->generation;
}

void mixerSwitch(StudioMixer* mixer, MixSource next, uint32_t fadeFrames) {
    std::lock_guard<std::mutex> hold(mixer->lock);
    mixer->fading = fadeFrames > 0 ? mixer->current : MixSource{};
    mixer->fadeDone = 0;
    mixer->fadeLength = fadeFrames;
    mixer->current = next;
}

bool mixerFading(StudioMixer* mixer) {
    std::lock_guard<std::mutex> hold(mixer->lock);
    return mixer->fading.frames != nullptr;
}

bool mixerPlayhead(StudioMixer* mixer, int64_t devicePosition, uint64_t* frame) {
    std::lock_guard<std::mutex> hold(mixer->lock);
    if (mixer->chunkGeneration != mixer->generation || !mixer->chunkPlaying) return false;
    const int64_t into = devicePosition - int64_t(mixer->chunkCursor);
    *frame = mixer->chunkFrame + uint64_t(std::clamp<int64_t>(into, 0, mixer->chunkFrames));
    return true;
}
