#include "synth/synth_math.h"

NoiseState gNoiseState = {{1u, 31337u}};

void resetNoise() {
    gNoiseState = {{1u, 31337u}};
}
