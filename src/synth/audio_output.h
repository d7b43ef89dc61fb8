// Audio output: the device plays the song buffer while the render thread fills it; its play
// position is the presentation's clock, and a watch reports how close it came to the rendering.
#pragma once

#include <atomic>
#include <cstdint>

// How close the play cursor came to the frames already rendered. Updated from the device's thread
// (or from position queries when the clock runs on the wall clock) while rendering is under way.
struct PlaybackWatch {
    // Times the cursor was found past the rendered frames: the device played a hole.
    std::atomic<uint32_t> underruns;
    // The smallest count of rendered frames ahead of the cursor seen (negative after an underrun);
    // kNoLeadSeen until the cursor is seen while rendering is under way.
    std::atomic<int64_t> minimumLead;
};

constexpr int64_t kNoLeadSeen = INT64_MAX;

void resetPlaybackWatch(PlaybackWatch* watch);
// Records one sighting of the cursor (frames played or taken for playing, counted from the start)
// against the frames rendered so far. Once all `songFrames` are rendered there is nothing to watch.
void observePlayCursor(PlaybackWatch* watch, uint64_t cursor, uint32_t renderedFrames, uint32_t songFrames);

// Opens the audio device for the song buffer (songOutput()); 1 on success, 0 when no device opens.
int openAudio();
// Starts playing the song buffer from its first frame. Without an open device the clock runs from
// the wall clock, started here, so the show still moves in real time.
void startPlayback();
// Stops and closes the device. The render thread is left running.
void stopAudio();
// Frames played since startPlayback (0 before it and after stopAudio).
uint32_t audioPlayPosition();
// 1 while a device is open (the clock then comes from it), 0 while the clock runs on the wall clock.
int audioDeviceOpen();

// The watch over the song's playback, for the shell and the tools to report.
PlaybackWatch* playbackWatch();
uint32_t audioUnderruns();
int64_t audioMinimumLead();
