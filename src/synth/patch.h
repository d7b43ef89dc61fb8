// The patch: a flat array of 16-bit words holding every node record and the constant values.
#pragma once

#include <cstdint>

inline constexpr int32_t kPatchWordCount = 1848;
// Node records lie below this index; constants from it on.
inline constexpr int32_t kFirstConstantIndex = 1536;
// Mono constants: an f32 at every even index up to 1794.
inline constexpr int32_t kFirstStereoConstantIndex = 1796;
// Stereo constants: a pair of f32 at every fourth index up to 1836.
inline constexpr int32_t kNodeIndexLimit = 1840;

// Bits of a record's header word.
inline int32_t recordType(uint16_t header) {
    return header & 0x7F;
}
inline int32_t recordInputCount(uint16_t header) {
    return (header >> 8) & 0x7F;
}
inline int32_t recordShared(uint16_t header) {
    return header >> 15;
}
inline uint16_t recordHeader(int32_t type, int32_t inputCount, int32_t shared) {
    return static_cast<uint16_t>((type & 0x7F) | (inputCount & 0x7F) << 8 | (shared ? 0x8000 : 0));
}

// The f32 stored at words index (low half) and index + 1 (high half).
float patchFloat(const uint16_t* words, int32_t index);

// Layout conventions the synthesizer relies on.
inline constexpr int32_t kMasterNodeIndex = 0;
// Channel c's output node lies at 3 * (c + 1).
inline int32_t channelOutputIndex(int32_t channel) {
    return 3 * (channel + 1);
}
// The sixteen channel routing records start here, back to back in channel order.
inline constexpr int32_t kFirstRoutingIndex = 51;
inline constexpr int32_t kChannelCount = 16;
