// VoicePool (type 3). Inputs: voice template (unbound; its index is read from the record),
// transpose (1.0 = 128 semitones), two more that are evaluated without effect. Parameter
// words: key range (read by the sequencer) and flags (voice limit).
#include "synth/units/voice_pool.h"

#include "base/audio_format.h"
#include "synth/evaluation_plan.h"
#include "synth/patch.h"
#include "synth/plan_steps.h"

namespace {

void removeFromActiveList(VoicePoolBuffer& pool, int32_t position) {
    int32_t last = --pool.activeCount;
    if (position != last) pool.activeList[position] = pool.activeList[last];
}

// Newest first; a note-off matching no sounding voice is dropped.
void releaseQueuedNotes(VoicePoolBuffer& pool, VoicePoolState& queues) {
    while (queues.offCount > 0) {
        int32_t note = queuedNote(queues.offQueue[--queues.offCount]);
        for (int32_t k = pool.activeCount - 1; k >= 0; --k) {
            VoiceSlot& slot = pool.slots[pool.activeList[k]];
            if (slot.note == note) {
                slot.note = -1;
                slot.gate = zeroStereo();
                break;
            }
        }
    }
}

// The first free slot from the top, else the oldest released voice, else the oldest held one.
int32_t chooseSlot(VoicePoolBuffer& pool, int32_t limit) {
    for (int32_t s = limit - 1; s >= 0; --s) {
        if (!pool.slots[s].root) {
            pool.activeList[pool.activeCount++] = s;
            return s;
        }
    }
    int32_t released = -1, held = -1;
    for (int32_t s = limit - 1; s >= 0; --s) {
        const VoiceSlot& slot = pool.slots[s];
        int32_t& oldest = slot.note < 0 ? released : held;
        if (oldest < 0 || slot.startSerial < pool.slots[oldest].startSerial) oldest = s;
    }
    int32_t stolen = released >= 0 ? released : held;
    releaseNode(pool.slots[stolen].root); // the slot keeps its place in the active list
    pool.slots[stolen].root = nullptr;
    return stolen;
}

void startQueuedNotes(UnitNode* node, VoicePoolBuffer& pool, VoicePoolState& queues) {
    SynthGraph& graph = synthGraph();
    int32_t limit = poolVoiceLimitOf(paramWord(node, 1));
    int32_t templateIndex = node->inputCount > 0 ? graph.patch[node->index + 1] : -1;
    if (queues.onCount > 0 && graph.poolsWithNoteOns > 0) --graph.poolsWithNoteOns;
    while (queues.onCount > 0) {
        uint32_t entry = queues.onQueue[--queues.onCount];
        int32_t note = queuedNote(entry);
        int32_t velocity = queuedVelocity(entry);
        int32_t s = chooseSlot(pool, limit);
        VoiceSlot& slot = pool.slots[s];
        slot.startSerial = graph.voiceStartCounter++;
        slot.note = note;
        slot.noteValue = stereo(note / 128.0);
        slot.velocity = stereo(velocity / 128.0);
        slot.baseIncrement = exp2Of(stereo(note - 69.0) * kOneTwelfth) * 440.0 / kAudioFrameRate;
        slot.trigger = stereo(1.0);
        slot.gate = stereo(1.0);
        slot.root = buildNode(templateIndex, kBuildVoice);
        if (!slot.root) {
            // No template could be built: the slot stays free.
            for (int32_t k = 0; k < pool.activeCount; ++k)
                if (pool.activeList[k] == s) {
                    removeFromActiveList(pool, k);
                    break;
                }
        }
    }
}

// Whether any voice sounds, as the pool's activity says it.
Stereo poolActivity(const VoicePoolBuffer& pool) {
    return stereo(pool.heldCount > 0 ? 1.0 : 0.0);
}

// Takes in the notes the sequencer queued and mixes the sounding voices. Kept out of line so
// that an idle pool's sample costs no more than its test.
[[gnu::noinline]] void mixVoices(UnitNode* node, VoicePoolBuffer& pool) {
    VoicePoolState& queues = unitState<VoicePoolState>(node);
    Stereo transpose = input(node, 1);

    if (pool.notesChanged) {
        int32_t held = 0;
        for (uint32_t serial : pool.held) held += serial != 0;
        pool.heldCount = held;
        pool.notesChanged = 0;
    }
    if (isControlStep()) {
        releaseQueuedNotes(pool, queues);
        startQueuedNotes(node, pool, queues);
        queues.pitchFactor = exp2Of(transpose * 128.0 * kOneTwelfth);
    }

    SynthGraph& graph = synthGraph();
    Stereo sum = zeroStereo();
    for (int32_t k = pool.activeCount - 1; k >= 0; --k) {
        VoiceSlot& slot = pool.slots[pool.activeList[k]];
        graph.currentVoice = &slot;
        slot.noteShifted = slot.noteValue + transpose;
        slot.increment = slot.baseIncrement * queues.pitchFactor;
        UnitNode* root = slot.root;
        evaluateVoice(root);
        sum += root->output;
        slot.trigger = zeroStereo();
        if (bothZero(root->activity)) {
            // The voice has ended; its memory stays valid until the sequencer tick is over.
            releaseNode(root);
            slot.root = nullptr;
            removeFromActiveList(pool, k);
        }
    }
    node->output = sum;
    node->activity = poolActivity(pool);
}

} // namespace

void computeVoicePool(UnitNode* node) {
    auto* pool = workBuffer<VoicePoolBuffer>(node);
    if (!pool) return;
    if (pool->activeCount == 0 && !pool->notesChanged && !isControlStep()) {
        // No voice sounds, and queued notes start only on a control step: the mix is silent.
        // About half the pools evaluated in a sample of the built-in song are idle.
        node->output = zeroStereo();
        node->activity = poolActivity(*pool);
        return;
    }
    mixVoices(node, *pool);
}
QUORLAX_PLAN_STEPS(computeVoicePool)
