#include "synth/patch.h"

#include <bit>

float patchFloat(const uint16_t* words, int32_t index) {
    uint32_t bits = static_cast<uint32_t>(words[index]) | static_cast<uint32_t>(words[index + 1]) << 16;
    return std::bit_cast<float>(bits);
}
