// The studio's link to a sync editor over arbitrary bytes from the editor's side. Input: one
// byte of flags (bit 0: the stream brings its own greeting, else "hello, demo!" goes first; bits
// 1 to 7 seed the sizes of the pieces the socket hands over), then the editor's stream, after
// which the editor closes the connection.
// Every poll must leave the show's tracks valid (strictly increasing rows, interpolations 0 to 3,
// finite values); the studio's side must send the greeting, the fifteen requests in order and rows
// only; a save must read back to exactly the tracks; decoding in one piece and byte by byte must
// agree; every line names the editor; the link must try again after the retry time; and
// everything must be released.
#include "framework/parameter_track.h"
#include "fuzz/fuzz_support.h"
#include "studio/sync_link.h"
#include "synth/song_clock.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fault(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

// The editor's side of the one connection the fake socket services hold.
struct FakeEditor {
    std::vector<uint8_t> stream;
    size_t handedOver = 0;
    uint32_t pieceSeed = 1;
    bool pieceTaken = false; // one piece per poll: what a non-blocking read finds
    int32_t opened = 0;
    bool open = false;
    std::vector<uint8_t> fromStudio;
} gEditor;

int32_t fakeResolve(const char*, uint16_t, SocketAddress* address) {
    address->size = 0;
    return 1;
}
int64_t fakeOpen(const SocketAddress*) {
    ++gEditor.opened;
    gEditor.open = true;
    return 3;
}
int32_t fakeState(int64_t) {
    return SocketConnected;
}
int32_t fakeSend(int64_t, const void* bytes, int32_t size) {
    const auto* at = static_cast<const uint8_t*>(bytes);
    gEditor.fromStudio.insert(gEditor.fromStudio.end(), at, at + size);
    return size;
}
int32_t fakeReceive(int64_t, void* bytes, int32_t room) {
    if (gEditor.opened > 1) return 0; // a later connection: an editor that says nothing yet
    if (gEditor.handedOver == gEditor.stream.size()) return SocketClosed;
    if (gEditor.pieceTaken) return 0;
    gEditor.pieceTaken = true;
    gEditor.pieceSeed = gEditor.pieceSeed * 1103515245u + 12345u;
    size_t piece = 1 + (gEditor.pieceSeed >> 16) % 48;
    piece = std::min({piece, size_t(room), gEditor.stream.size() - gEditor.handedOver});
    std::memcpy(bytes, gEditor.stream.data() + gEditor.handedOver, piece);
    gEditor.handedOver += piece;
    return int32_t(piece);
}
void fakeClose(int64_t) {
    gEditor.open = false;
}

void collect(void* lines, const char* line) {
    static_cast<std::vector<std::string>*>(lines)->push_back(line);
}

std::string folder() {
    static std::string path = [] {
        char pattern[] = "/tmp/quorlax_sync_fuzz_XXXXXX";
        return std::string(mkdtemp(pattern) ? pattern : "/tmp");
    }();
    return path;
}

void checkTracks(const TrackRegistry& registry) {
    for (int32_t t = 0; t < registry.count; ++t) {
        const ParameterTrack* track = registry.tracks[t];
        for (int32_t k = 0; k < track->count; ++k) {
            const TrackKey& key = track->keys[k];
            if (k > 0 && key.time <= track->keys[k - 1].time) fault("rows out of order", track->name);
            if (key.time < 0 || key.interpolation < 0 || key.interpolation > 3 || !std::isfinite(key.value))
                fault("a key the tracks cannot hold", track->name);
        }
    }
}

// What the studio sent: the greeting, once linked the fifteen requests in registration order,
// then rows.
void checkStudioSide(const std::vector<uint8_t>& sent, bool linked) {
    if (sent.size() < kSyncClientGreetingSize ||
        std::memcmp(sent.data(), kSyncClientGreeting, kSyncClientGreetingSize))
        fault("no greeting from the studio", "");
    size_t at = kSyncClientGreetingSize;
    for (int32_t i = 0; linked && i < kShowTrackCount; ++i) {
        const size_t length = std::strlen(kShowTracks[i].name);
        if (at + 5 + length > sent.size() || sent[at] != SyncGetTrack || sent[at + 4] != length ||
            std::memcmp(&sent[at + 5], kShowTracks[i].name, length) != 0)
            fault("the requests are not the fifteen tracks in order", kShowTracks[i].name);
        at += 5 + length;
    }
    for (; at < sent.size(); at += 5)
        if (sent[at] != SyncSetRow || at + 5 > sent.size() || sent[at + 1] & 0x80) fault("not a row", "");
}

