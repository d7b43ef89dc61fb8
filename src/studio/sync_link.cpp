#include "studio/sync_link.h"

#include "framework/parameter_track.h"
#include "shared/output_file.h"
#include "synth/song_clock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

void report(const SyncLink* link, const std::string& what) {
    const std::string line = "sync " + link->endpoint + ": " + what;
    if (link->report)
        link->report(link->reportContext, line.c_str());
    else
        std::fprintf(stderr, "%s\n", line.c_str());
}

void closeConnection(SyncLink* link, uint64_t nowMs) {
    socketServices()->closeConnection(link->connection);
    link->connection = -1;
    link->state = SyncDisconnected;
    link->nextAttemptMs = nowMs + kSyncRetryMs;
    link->outgoingSize = 0;
    resetSyncDecoder(&link->decoder);
}

// Ends a connection that got as far as the greeting, with the one line that says why.
void drop(SyncLink* link, uint64_t nowMs, const std::string& why) {
    closeConnection(link, nowMs);
    report(link, "disconnected: " + why);
}

bool queue(SyncLink* link, const uint8_t* bytes, size_t size) {
    if (size == 0 || size > kSyncOutgoingRoom - link->outgoingSize) return false;
    std::memcpy(link->outgoing + link->outgoingSize, bytes, size);
    link->outgoingSize += size;
    return true;
}

// The editor greeted: its document replaces every key, so the tracks are emptied and asked for
// in registration order (the order numbers them), and it hears the current row.
void beginLinked(SyncLink* link) {
    link->state = SyncLinked;
    link->document = {};
    for (int32_t i = 0; i < kShowTrackCount; ++i) {
        TrackKeys track;
        track.name = kShowTracks[i].name;
        link->document.tracks.push_back(std::move(track));
        link->changed[i] = true;
        uint8_t request[64];
        queue(link, request, encodeSyncGetTrack(kShowTracks[i].name, request, sizeof request));
    }
    link->decoder.tracksRequested = kShowTrackCount;
    link->keyCount = 0;
    link->lastRow = -1;
    report(link, "connected");
}

// False when the key would pass kSyncKeyLimit.
bool setKey(SyncLink* link, const SyncMessage& message) {
    TrackKeys& track = link->document.tracks[message.track];
    const auto row = int32_t(message.row);
    const auto at = std::lower_bound(track.times.begin(), track.times.end(), row);
    const auto index = at - track.times.begin();
    if (at == track.times.end() || *at != row) {
        if (link->keyCount == kSyncKeyLimit) return false;
        ++link->keyCount;
        track.times.insert(at, row);
        track.values.insert(track.values.begin() + index, message.value);
        track.modes.insert(track.modes.begin() + index, int8_t(message.interpolation));
    } else {
        track.values[size_t(index)] = message.value;
        track.modes[size_t(index)] = int8_t(message.interpolation);
    }
    link->changed[message.track] = true;
    return true;
}

void deleteKey(SyncLink* link, const SyncMessage& message) {
    TrackKeys& track = link->document.tracks[message.track];
    const auto at = std::lower_bound(track.times.begin(), track.times.end(), int32_t(message.row));
    if (at == track.times.end() || *at != int32_t(message.row)) return;
    const auto index = at - track.times.begin();
    track.times.erase(at);
    track.values.erase(track.values.begin() + index);
    track.modes.erase(track.modes.begin() + index);
    --link->keyCount;
    link->changed[message.track] = true;
}

// False when the message must end the connection.
bool apply(SyncLink* link, const SyncMessage& message, SyncTransport* transport) {
    switch (message.command) {
    case SyncSetKey:
        return setKey(link, message);
    case SyncDeleteKey:
        deleteKey(link, message);
        return true;
    case SyncSetRow:
        // The editor knows this row already: echoing it would pull its cursor back if it moved on.
        transport->seekRow = int32_t(message.row);
        link->lastRow = message.row;
        return true;
    case SyncPause:
        transport->pauseRequest = message.pause;
        return true;
    default: // SyncSaveTracks: once per poll however often it is asked, after the poll's keys
        link->saveRequested = true;
        return true;
    }
}

