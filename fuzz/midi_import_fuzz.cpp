// The MIDI import over arbitrary bytes. Input: the file's bytes as read from disk.
// The bytes either import or fail with an "in.mid: ..." line. What imports must compile: the
// import refuses what the song compiler would refuse (a tempo, a length or a count of notes a
// song cannot hold) instead of writing a source that fails later.
#include "fuzz/fuzz_support.h"
#include "songc/songc.h"

#include <string>
#include <vector>

namespace {

[[noreturn]] void fault(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int64_t before = memLiveBlocks();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string text, warnings, error;
    if (!importMidiBytes(bytes, "in.mid", &text, &warnings, &error)) {
        if (error.rfind("in.mid: ", 0) != 0) fault("a refused file without a message", error);
    } else {
        std::vector<uint8_t> song;
        error.clear();
        if (!compileSong(text, "in.toml", nullptr, &song, &error))
            fault("an imported source does not compile", error);
    }
    checkNoLiveBlocks(before, "the MIDI import");
    return 0;
}