// The saved file against the tracks, bit for bit.
void checkSaved(const std::string& path, const TrackRegistry& registry) {
    TrackDocument saved;
    std::string error;
    if (!readTrackFile(path, builtinSongClock().beatsPerMinute, &saved, &error))
        fault("a saved file does not read", error);
    if (saved.tracks.size() != size_t(kShowTrackCount)) fault("a saved file lacks tracks", path);
    for (const TrackKeys& keys : saved.tracks) {
        const ParameterTrack* track = registry.tracks[findTrack(&registry, keys.name.c_str())];
        if (keys.times.size() != size_t(track->count)) fault("a saved track has other keys", keys.name);
        for (int32_t k = 0; k < track->count; ++k)
            if (keys.times[k] != track->keys[k].time || keys.modes[k] != track->keys[k].interpolation ||
                std::memcmp(&keys.values[k], &track->keys[k].value, sizeof(float)) != 0)
                fault("a saved key differs", keys.name);
    }
}

// The messages and the refusal of the stream decoded with pieces of `piece` bytes, as text.
std::string decodeAll(const std::vector<uint8_t>& stream, size_t piece) {
    SyncDecoder decoder;
    resetSyncDecoder(&decoder);
    std::string out;
    for (size_t start = 0; start < stream.size(); start += piece) {
        const uint8_t* at = stream.data() + start;
        size_t size = std::min(piece, stream.size() - start);
        while (size > 0) {
            SyncMessage message;
            char error[kSyncErrorRoom];
            const bool greeted = decoder.greeted;
            const int32_t result = decodeSyncMessage(&decoder, &at, &size, &message, error);
            if (result == SyncBadInput) return out + "refused: " + error;
            if (result != SyncDecoded) continue;
            if (!greeted) {
                decoder.tracksRequested = kShowTrackCount;
                continue;
            }
            uint32_t bits;
            std::memcpy(&bits, &message.value, sizeof bits);
            out += std::to_string(message.command) + " " + std::to_string(message.track) + " " +
                   std::to_string(message.row) + " " + std::to_string(bits) + " " +
                   std::to_string(message.interpolation) + " " + std::to_string(message.pause) + "\n";
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    gEditor = {};
    if (!(data[0] & 1))
        gEditor.stream.assign(kSyncEditorGreeting, kSyncEditorGreeting + kSyncEditorGreetingSize);
    gEditor.stream.insert(gEditor.stream.end(), data + 1, data + size);
    gEditor.pieceSeed = data[0] >> 1;
    if (decodeAll(gEditor.stream, gEditor.stream.size()) != decodeAll(gEditor.stream, 1))
        fault("decoding in pieces differs", "");

    SocketServices* sockets = socketServices();
    *sockets = {fakeResolve, fakeOpen, fakeState, fakeSend, fakeReceive, fakeClose};
    const std::string trackSource = folder() + "/show.rocket";
    unlink(trackSource.c_str());

    const int64_t before = memLiveBlocks();
    TrackRegistry registry{};
    for (int32_t i = 0; i < kShowTrackCount; ++i) {
        const TrackSource& source = builtinTrack(i);
        registerTrack(&registry, source.name, source.times, source.values, source.modes, source.count);
    }
    {
        SyncLink link;
        std::string error;
        if (!startSyncLink(&link, "fuzz", kSyncDefaultPort, &registry, trackSource.c_str(), &error))
            fault("no link", error);
        std::vector<std::string> lines;
        link.report = collect;
        link.reportContext = &lines;
        SyncTransport transport{};
        uint64_t now = 0;
        bool linked = false;
        // Each poll takes at least one byte, so the stream ends within its size in polls.
        link.messagesPerPoll = 16; // pieces are at most 48 bytes: floods stay within reach
        for (size_t poll = 0; poll <= gEditor.stream.size() + 2; ++poll) {
            gEditor.pieceTaken = false;
            const size_t saves = lines.size();
            pollSyncLink(&link, now, &transport);
            linked |= syncLinkConnected(&link);
            if (transport.seekRow >= 0) transport.tick = float(transport.seekRow);
            transport.tick += 0.45f;
            now += 16;
            if (transport.tracksChanged) checkTracks(registry);
            for (size_t i = saves; i < lines.size(); ++i)
                if (lines[i].rfind("sync fuzz:1338: saved", 0) == 0) checkSaved(trackSource, registry);
            if (gEditor.opened > 0 && !gEditor.open) break;
        }
        if (gEditor.open) fault("the link did not end the connection", "");
        checkStudioSide(gEditor.fromStudio, linked);
        for (const std::string& line : lines)
            if (line.rfind("sync fuzz:1338: ", 0) != 0) fault("a line without the editor", line);
        pollSyncLink(&link, now + kSyncRetryMs, &transport);
        if (gEditor.opened != 2) fault("no second attempt after the retry time", "");
        stopSyncLink(&link);
    }
    freeTracks(&registry);
    resetSocketServices();
    checkNoLiveBlocks(before, "the link");
    return 0;
}
