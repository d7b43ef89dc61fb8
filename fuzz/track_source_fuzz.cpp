// The track compiler over arbitrary track files. Input: the file's bytes.
// A file either reads or fails with a "t.rocket:LINE: " message. What reads must write back to a
// file that reads to the same tracks, and every track must register and evaluate, at its keys and
// around them, with everything released afterwards.
#include "framework/parameter_track.h"
#include "fuzz/fuzz_support.h"
#include "synth/song_clock.h"
#include "trackc/track_file.h"

#include <string>

namespace {

[[noreturn]] void fault(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

void expectLine(const std::string& error) {
    const std::string prefix = "t.rocket:";
    size_t at = prefix.size();
    while (at < error.size() && error[at] >= '0' && error[at] <= '9') ++at;
    if (error.rfind(prefix, 0) != 0 || at == prefix.size() || error.compare(at, 2, ": ") != 0)
        fault("a refusal without its line", error);
}

// Bit for bit, so -0 and 0 differ.
bool sameValues(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return false;
    return true;
}

bool sameTracks(const TrackDocument& a, const TrackDocument& b) {
    if (a.tracks.size() != b.tracks.size() || a.rows != b.rows || a.bookmarks != b.bookmarks) return false;
    for (const TrackKeys& track : a.tracks) {
        bool found = false;
        for (const TrackKeys& other : b.tracks)
            if (other.name == track.name)
                found = other.times == track.times && other.modes == track.modes &&
                        sameValues(other.values, track.values);
        if (!found) return false;
    }
    return true;
}

} // namespace

volatile float valueSink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TrackDocument document;
    std::string error;
    if (!readTrackDocument(text, "t.rocket", builtinSongClock().beatsPerMinute, &document, &error)) {
        expectLine(error);
        return 0;
    }
    const std::string written = writeTrackDocument(document);
    TrackDocument again;
    if (!readTrackDocument(written, "w.rocket", builtinSongClock().beatsPerMinute, &again, &error))
        fault("a written file does not read", error);
    if (!sameTracks(document, again)) fault("a written file reads to other tracks", written);

    const int64_t before = memLiveBlocks();
    TrackRegistry registry{};
    for (const TrackKeys& track : document.tracks) {
        const ParameterTrack* registered =
            registerTrack(&registry, track.name.c_str(), track.times.data(), track.values.data(),
                          track.modes.data(), static_cast<int32_t>(track.times.size()));
        if (!registered) fault("a track did not register", track.name);
        for (int32_t time : track.times)
            for (float offset : {-0.5f, 0.0f, 0.25f, 0.999f})
                valueSink = evaluateTrack(registered, static_cast<float>(time) + offset);
        valueSink = evaluateTrack(registered, static_cast<float>(document.rows));
    }
    freeTracks(&registry);
    checkNoLiveBlocks(before, "the tracks");
    return 0;
}