// Takes what the socket holds, message by message, until it holds no more or the connection ends.
void receive(SyncLink* link, uint64_t nowMs, SyncTransport* transport) {
    int32_t handled = 0;
    uint8_t chunk[4096];
    while (link->state >= SyncGreeting) {
        const int32_t received = socketServices()->receiveSome(link->connection, chunk, sizeof chunk);
        if (received == 0) return;
        if (received == SocketClosed) {
            drop(link, nowMs,
                 link->decoder.partialSize ? "the editor closed the connection in the middle of a message"
                                           : "the editor closed the connection");
            return;
        }
        if (received < 0) return drop(link, nowMs, "the connection to the editor failed");
        const uint8_t* at = chunk;
        size_t left = size_t(received);
        while (left > 0) {
            const bool greeted = link->decoder.greeted;
            SyncMessage message;
            char error[kSyncErrorRoom];
            const int32_t result = decodeSyncMessage(&link->decoder, &at, &left, &message, error);
            if (result == SyncNeedMore) break;
            if (result == SyncBadInput) return drop(link, nowMs, error);
            if (!greeted) {
                beginLinked(link);
                continue;
            }
            if (++handled > link->messagesPerPoll)
                return drop(link, nowMs,
                            "the editor sent more than " + std::to_string(link->messagesPerPoll) +
                                " messages at once");
            if (!apply(link, message, transport))
                return drop(link, nowMs,
                            "the editor holds more than " + std::to_string(kSyncKeyLimit) + " keys");
        }
    }
}

void advanceConnection(SyncLink* link, uint64_t nowMs) {
    if (link->state == SyncDisconnected && nowMs >= link->nextAttemptMs) {
        link->nextAttemptMs = nowMs + kSyncRetryMs;
        link->connection = socketServices()->openConnection(&link->address);
        if (link->connection < 0) return;
        link->state = SyncConnecting;
        link->attemptMs = nowMs;
    }
    if (link->state != SyncConnecting) return;
    // Failed attempts are quiet: the editor may simply not be running yet.
    const int32_t state = socketServices()->connectionState(link->connection);
    if (state == SocketFailed || (state == SocketConnecting && nowMs - link->attemptMs >= kSyncRetryMs))
        return closeConnection(link, nowMs);
    if (state == SocketConnecting) return;
    uint8_t greeting[kSyncClientGreetingSize];
    queue(link, greeting, encodeSyncGreeting(greeting, sizeof greeting));
    link->state = SyncGreeting;
    link->attemptMs = nowMs;
}

void sendRow(SyncLink* link, const SyncTransport& transport) {
    const int32_t row = floorToInt(transport.tick);
    if (link->state != SyncLinked || transport.seekRow >= 0 || row < 0 || row == link->lastRow) return;
    uint8_t message[5];
    if (queue(link, message, encodeSyncSetRow(uint32_t(row), message, sizeof message))) link->lastRow = row;
}

void flush(SyncLink* link, uint64_t nowMs) {
    if (link->state < SyncGreeting || link->outgoingSize == 0) return;
    const int32_t sent =
        socketServices()->sendSome(link->connection, link->outgoing, int32_t(link->outgoingSize));
    if (sent < 0) return drop(link, nowMs, "the connection to the editor failed");
    std::memmove(link->outgoing, link->outgoing + sent, link->outgoingSize - size_t(sent));
    link->outgoingSize -= size_t(sent);
}

void applyToRegistry(SyncLink* link, SyncTransport* transport) {
    for (int32_t i = 0; i < kShowTrackCount; ++i) {
        if (!link->changed[i]) continue;
        link->changed[i] = false;
        transport->tracksChanged = true;
        const int32_t index = findTrack(link->registry, kShowTracks[i].name);
        if (index < 0) continue;
        const TrackKeys& keys = link->document.tracks[size_t(i)];
        // A key array that cannot be allocated leaves the track empty until the editor's next change.
        setTrackKeys(link->registry->tracks[index], keys.times.data(), keys.values.data(), keys.modes.data(),
                     int32_t(keys.times.size()));
    }
}

