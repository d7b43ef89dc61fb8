// Controller (type 29): a channel controller's latest value times its input. Parameter word:
// 128 * channel + controller number.
#include "synth/plan_steps.h"
#include "synth/sequencer.h"
#include "synth/unit.h"

namespace {

constexpr uint16_t kControllerSlots = 16 * kControllerCount;

} // namespace

// No stamp and no tick of its input: the input is a constant whose value it reads as it stands.
// A word past the table reads as a silent controller rather than beyond it.
void tickController(UnitNode* node) {
    const uint16_t index = paramWord(node);
    if (index >= kControllerSlots) {
        node->output = zeroStereo();
        return;
    }
    node->output = controllerTable().values[index >> 7][index & 127] * input(node, 0);
}
QUORLAX_PLAN_STEPS(tickController)
