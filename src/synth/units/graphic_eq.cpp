// GraphicEq (type 37): ten octave band-passes of 0.75 times the input, each scaled by its own
// level control. There is no dry path.
#include "synth/plan_steps.h"
#include "synth/unit.h"
#include "synth/units/mappings.h"

#include <bit>

namespace {

constexpr int32_t kBandCount = 10;

// One band-pass: y = c1 (x - x[-2]) + c2 y[-1] - c0 y[-2], coefficients kept as f32 bits.
struct EqBand {
    uint32_t c0;
    uint32_t c1; // (1 - c0) / 2
    uint32_t c2;
};

// Row b is scaled by input 10 - b: highest band first.
constexpr EqBand kBands[kBandCount] = {
    {0x3E77C9E0, 0x3EC20D80, 0xBF4EF6A0}, // 16 kHz:    0.24198103, 0.37900925, -0.80845070
    {0x3EE5ACC0, 0x3E8D29A0, 0x3F1AECC0}, // 8 kHz:     0.44858360, 0.27570820, 0.60517502
    {0x3F2B1CA0, 0x3E29C6C0, 0x3FB3CDD0}, // 4 kHz:     0.66840553, 0.16579723, 1.40471840
    {0x3F514890, 0x3DBADDB0, 0x3FDF42B0}, // 2 kHz:     0.81751347, 0.09124315, 1.74422264
    {0x3F677740, 0x3D444620, 0x3FF14360}, // 1 kHz:     0.90416336, 0.04791844, 1.88486862
    {0x3F736C80, 0x3CC93770, 0x3FF91420}, // 500 Hz:    0.95087433, 0.02456257, 1.94592667
    {0x3F79A200, 0x3C4BC020, 0x3FFCA7F0}, // 250 Hz:    0.97512817, 0.01243594, 1.97387505
    {0x3F7CCBD0, 0x3BCD0880, 0x3FFE5B90}, // 125 Hz:    0.98748493, 0.00625712, 1.98716927
    {0x3F7E67E0, 0x3B4C09E0, 0x3FFF3160}, // 62.5 Hz:   0.99377251, 0.00311338, 1.99369431
    {0x3F7F33A0, 0x3ACC5B70, 0x3FFF9930}, // 31.25 Hz:  0.99688148, 0.00155912, 1.99686241
};

double coefficient(uint32_t bits) {
    return std::bit_cast<float>(bits);
}

struct GraphicEqState {
    Stereo gain[kBandCount]; // by row
};

// The filter memories live at the start of the work buffer.
struct BandMemory {
    Stereo x1, x2, y1, y2;
};

} // namespace

void computeGraphicEq(UnitNode* node) {
    GraphicEqState& state = unitState<GraphicEqState>(node);
    if (isControlStep())
        for (int32_t row = 0; row < kBandCount; ++row)
            state.gain[row] = levelCurve(input(node, kBandCount - row));

    BandMemory* memory = workBuffer<BandMemory>(node);
    if (!memory) { // the allocation failed: no band can run
        node->output = zeroStereo();
        return;
    }
    Stereo x = 0.75 * input(node, 0);
    Stereo sum = zeroStereo();
    for (int32_t row = 0; row < kBandCount; ++row) {
        const EqBand& band = kBands[row];
        BandMemory& m = memory[row];
        Stereo y =
            coefficient(band.c1) * (x - m.x2) + coefficient(band.c2) * m.y1 - coefficient(band.c0) * m.y2;
        m.x2 = m.x1;
        m.x1 = x;
        m.y2 = m.y1;
        m.y1 = y;
        sum += y * state.gain[row];
    }
    node->output = sum;
}
QUORLAX_PLAN_STEPS(computeGraphicEq)
