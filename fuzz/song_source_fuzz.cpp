// The song compiler over arbitrary source texts. Input: a patch source, a NUL byte, a song source;
// the song is checked against the patch when that compiles, else against the built-in patch.
// Without a NUL byte the whole input is compiled both as a patch and as a song.
// A source either compiles or fails with a "p.toml:..." / "s.toml:..." line. What compiles must
// dump to a text that compiles back to the same blob, and the synthesizer must decode the song.
#include "fuzz/fuzz_support.h"
#include "songc/songc.h"
#include "synth/builtin_song.h"
#include "synth/patch.h"
#include "synth/song.h"

#include <string>
#include <vector>

namespace {

[[noreturn]] void fault(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

void expectMessage(const std::string& error, const char* path) {
    if (error.rfind(std::string(path) + ":", 0) != 0) fault("a failure without its line", error);
}

// Null when the text is no patch.
const uint16_t* checkPatch(const std::string& text, std::vector<uint16_t>* words) {
    std::string error;
    if (!compilePatch(text, "p.toml", words, &error)) {
        expectMessage(error, "p.toml");
        return nullptr;
    }
    std::string dump;
    std::vector<uint16_t> again;
    if (!dumpPatch(words->data(), &dump, &error)) fault("a compiled patch does not dump", error);
    if (!compilePatch(dump, "dump.toml", &again, &error)) fault("a patch dump does not compile", error);
    if (again != *words) fault("a patch dump compiles to other words", dump);
    patchStats(words->data());
    return words->data();
}

void checkSong(const std::string& text, const uint16_t* patch) {
    std::vector<uint8_t> bytes, again;
    std::string error, dump;
    if (!compileSong(text, "s.toml", patch, &bytes, &error)) {
        expectMessage(error, "s.toml");
        return;
    }
    if (!dumpSong(bytes.data(), bytes.size(), &dump, &error)) fault("a compiled song does not dump", error);
    if (!compileSong(dump, "dump.toml", nullptr, &again, &error))
        fault("a song dump does not compile", error);
    if (again != bytes) fault("a song dump compiles to other bytes", dump);
    songStats(bytes.data(), bytes.size());
    DecodedSong song{};
    if (decodeSong(bytes.data(), bytes.size(), &song) != 1)
        fault("the synthesizer refuses a compiled song", dump);
    releaseDecodedSong(&song);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int64_t before = memLiveBlocks();
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    std::vector<uint16_t> words;
    if (split == std::string::npos) {
        checkPatch(input, &words);
        checkSong(input, builtinPatchWords());
    } else {
        const uint16_t* patch = checkPatch(input.substr(0, split), &words);
        checkSong(input.substr(split + 1), patch ? patch : builtinPatchWords());
    }
    checkNoLiveBlocks(before, "the song source");
    return 0;
}
