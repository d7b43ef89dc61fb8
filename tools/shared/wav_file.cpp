// RIFF WAVE writing and reading.
#include "shared/wav_file.h"

#include "platform/platform.h"
#include "shared/output_file.h"

#include <cerrno>
#include <cstring>

namespace {

static_assert(sizeof(float) == 4, "samples are written as the host's 32-bit floats");

constexpr uint32_t kFrameBytes = kAudioChannels * sizeof(float);

uint8_t* put16(uint8_t* at, uint16_t value) {
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
    return at + 2;
}

uint8_t* put32(uint8_t* at, uint32_t value) {
    at = put16(at, uint16_t(value));
    return put16(at, uint16_t(value >> 16));
}

uint8_t* putTag(uint8_t* at, const char* tag) {
    std::memcpy(at, tag, 4);
    return at + 4;
}

uint16_t get16(const uint8_t* at) {
    return uint16_t(at[0] | at[1] << 8);
}
uint32_t get32(const uint8_t* at) {
    return get16(at) | uint32_t(get16(at + 2)) << 16;
}

} // namespace

bool writeWav(std::FILE* file, const float* frames, uint32_t frameCount) {
    const uint64_t dataBytes = uint64_t(frameCount) * kFrameBytes;
    if (dataBytes + kWavHeaderBytes - 8 > UINT32_MAX) {
        errno = EFBIG;
        return false;
    }
    uint8_t header[kWavHeaderBytes];
    uint8_t* at = putTag(header, "RIFF");
    at = put32(at, uint32_t(dataBytes) + kWavHeaderBytes - 8);
    at = putTag(at, "WAVE");
    // A non-PCM format carries the extension size (0) and a "fact" chunk with the frame count.
    at = putTag(at, "fmt ");
    at = put32(at, 18);
    at = put16(at, kWavFormatIeeeFloat);
    at = put16(at, kAudioChannels);
    at = put32(at, kAudioFrameRate);
    at = put32(at, kAudioFrameRate * kFrameBytes);
    at = put16(at, kFrameBytes);
    at = put16(at, 32);
    at = put16(at, 0);
    at = putTag(at, "fact");
    at = put32(at, 4);
    at = put32(at, frameCount);
    at = putTag(at, "data");
    put32(at, uint32_t(dataBytes));
    if (std::fwrite(header, 1, sizeof header, file) != sizeof header) return false;
    if (frameCount != 0 && std::fwrite(frames, kFrameBytes, frameCount, file) != frameCount) return false;
    return std::fflush(file) == 0;
}

bool writeWavFile(const char* path, const float* frames, uint32_t frameCount) {
    OutputFile output;
    if (!openOutputFile(path, &output).empty()) return false;
    std::FILE* file = fdopen(output.descriptor, "wb");
    if (!file) {
        discardOutputFile(&output);
        return false;
    }
    output.descriptor = -1;
    const bool written = writeWav(file, frames, frameCount);
    const int savedErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || !commitOutputFile(&output).empty()) {
        discardOutputFile(&output);
        if (!written) errno = savedErrno;
        return false;
    }
    return true;
}

std::string readWavFile(const char* path, WavFile* wav) {
    *wav = {};
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return std::string("cannot open: ") + std::strerror(errno);
    std::vector<uint8_t> bytes;
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    if (length >= 0 && std::fseek(file, 0, SEEK_SET) == 0) {
        bytes.resize(size_t(length));
        if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) length = -1;
    }
    std::fclose(file);
    if (length < 0) return "cannot read the file";

    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(&bytes[8], "WAVE", 4) != 0)
        return "not a RIFF WAVE file";
    if (get32(&bytes[4]) != bytes.size() - 8) return "RIFF size does not match the file size";
    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const uint8_t* chunk = &bytes[at];
        const uint32_t size = get32(chunk + 4);
        if (size > bytes.size() - at - 8) return "chunk runs past the end of the file";
        const uint8_t* body = chunk + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            wav->formatTag = get16(body);
            wav->channels = get16(body + 2);
            wav->sampleRate = get32(body + 4);
            wav->byteRate = get32(body + 8);
            wav->blockAlign = get16(body + 12);
            wav->bitsPerSample = get16(body + 14);
            haveFormat = true;
        } else if (std::memcmp(chunk, "fact", 4) == 0 && size >= 4) {
            wav->factFrames = get32(body);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return "data chunk before the format chunk";
            wav->dataBytes = size;
            if (wav->formatTag == kWavFormatIeeeFloat && wav->bitsPerSample == 32) {
                wav->samples.resize(size / 4);
                // An empty chunk leaves data() null, which memcpy must not be given.
                if (!wav->samples.empty()) std::memcpy(wav->samples.data(), body, wav->samples.size() * 4);
            } else {
                return "unsupported sample format";
            }
            return "";
        }
        // Chunks are padded to an even size.
        at += 8 + size + (size & 1);
    }
    return "no data chunk";
}
