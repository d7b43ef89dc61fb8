#include "synth/sequencer.h"

#include "base/memory.h"
#include "synth/graph.h"
#include "synth/patch.h"
#include "synth/unit.h"
#include "synth/unit_table.h"
#include "synth/units/channel_output.h"
#include "synth/units/voice_pool.h"

#include <cstring>

Sequencer gSequencer;

namespace {

UnitNode* routingNode(int32_t channel) {
    const SynthGraph& graph = synthGraph();
    int32_t index = kFirstRoutingIndex;
    for (int32_t c = 0; c < channel && index < kFirstConstantIndex; ++c)
        index += 1 + recordInputCount(graph.patch[index]);
    return index < kFirstConstantIndex ? graph.nodeTable[index] : nullptr;
}

// Queues a note at a pool. A queue that is full for this tick drops the event.
void queueAtPool(UnitNode* pool, int32_t note, int32_t velocity, bool isNoteOn) {
    auto* buffer = workBuffer<VoicePoolBuffer>(pool);
    auto& queues = unitState<VoicePoolState>(pool);
    const uint32_t entry = packQueuedNote(note, velocity);
    if (isNoteOn) {
        if (queues.onCount >= kNoteOnQueueRoom) return;
        if (queues.onCount == 0) ++synthGraph().poolsWithNoteOns; // voices start at its next control step
        buffer->held[note] = ++gSequencer.noteSerial;
        queues.onQueue[queues.onCount++] = entry;
    } else {
        if (queues.offCount >= kNoteOffQueueRoom) return;
        buffer->held[note] = 0;
        queues.offQueue[queues.offCount++] = entry;
    }
    buffer->notesChanged = 1;
}

} // namespace

int32_t loadSequencerSong(const uint8_t* bytes, size_t size) {
    Sequencer& seq = gSequencer;
    if (!decodeSong(bytes, size, &seq.song)) return 0;
    uint32_t streams = seq.song.streamCount > 0 ? seq.song.streamCount : 1;
    seq.readIndex = static_cast<uint32_t*>(memAlloc(streams * sizeof(uint32_t)));
    seq.dueSample = static_cast<uint32_t*>(memAlloc(streams * sizeof(uint32_t)));
    if (!seq.readIndex || !seq.dueSample) {
        releaseSequencer();
        return 0;
    }
    resetSequencerStreams();
    return 1;
}

void releaseSequencer() {
    Sequencer& seq = gSequencer;
    releaseDecodedSong(&seq.song);
    memFree(seq.readIndex);
    memFree(seq.dueSample);
    std::memset(static_cast<void*>(&seq), 0, sizeof seq);
}

void resetSequencerStreams() {
    Sequencer& seq = gSequencer;
    if (!seq.readIndex) return;
    for (uint32_t s = 0; s < seq.song.streamCount; ++s) {
        seq.readIndex[s] = 0;
        seq.dueSample[s] = 0xFFFFFFFFu;
    }
}

void sequencerStep(uint32_t now) {
    Sequencer& seq = gSequencer;
    if (!seq.song.streams) return;
    const uint32_t samplesPerTick = static_cast<uint32_t>(synthGraph().samplesPerTick);
    const uint8_t* cursor = seq.song.streams;
    for (uint32_t s = 0;; ++s) {
        uint32_t word = readStreamWord(cursor);
        if (word == kEndOfStreams) return;
        cursor += 4;
        uint32_t count = streamEventCount(word);
        int32_t kind = streamKind(word);
        int32_t channel = streamChannel(word);
        uint32_t i = seq.readIndex[s];
        if (i < count) {
            if (seq.dueSample[s] == 0xFFFFFFFFu)
                seq.dueSample[s] = eventTick(cursor, count, i) * samplesPerTick;
            while (seq.dueSample[s] <= now) {
                uint8_t value = eventValue(cursor, count, i);
                if (kind == kControllerStream)
                    controllerEvent(channel, value, streamController(word));
                else if (kind == kNoteOnStream)
                    noteEvent(channel, value, eventVelocity(cursor, count, i), true);
                else
                    noteEvent(channel, value, 0, false);
                seq.readIndex[s] = ++i;
                if (i >= count) break;
                seq.dueSample[s] = eventTick(cursor, count, i) * samplesPerTick;
            }
        }
        cursor += streamBytes(word) - 4;
    }
}

void noteEvent(int32_t channel, int32_t note, int32_t velocity, bool isNoteOn) {
    const SynthGraph& graph = synthGraph();
    if (!graph.nodeTable || channel < 0 || channel >= kChannelCount) return;
    UnitNode* output = graph.nodeTable[channelOutputIndex(channel)];
    if (output && output->type == static_cast<int32_t>(UnitType::ChannelOutput)) wakeChannelOutput(output);

    // Pools keep one held-note entry per MIDI note; higher note numbers only wake the channel.
    if (note < 0 || note >= kMidiNoteCount) return;
    UnitNode* route = routingNode(channel);
    if (!route) return;
    // With overlapping key ranges the pool listed last wins.
    for (int32_t k = route->inputCount - 1; k >= 0; --k) {
        UnitNode* pool = route->inputs[k];
        if (!pool || pool->type != static_cast<int32_t>(UnitType::VoicePool) || !pool->buffer) continue;
        uint16_t range = paramWord(pool, 0);
        if ((range & 0xFF) <= note && note <= (range >> 8)) {
            queueAtPool(pool, note, velocity, isNoteOn);
            return;
        }
    }
}

void controllerEvent(int32_t channel, int32_t value, int32_t controller) {
    // Numbers past 127 have no entry in the channel's row.
    if (channel < 0 || channel >= kChannelCount || controller < 0 || controller >= kControllerCount) return;
    Sequencer& seq = gSequencer;
    int32_t v = controller == 0 ? value - 128 : value; // controller 0 is signed around 128
    if (controller >= kFirstGateController) {
        int32_t& gate = seq.gates[channel][controller - kFirstGateController];
        int32_t note = controller - 52;
        if (gate != 0) noteEvent(channel, note, v, false);
        if (v != 0) noteEvent(channel, note, v, true);
        gate = v;
    }
    seq.controllers.values[channel][controller] = stereo(v / 128.0);
}
