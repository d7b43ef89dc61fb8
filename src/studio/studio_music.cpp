#include "studio/studio_music.h"

#include "platform/audio_device.h"
#include "studio/studio_mixer.h"
#include "synth/clock.h"
#include "synth/render_thread.h"
#include "synth/sequencer.h"
#include "synth/song.h"
#include "synth/synth.h"

#include <cstdio>
#include <memory>

namespace {

// One song with its render: the sources stay here while the render thread prepares from them.
struct SongRender {
    std::vector<uint8_t> song;
    std::vector<uint16_t> patch;
    SongOutput output;
    std::string fingerprint;

    ~SongRender() { releaseSongBuffer(&output); }
    MixSource source() const {
        const bool sized = output.renderState.load(std::memory_order_acquire) != kRenderNotStarted;
        return sized ? MixSource{output.frames, output.songFrames, &output.renderedFrames} : MixSource{};
    }
};

// Played ahead of the playhead before playing starts, so the render does not run dry at once.
constexpr uint32_t kReadyLeadFrames = kAudioFrameRate / 2;

struct StudioMusic {
    StudioMixer mixer;
    bool deviceOpen = false;
    std::unique_ptr<SongRender> current, pending, retired;
    // The wall clock stands in for the device: the frame and the time of the last seek.
    uint64_t seekFrame = 0, seekMicroseconds = 0;
    bool playing = false;
};

StudioMusic music;

void fillFromMixer(void* context, float* out, uint32_t frames, uint64_t cursor) {
    mixFrames(static_cast<StudioMixer*>(context), out, frames, cursor);
}

// On the render thread, before its loop: the synthesizer and the buffer for this song.
int prepareSongRender(void* context, SongOutput* target) {
    auto* render = static_cast<SongRender*>(context);
    if (!prepareSynth(render->song.data(), render->song.size(), render->patch.data())) return 0;
    const SongHeader& header = sequencer().song.header;
    const uint32_t length = header.lengthSamples > 0 ? uint32_t(header.lengthSamples) : 0;
    const uint32_t grid = header.samplesPerTick > 0 ? uint32_t(header.samplesPerTick) : 0;
    if (!allocateSongBuffer(target, length, grid)) return 0;
    // The buffer is sized: what the main thread may now read.
    target->renderState.store(kRendering, std::memory_order_release);
    return 1;
}

// FNV-1a over the song and the patch: the same sources give the same text.
std::string fingerprintOf(const std::vector<uint8_t>& song, const std::vector<uint16_t>& patch) {
    uint32_t hash = 2166136261u;
    for (uint8_t byte : song) hash = (hash ^ byte) * 16777619u;
    for (uint16_t word : patch) hash = ((hash ^ (word & 0xFF)) * 16777619u ^ (word >> 8)) * 16777619u;
    char text[16];
    std::snprintf(text, sizeof text, "%08x", hash);
    return text;
}

bool renderedUpTo(const SongRender* render, uint32_t frame) {
    if (!render || render->output.renderState.load(std::memory_order_acquire) == kRenderNotStarted)
        return false;
    if (render->output.renderState.load(std::memory_order_acquire) == kRenderFinished) return true;
    return render->output.renderedFrames.load(std::memory_order_acquire) > frame;
}

} // namespace

bool openStudioSound() {
    const AudioStream stream = {nullptr, 0, nullptr, nullptr, &music.mixer, fillFromMixer};
    music.deviceOpen = audioDeviceServices()->openDevice(&stream) != 0;
    if (music.deviceOpen) audioDeviceServices()->startDevice();
    return music.deviceOpen;
}

void closeStudioSound() {
    if (music.deviceOpen) audioDeviceServices()->closeDevice();
    music.deviceOpen = false;
}

void renderStudioSong(const std::vector<uint8_t>& song, const std::vector<uint16_t>& patch) {
    // The synthesizer is one: the render under way stops where it is (its buffer keeps what it has).
    stopRenderThread();
    auto render = std::make_unique<SongRender>();
    render->song = song;
    render->patch = patch;
    render->fingerprint = fingerprintOf(song, patch);
    music.pending = std::move(render);
    if (!startRenderThreadFor(&music.pending->output, prepareSongRender, music.pending.get()))
        std::fputs("quorlax-studio: the music cannot be rendered (no thread)\n", stderr);
}

void seekStudioMusic(uint32_t frame, bool playing) {
    mixerSeek(&music.mixer, frame, playing);
    music.seekFrame = frame;
    music.seekMicroseconds = audioDeviceServices()->nowMicroseconds();
    music.playing = playing;
}

uint32_t studioMusicFrame() {
    if (!music.playing) return uint32_t(music.seekFrame);
    uint64_t frame = music.seekFrame;
    if (music.deviceOpen) {
        mixerPlayhead(&music.mixer, audioDeviceServices()->devicePosition(), &frame);
    } else {
        const uint64_t elapsed = audioDeviceServices()->nowMicroseconds() - music.seekMicroseconds;
        frame = music.seekFrame + elapsed * kAudioFrameRate / 1000000u;
    }
    return frame > UINT32_MAX ? UINT32_MAX : uint32_t(frame);
}

uint32_t studioSongFrames() {
    const SongRender* render = music.current ? music.current.get() : music.pending.get();
    return render ? render->source().frameCount : 0;
}

bool studioMusicReady(uint32_t frame) {
    const SongRender* render = music.current.get();
    if (!render) return false;
    const uint32_t length = render->source().frameCount;
    const uint32_t lead =
        frame + kReadyLeadFrames < length ? frame + kReadyLeadFrames : (length ? length - 1 : 0);
    return renderedUpTo(render, lead);
}

bool updateStudioMusic(uint32_t frame) {
    if (music.retired && !mixerFading(&music.mixer)) music.retired.reset();
    if (!music.pending || !renderedUpTo(music.pending.get(), frame + kReadyLeadFrames / 4)) return false;
    // A failed render (a song the synthesizer refuses) keeps the old music.
    if (!music.pending->output.frames) {
        music.pending.reset();
        return false;
    }
    const bool heard = music.current && renderedUpTo(music.current.get(), frame);
    mixerSwitch(&music.mixer, music.pending->source(), heard ? kMixerFadeFrames : 0);
    // The mixer reads the replaced buffer only while it fades out; one replaced earlier is no
    // longer read at all once the switch has returned.
    music.retired = std::move(music.current);
    music.current = std::move(music.pending);
    // The ticks follow the song that plays: a new tempo or length takes over with it.
    SongHeader header;
    if (readSongHeader(music.current->song.data(), music.current->song.size(), &header))
        configureClock(header);
    return true;
}

std::string studioMusicFingerprint() {
    return music.current ? music.current->fingerprint : std::string();
}

void releaseStudioMusic() {
    closeStudioSound();
    stopRenderThread();
    mixerSwitch(&music.mixer, {}, 0);
    music.current.reset();
    music.pending.reset();
    music.retired.reset();
    releaseSynth();
}
