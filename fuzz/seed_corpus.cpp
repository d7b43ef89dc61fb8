// Writes the seed corpora of the fuzz targets from the program's own data:
//   fuzz_seed_corpus DIR  ->  DIR/song/*, DIR/patch/*, DIR/track/*
// (scripts/fuzz adds the shader texts for the include target and a small bank file.)
#include "framework/track_data.h"
#include "synth/builtin_song.h"
#include "synth/patch.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

bool writeSeed(const std::string& dir, const char* name, const Bytes& bytes) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    const std::string path = dir + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

template <typename T>
void append(Bytes& bytes, const T& value) {
    const auto* raw = reinterpret_cast<const uint8_t*>(&value);
    bytes.insert(bytes.end(), raw, raw + sizeof value);
}

// The track target's layout: key count, keys, then the times to evaluate at.
Bytes trackSeed(const TrackSource& track) {
    Bytes bytes;
    const int32_t count = track.count < 255 ? track.count : 255;
    bytes.push_back(static_cast<uint8_t>(count));
    for (int32_t k = 0; k < count; ++k) {
        append(bytes, track.times[k]);
        append(bytes, track.values[k]);
        append(bytes, track.modes[k]);
    }
    for (int32_t k = 0; k < count; ++k) append(bytes, static_cast<float>(track.times[k]) + 0.5f);
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: fuzz_seed_corpus DIR\n", stderr);
        return 2;
    }
    const std::string root = argv[1];
    bool ok = true;

    size_t songSize = 0;
    const uint8_t* song = builtinSongBytes(&songSize);
    const Bytes wholeSong(song, song + songSize);
    ok &= writeSeed(root + "/song", "builtin", wholeSong);
    ok &= writeSeed(root + "/song", "builtin-head", Bytes(song, song + (songSize < 600 ? songSize : 600)));

    const uint16_t* words = builtinPatchWords();
    const auto* patchBytes = reinterpret_cast<const uint8_t*>(words);
    Bytes patch(patchBytes, patchBytes + kPatchWordCount * sizeof(uint16_t));
    ok &= writeSeed(root + "/patch", "builtin", patch);
    // A chord on each of the first channels, a controller sweep, then the releases a tick later.
    for (uint8_t channel = 0; channel < 4; ++channel)
        for (uint8_t note : {48, 55, 60, 64, 67})
            patch.insert(patch.end(), {uint8_t(0x10 | channel), note, 100});
    for (uint8_t value = 0; value < 128; value += 32) patch.insert(patch.end(), {0x20, 1, value});
    for (uint8_t note : {48, 55, 60, 64, 67}) patch.insert(patch.end(), {0x40, note, 0});
    ok &= writeSeed(root + "/patch", "builtin-chords", patch);

    ok &= writeSeed(root + "/track", "scene", trackSeed(kSceneSelectorTrack));
    for (const SceneParameter& parameter : kSceneParameters)
        ok &= writeSeed(root + "/track", parameter.track.name, trackSeed(parameter.track));

    if (!ok) std::fprintf(stderr, "fuzz_seed_corpus: cannot write the seeds under %s\n", root.c_str());
    return ok ? 0 : 1;
}