// The editor's keys, with the row count and bookmarks of the track source as it stands (the
// built-in ones when it does not read), so that only the keys change.
void save(SyncLink* link) {
    link->saveRequested = false;
    if (link->trackSource.empty()) return report(link, "cannot save the tracks: there is no source tree");
    TrackDocument document;
    std::string error;
    if (!readTrackFile(link->trackSource, builtinSongClock().beatsPerMinute, &document, &error)) {
        document.rows = kBuiltinTrackDocument.rows;
        document.bookmarks.assign(kBuiltinTrackDocument.bookmarks,
                                  kBuiltinTrackDocument.bookmarks + kBuiltinTrackDocument.bookmarkCount);
    }
    document.tracks = link->document.tracks;
    const std::string text = writeTrackDocument(document);
    error = writeOutputFile(link->trackSource.c_str(), text.data(), text.size());
    report(link, error.empty() ? "saved the tracks to " + link->trackSource
                               : "cannot save the tracks to " + link->trackSource + ": " + error);
}

} // namespace

bool parseSyncAddress(const char* text, std::string* host, uint16_t* port) {
    const std::string whole = text;
    *host = kSyncDefaultHost;
    *port = kSyncDefaultPort;
    const size_t colon = whole.rfind(':');
    const bool bracketed = !whole.empty() && whole[0] == '[';
    const size_t close = whole.find(']');
    std::string portText;
    if (bracketed) {
        if (close == std::string::npos || (close + 1 < whole.size() && whole[close + 1] != ':')) return false;
        *host = whole.substr(1, close - 1);
        portText = close + 1 < whole.size() ? whole.substr(close + 2) : "";
    } else if (colon != std::string::npos) {
        if (colon > 0) *host = whole.substr(0, colon);
        portText = whole.substr(colon + 1);
    } else if (!whole.empty() && whole.find_first_not_of("0123456789") == std::string::npos) {
        portText = whole;
    } else if (!whole.empty()) {
        *host = whole;
    }
    if (host->empty()) return false;
    if (portText.empty()) return whole.empty() || whole.back() != ':';
    if (portText.size() > 5 || portText.find_first_not_of("0123456789") != std::string::npos) return false;
    const long value = std::stol(portText);
    if (value < 1 || value > 65535) return false;
    *port = uint16_t(value);
    return true;
}

bool startSyncLink(SyncLink* link, const char* host, uint16_t port, TrackRegistry* registry,
                   const char* trackSource, std::string* error) {
    *link = {};
    link->endpoint = (std::strchr(host, ':') ? "[" + std::string(host) + "]" : std::string(host)) + ":" +
                     std::to_string(port);
    link->registry = registry;
    link->trackSource = trackSource;
    link->messagesPerPoll = kSyncMessagesPerPoll;
    link->connection = -1;
    resetSyncDecoder(&link->decoder);
    if (socketServices()->resolveAddress(host, port, &link->address)) return true;
    *error = "sync: unknown host '" + std::string(host) + "'";
    return false;
}

void pollSyncLink(SyncLink* link, uint64_t nowMs, SyncTransport* transport) {
    transport->seekRow = -1;
    transport->pauseRequest = -1;
    transport->tracksChanged = false;
    advanceConnection(link, nowMs);
    // The greeting goes out before anything is read: an editor waits for it.
    flush(link, nowMs);
    receive(link, nowMs, transport);
    // Only after reading: a frame that took longer than the timeout must not count against the
    // editor's answer waiting in the socket.
    if (link->state == SyncGreeting && nowMs - link->attemptMs >= kSyncRetryMs)
        drop(link, nowMs, "no greeting from the editor");
    sendRow(link, *transport);
    flush(link, nowMs);
    applyToRegistry(link, transport);
    if (link->saveRequested) save(link);
}

void stopSyncLink(SyncLink* link) {
    socketServices()->closeConnection(link->connection);
    link->connection = -1;
    link->state = SyncDisconnected;
}

bool syncLinkConnected(const SyncLink* link) {
    return link->state == SyncLinked;
}
