// Sound bank bytes for the bank and sampler tests.
#pragma once

#include <cstdint>
#include <vector>

// A "data" block of 16-bit samples, then the pad byte the bank's scan steps over.
inline void appendDataBlock(std::vector<uint8_t>& bytes, const std::vector<int16_t>& samples) {
    const uint32_t length = static_cast<uint32_t>(2 * samples.size());
    bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
    for (int32_t i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(length >> (8 * i)));
    for (int16_t s : samples) {
        bytes.push_back(static_cast<uint8_t>(s));
        bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
    }
    bytes.push_back(0);
}
