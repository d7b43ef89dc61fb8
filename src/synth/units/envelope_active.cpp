// EnvelopeActive (type 27): 1.0 in the lanes where its input, an envelope, still sounds. It
// reports the same as its own activity, so a voice can end on it.
#include "synth/plan_steps.h"
#include "synth/unit.h"

void computeEnvelopeActive(UnitNode* node) {
    const UnitNode* source = node->inputs[0];
    const Stereo sounding = source ? notEqual(source->activity, zeroStereo()) : zeroStereo();
    node->output = maskToOne(sounding);
    node->activity = node->output;
}
QUORLAX_PLAN_STEPS(computeEnvelopeActive)
