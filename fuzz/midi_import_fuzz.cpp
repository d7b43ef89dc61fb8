// The MIDI import over arbitrary bytes. Input: the file's bytes as read from disk.
// The bytes either import or fail with an "in.mid: ..." line; an imported source then goes
// through the song compiler, which may refuse it (a tempo or a length a song cannot hold) but
// only with a message. libsmf is given only files it reads without a complaint: whatever it
// warns about (a track cut short, an event skipped) the import must have refused first.
#include "fuzz/fuzz_support.h"
#include "songc/songc.h"

#include <glib.h>

#include <string>
#include <vector>

namespace {

[[noreturn]] void fault(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

void libsmfComplains(const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
    fault("libsmf complains about a file the import let through", message);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const unsigned handler = g_log_set_handler("libsmf", G_LOG_LEVEL_MASK, libsmfComplains, nullptr);
    (void)handler;
    const int64_t before = memLiveBlocks();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string text, warnings, error;
    if (!importMidiBytes(bytes, "in.mid", &text, &warnings, &error)) {
        if (error.rfind("in.mid: ", 0) != 0) fault("a refused file without a message", error);
        // Files libsmf cannot read whole are to be refused before it sees them.
        if (error.find("libsmf") != std::string::npos || error.find("can be read") != std::string::npos)
            fault("libsmf refused a file the import let through", error);
    } else {
        std::vector<uint8_t> song;
        error.clear();
        if (!compileSong(text, "in.toml", nullptr, &song, &error) && error.rfind("in.toml:", 0) != 0)
            fault("an imported source fails without its line", error);
    }
    checkNoLiveBlocks(before, "the MIDI import");
    return 0;
}
