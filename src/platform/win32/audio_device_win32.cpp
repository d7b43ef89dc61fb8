// The audio device on Windows: one waveOut device playing the whole stream buffer as a single
// looping block. The device reads the buffer while its producer is still writing it; the producer
// stays ahead and the frames not yet written are the buffer's zeros, so nothing else is needed.
#include "platform/audio_device.h"

// windows.h first: the multimedia headers build on its types.
#include <windows.h>

#include <mmreg.h>
#include <mmsystem.h>

namespace {

// 32-bit float stereo at 44,100 Hz.
constexpr WAVEFORMATEX kFormat = {
    WAVE_FORMAT_IEEE_FLOAT,
    kAudioChannels,
    kAudioFrameRate,
    kAudioFrameRate* kAudioChannels * 4,
    kAudioChannels * 4,
    32,
    0,
};

struct WaveOut {
    HWAVEOUT device;
    WAVEHDR header;
    AudioStream stream;
    int started;
};

WaveOut audio;

uint64_t win32NowMicroseconds() {
    static const int64_t frequency = [] {
        LARGE_INTEGER value{};
        QueryPerformanceFrequency(&value);
        return value.QuadPart > 0 ? value.QuadPart : 1;
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    const auto ticks = static_cast<uint64_t>(now.QuadPart);
    const auto perSecond = static_cast<uint64_t>(frequency);
    return ticks / perSecond * 1000000u + ticks % perSecond * 1000000u / perSecond;
}

int win32OpenDevice(const AudioStream* stream) {
    if (audio.device) return 0;
    // waveOut takes a block of at most 4 GiB - 1 bytes; an empty stream has nothing to play.
    if (!stream->frames || stream->frameCount == 0 ||
        uint64_t(stream->frameCount) * kFormat.nBlockAlign > 0xFFFFFFFFu)
        return 0;
    audio = {};
    audio.stream = *stream;
    if (waveOutOpen(&audio.device, WAVE_MAPPER, &kFormat, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        audio = {};
        return 0;
    }
    // The whole buffer as one block, repeated until the device is reset.
    audio.header.lpData = reinterpret_cast<LPSTR>(const_cast<float*>(stream->frames));
    audio.header.dwBufferLength = stream->frameCount * kFormat.nBlockAlign;
    audio.header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    audio.header.dwLoops = 0xFFFFFFFFu;
    if (waveOutPrepareHeader(audio.device, &audio.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        waveOutClose(audio.device);
        audio = {};
        return 0;
    }
    return 1;
}

void win32StartDevice() {
    if (!audio.device || audio.started) return;
    audio.started = waveOutWrite(audio.device, &audio.header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
}

void win32CloseDevice() {
    if (!audio.device) return;
    waveOutReset(audio.device);
    waveOutUnprepareHeader(audio.device, &audio.header, sizeof(WAVEHDR));
    waveOutClose(audio.device);
    audio = {};
}

// The position in samples (frames); a driver that cannot count samples answers in bytes. waveOut
// has no callback that says when it takes frames, so the position queries report the cursor.
int64_t win32DevicePosition() {
    if (!audio.device) return -1;
    MMTIME time{};
    time.wType = TIME_SAMPLES;
    if (waveOutGetPosition(audio.device, &time, sizeof time) != MMSYSERR_NOERROR) return 0;
    uint64_t frames = 0;
    if (time.wType == TIME_SAMPLES)
        frames = time.u.sample;
    else if (time.wType == TIME_BYTES)
        frames = time.u.cb / kFormat.nBlockAlign;
    if (audio.stream.onCursor) audio.stream.onCursor(audio.stream.context, frames);
    return static_cast<int64_t>(frames);
}

constexpr AudioDeviceServices kWin32Audio = {
    win32OpenDevice, win32StartDevice, win32CloseDevice, win32DevicePosition, win32NowMicroseconds,
};

AudioDeviceServices services = kWin32Audio;

} // namespace

AudioDeviceServices* audioDeviceServices() {
    return &services;
}

void resetAudioDeviceServices() {
    services = kWin32Audio;
}
