// WAV files of the synthesizer's output format: RIFF WAVE, IEEE float (format tag 3), stereo,
// 44,100 Hz, 32 bits per sample.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr uint16_t kWavFormatIeeeFloat = 3;

// The fields of a WAV file as read back.
struct WavFile {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t sampleRate;
    uint32_t byteRate;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    // Frames declared by the "fact" chunk (0 when there is none).
    uint32_t factFrames;
    // Byte size of the "data" chunk and its samples, interleaved.
    uint32_t dataBytes;
    std::vector<float> samples;
};

// Bytes before the samples in the files written here: RIFF header, an 18-byte "fmt " chunk,
// a "fact" chunk and the "data" chunk header.
constexpr uint32_t kWavHeaderBytes = 58;

// Writes `frameCount` interleaved stereo frames. Returns true on success; on failure errno tells why.
bool writeWav(std::FILE* file, const float* frames, uint32_t frameCount);
// The same as the whole file at `path`, which is replaced only once it is complete.
bool writeWavFile(const char* path, const float* frames, uint32_t frameCount);

// Reads a WAV file of 32-bit float samples. Returns an empty string on success, otherwise what is
// wrong with the file.
std::string readWavFile(const char* path, WavFile* wav);
