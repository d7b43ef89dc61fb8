#include "synth/sample_bank.h"

#include "base/memory.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstring>

namespace {

SampleBank bank;
char summary[1200];

uint32_t readU32(const uint8_t* at) {
    return at[0] | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

} // namespace

const SampleBank& sampleBank() {
    return bank;
}

void loadSampleBank(const uint8_t* bytes, size_t size) {
    releaseSampleBank();
    if (!bytes) return;
    if (size > kSoundBankReadLimit) size = kSoundBankReadLimit;
    // The tag is matched at every byte offset, inside other chunks too; the chunk structure is
    // not walked.
    size_t j = 0;
    while (j + 8 <= size && bank.count < kSampleBankRoom) {
        if (std::memcmp(bytes + j, "data", 4) != 0) {
            ++j;
            continue;
        }
        size_t stated = readU32(bytes + j + 4);
        j += 8;
        size_t length = stated < size - j ? stated : size - j;
        uint32_t wave = bank.count++;
        bank.length[wave] = static_cast<uint32_t>(length);
        Stereo* frames = length > 0 ? static_cast<Stereo*>(memAlloc(length * sizeof(Stereo))) : nullptr;
        if (length > 0 && !frames) {
            bank.length[wave] = 0;
            j += length;
            continue;
        }
        bank.frames[wave] = frames;
        for (size_t s = 0; s < length / 2; ++s, j += 2) {
            auto sample = static_cast<int16_t>(bytes[j] | bytes[j + 1] << 8);
            Stereo frame = stereo(sample / 32768.0);
            frames[2 * s] = frame;
            frames[2 * s + 1] = frame;
        }
        // The search resumes one byte past the last converted sample (a trailing odd byte is
        // passed over).
        j += 1;
    }
}

void loadSystemSampleBank() {
    PlatformServices* services = platformServices();
    if (!services->readSoundBank) return;
    size_t size = 0;
    void* file = services->readSoundBank(kSoundBankReadLimit, &size);
    if (!file) return;
    loadSampleBank(static_cast<const uint8_t*>(file), size);
    memFree(file);
}

void releaseSampleBank() {
    for (uint32_t k = 0; k < bank.count; ++k) memFree(bank.frames[k]);
    bank = SampleBank{};
}

const char* sampleBankSummary() {
    PlatformServices* services = platformServices();
    const char* source = services->soundBankSource ? services->soundBankSource() : "";
    if (source && *source)
        std::snprintf(summary, sizeof summary, "sound bank '%s' (%u wave%s)", source, bank.count,
                      bank.count == 1 ? "" : "s");
    else
        std::snprintf(summary, sizeof summary,
                      "no sound bank found (QUORLAX_GM_DLS may name a gm.dls); sampled sounds stay silent");
    return summary;
}

SampleWave sampleWave(int32_t number) {
    if (number < 0 || static_cast<uint32_t>(number) >= bank.count || !bank.frames[number])
        return {0.0, nullptr};
    return {static_cast<double>(bank.length[number]), bank.frames[number]};
}
