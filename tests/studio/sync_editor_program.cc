// sync-test-editor: the test suite's protocol-level sync editor as a program, for driving a running
// studio from a script. (Named .cc so that the suite's glob of *.cpp leaves it out.)
//   sync-test-editor [DOCUMENT.rocket]
// Listens on an ephemeral port of 127.0.0.1 and prints "listening PORT". Answers a studio's
// greeting and sends, for each track it asks for, that track's keys from DOCUMENT. Prints what the
// studio sends ("greeting", "track NAME" with the keys sent, "row R") and "connected" or
// "disconnected". Commands, one a line on stdin, send to the studio; end of input ends it:
//   key NAME ROW VALUE INTERPOLATION | delete NAME ROW | row ROW | pause 0|1 | save | close
#include "support/sync_editor.h"
#include "synth/song_clock.h"
#include "trackc/track_file.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

namespace {

TrackDocument document;

// The studio's index of a track: the position of its request.
int32_t trackIndex(const SyncTestEditor& editor, const std::string& name) {
    const auto at = std::find(editor.requested.begin(), editor.requested.end(), name);
    return at == editor.requested.end() ? -1 : int32_t(at - editor.requested.begin());
}

SyncBytes documentKeys(const std::string& name, uint32_t index, size_t* count) {
    SyncBytes bytes;
    *count = 0;
    for (const TrackKeys& track : document.tracks) {
        if (track.name != name) continue;
        for (size_t k = 0; k < track.times.size(); ++k)
            bytes = bytes +
                    editorSetKey(index, uint32_t(track.times[k]), track.values[k], uint8_t(track.modes[k]));
        *count = track.times.size();
    }
    return bytes;
}

// The bytes of one command line; false (with *why) for a line that is not a command.
bool command(const SyncTestEditor& editor, const std::string& line, SyncBytes* bytes, std::string* why) {
    std::istringstream words(line);
    std::string verb, name;
    words >> verb;
    uint32_t row = 0, interpolation = 0;
    float value = 0.0f;
    if (verb == "key" && words >> name >> row >> value >> interpolation && trackIndex(editor, name) >= 0)
        *bytes = editorSetKey(uint32_t(trackIndex(editor, name)), row, value, uint8_t(interpolation));
    else if (verb == "delete" && words >> name >> row && trackIndex(editor, name) >= 0)
        *bytes = editorDeleteKey(uint32_t(trackIndex(editor, name)), row);
    else if (verb == "row" && words >> row)
        *bytes = editorSetRow(row);
    else if (verb == "pause" && words >> row)
        *bytes = editorPause(uint8_t(row));
    else if (verb == "save")
        *bytes = editorSaveTracks();
    else
        return *why = "not a command, or a track the studio has not asked for: " + line, false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    if (argc > 1 && !readTrackFile(argv[1], builtinSongClock().beatsPerMinute, &document, &error)) {
        std::fprintf(stderr, "sync-test-editor: %s\n", error.c_str());
        return 1;
    }
    SyncTestEditor editor;
    if (!editor.listening()) {
        std::fputs("sync-test-editor: cannot listen on 127.0.0.1\n", stderr);
        return 1;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("listening %u\n", editor.port());
    bool wasConnected = false, wasGreeted = false;
    size_t tracksSeen = 0, rowsSeen = 0;
    std::string input;
    for (;;) {
        editor.pump();
        if (editor.connected() != wasConnected) {
            wasConnected = editor.connected();
            std::puts(wasConnected ? "connected" : "disconnected");
            wasGreeted = false;
            tracksSeen = rowsSeen = 0;
        }
        if (editor.greeted && !wasGreeted) {
            wasGreeted = true;
            std::puts(editor.malformed ? "greeting malformed" : "greeting hello, synctracker!");
        }
        for (; tracksSeen < editor.requested.size(); ++tracksSeen) {
            size_t count = 0;
            const std::string& name = editor.requested[tracksSeen];
            editor.send(documentKeys(name, uint32_t(tracksSeen), &count));
            std::printf("track %s (sent %zu keys)\n", name.c_str(), count);
        }
        for (; rowsSeen < editor.rows.size(); ++rowsSeen) std::printf("row %u\n", editor.rows[rowsSeen]);

        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (poll(&in, 1, 10) <= 0) continue;
        char block[512];
        const ssize_t got = read(STDIN_FILENO, block, sizeof block);
        if (got <= 0) return 0;
        input.append(block, size_t(got));
        for (size_t end; (end = input.find('\n')) != std::string::npos; input.erase(0, end + 1)) {
            const std::string line = input.substr(0, end);
            SyncBytes bytes;
            if (line == "close") {
                editor.dropStudio();
            } else if (!command(editor, line, &bytes, &error)) {
                std::fprintf(stderr, "sync-test-editor: %s\n", error.c_str());
            } else {
                std::printf("sent %s\n", line.c_str());
                if (!editor.send(bytes)) std::puts("the studio did not take it");
            }
        }
    }
}
