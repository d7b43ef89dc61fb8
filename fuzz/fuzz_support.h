// Support shared by the fuzz targets: reading fields off the input, a synthesizer that reads no
// files, and a leak check on the core's own heap.
//
// The targets, one file each (fuzz/<name>_fuzz.cpp builds fuzz_<name>):
//   sample_bank  the sound-bank scan over arbitrary bytes
//   song         song header, event decoding and sequencer ticks over arbitrary song bytes
//   patch        prepareSynth and a few hundred samples over arbitrary patch words
//   include      the include expansion over arbitrary shader texts
//   track        evaluateTrack over arbitrary keys and times
//   track_source the track compiler over arbitrary track files
//   song_source  the song compiler over arbitrary patch and song source texts
//   midi_import  the MIDI import over arbitrary file bytes
//   sync_stream  the studio's link to a sync editor over an arbitrary stream from the editor
//
// Adding a target:
//  1. Write fuzz/<name>_fuzz.cpp with LLVMFuzzerTestOneInput; open it with a comment giving the
//     input's layout, and end every input with everything released (checkNoLiveBlocks).
//  2. Teach fuzz/seed_corpus.cpp to write a few real inputs into <dir>/<name>/, or have
//     scripts/fuzz copy them there; a fuzz/<name>.dict is picked up when present, and so is a
//     fuzz/<name>.options of more libFuzzer flags (song_source caps its inputs at 16 KiB: the
//     whole music sources as seeds would make every run take tens of milliseconds).
//  3. scripts/fuzz runs every fuzz_* executable it finds; nothing else needs listing.
//  4. An input a run found, once fixed, goes into fuzz/regressions/<name>/ under a name saying
//     what it found: scripts/fuzz runs those first, and seeds the run with them.
#pragma once

#include "base/memory.h"
#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The input as a cursor; reads past the end yield zeros, so every input is a valid layout.
struct FuzzInput {
    const uint8_t* at;
    size_t left;

    void take(void* to, size_t bytes) {
        size_t have = bytes < left ? bytes : left;
        std::memcpy(to, at, have);
        std::memset(static_cast<uint8_t*>(to) + have, 0, bytes - have);
        at += have;
        left -= have;
    }
    template <typename T>
    T next() {
        T value;
        take(&value, sizeof value);
        return value;
    }
};

// The sound bank stays empty: fuzzing must not depend on which files the machine holds.
inline void* noSoundBank(size_t, size_t* size) {
    *size = 0;
    return nullptr;
}
inline void useNoSoundBank() {
    platformServices()->readSoundBank = noSoundBank;
}

// Everything an input made must be gone once it is released; a block left over is a leak that
// LeakSanitizer cannot see while a global still points at it.
inline void checkNoLiveBlocks(int64_t before, const char* what) {
    if (memLiveBlocks() == before) return;
    std::fprintf(stderr, "%s left %lld heap blocks behind\n", what,
                 static_cast<long long>(memLiveBlocks() - before));
    std::abort();
}
