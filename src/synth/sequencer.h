// The sequencer: delivers the song's due note and controller events at every sequencer tick.
#pragma once

#include "synth/song.h"
#include "synth/stereo.h"

#include <cstdint>

// The last value of every controller of every channel, divided by 128, in both lanes.
struct ControllerTable {
    Stereo values[16][128];
};

struct Sequencer {
    DecodedSong song;
    uint32_t* readIndex; // per stream: events already delivered
    uint32_t* dueSample; // per stream: sample of the next event, 0xFFFFFFFF before it is known
    ControllerTable controllers;
    int32_t gates[16][16]; // velocity of the note each controller 112-127 holds, 0 for none
    uint32_t noteSerial;   // note-ons so far; the first one gets 1
};

extern Sequencer gSequencer;
inline Sequencer& sequencer() {
    return gSequencer;
}
inline const ControllerTable& controllerTable() {
    return gSequencer.controllers;
}

// Decodes the song and sizes the per-stream state. 0 on failure.
int32_t loadSequencerSong(const uint8_t* bytes, size_t size);
// Frees the song and stream state and clears the controller and gate tables and the serial.
void releaseSequencer();
// Every stream back to its first event (done when rendering starts).
void resetSequencerStreams();

// Delivers every event due at or before sample `now`, stream by stream in storage order.
void sequencerStep(uint32_t now);
// Wakes the channel's output and queues the note at the last of the channel's pools whose key
// range holds it.
void noteEvent(int32_t channel, int32_t note, int32_t velocity, bool isNoteOn);
// Stores a controller value; controllers 112-127 also play notes 60-75.
void controllerEvent(int32_t channel, int32_t value, int32_t controller);

inline constexpr int32_t kControllerCount = 128;
inline constexpr int32_t kFirstGateController = 112;
