// The synthesizer's start-up, offline rendering and take-down.
#pragma once

#include <cstddef>
#include <cstdint>

// Start-up of the whole synthesizer: shared arithmetic, node table and stamps, SampleCounter,
// the song's streams, the constant nodes, the shared graph below node 0, the sample bank.
// The song and patch (kPatchWordCount words) are copied. A synthesizer prepared before is
// released first. 1 on success, 0 when the song has no header or memory runs out.
int32_t prepareSynth(const uint8_t* song, size_t songBytes, const uint16_t* patch);
// Frees everything the synthesizer holds and returns it to its process-start state.
void releaseSynth();

// The render loop in steps: beginRender loads the tempo and grid from the song and rewinds the
// streams; each renderTick runs one sequencer tick (the due events, then samplesPerTick frames
// of node 0 as interleaved left/right floats into `out`, then the deferred frees) and returns
// the frames written. The caller holds a FloatModeGuard around both.
void beginRender();
uint32_t renderTick(float* out);
// Frames one renderTick writes (at least 1).
uint32_t renderTickFrames();
// Sample position of the next tick.
uint32_t renderPosition();

// The offline rendering entry: prepares the synthesizer with the song and patch and renders
// `frameCount` frames (interleaved f32 stereo, 8 bytes a frame) into `out` on the calling
// thread, under the synthesizer's float mode, in whole sequencer ticks exactly as the render
// thread does; frames of the last tick beyond frameCount are computed and dropped. The song's
// stated length is not applied: the caller chooses frameCount. The synthesizer stays prepared
// afterwards (releaseSynth frees it). 1 on success; 0 with `out` zeroed when preparation fails.
int32_t renderSong(const uint8_t* song, size_t songBytes, const uint16_t* patch, float* out,
                   uint32_t frameCount);
