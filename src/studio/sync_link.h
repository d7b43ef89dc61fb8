// The studio's link to a sync editor: connects out to the editor (and again every two seconds
// while none answers), asks it for the show's fifteen tracks, keeps the registry's tracks in step
// with the editor's document, passes its seeks and pauses to the studio, saves the tracks when it
// asks, and tells it the row the show plays. Nothing here waits: each poll does a bounded amount
// of work, so the studio polls once a frame.
#pragma once

#include "framework/track_data.h"
#include "platform/socket.h"
#include "studio/sync_protocol.h"
#include "trackc/track_file.h"

#include <cstdint>
#include <string>

struct TrackRegistry;

constexpr char kSyncDefaultHost[] = "127.0.0.1";
constexpr uint16_t kSyncDefaultPort = 1338;
// While no editor is linked an attempt is made this often; a connection or greeting that takes
// longer is given up.
constexpr uint64_t kSyncRetryMs = 2000;
// More messages than this in one poll is a flood, and the connection is dropped. A document's keys
// all come at once when the tracks are asked for: the show's are about 600.
constexpr int32_t kSyncMessagesPerPoll = 65536;
// The most keys the editor may hold over all tracks (12 bytes each): memory stays bounded whatever
// it sends.
constexpr int32_t kSyncKeyLimit = 1 << 20;
// Messages to the editor waiting to be taken by the socket: the greeting and fifteen requests come
// to about 230 bytes, and a row that does not fit waits for the next poll.
constexpr size_t kSyncOutgoingRoom = 4096;

enum SyncLinkState : int32_t {
    SyncDisconnected = 0, // waiting for the next attempt
    SyncConnecting = 1,   // the connection is being made
    SyncGreeting = 2,     // greeting sent, waiting for the editor's
    SyncLinked = 3,       // the editor's document is the truth
};

// What the studio and the link exchange at each poll.
struct SyncTransport {
    float tick;           // in: the playhead, in ticks (rows)
    int32_t seekRow;      // out: the row the editor moved to in this poll, or -1
    int32_t pauseRequest; // out: 1 pause, 0 play, -1 when the editor asked neither in this poll
    bool tracksChanged;   // out: the registry's tracks got other keys in this poll
};

struct SyncLink {
    std::string endpoint; // "HOST:PORT", for the lines it reports
    SocketAddress address;
    TrackRegistry* registry; // the tracks it keeps in step, found by name
    std::string trackSource; // the file SaveTracks writes
    int32_t messagesPerPoll; // kSyncMessagesPerPoll unless a test lowers it
    // Takes each line the link reports (connected, disconnected and why, saved); null prints it
    // on stderr.
    void (*report)(void* context, const char* line);
    void* reportContext;

    SyncLinkState state;
    int64_t connection;     // -1 while disconnected
    uint64_t attemptMs;     // when the current connection or greeting began
    uint64_t nextAttemptMs; // when the next connection may be tried
    SyncDecoder decoder;
    uint8_t outgoing[kSyncOutgoingRoom];
    size_t outgoingSize;
    int64_t lastRow; // the row the editor last heard of (from or to it), -1 for none
    // The editor's keys, the show's tracks in registration order, and which changed this poll.
    TrackDocument document;
    bool changed[kShowTrackCount];
    int32_t keyCount;
    bool saveRequested;
};

// Reads "[HOST:]PORT", "HOST" or "" into host and port (defaults kSyncDefaultHost and
// kSyncDefaultPort; "[::1]:1338" for an IPv6 address). False when the port is not 1 to 65535.
bool parseSyncAddress(const char* text, std::string* host, uint16_t* port);
// Sets the link up for the editor at host:port, disconnected, the first attempt due at once;
// false with *error when the host cannot be resolved. `trackSource` is where SaveTracks writes
// ("": nowhere, and a save says so).
bool startSyncLink(SyncLink* link, const char* host, uint16_t port, TrackRegistry* registry,
                   const char* trackSource, std::string* error);
// One step of the link at the monotonic time `nowMs`: connects, greets, takes what the editor sent
// (at most messagesPerPoll messages), applies its keys to the registry, saves when it asked, and
// sends the row of transport->tick when its whole part changed since the editor last heard a row.
void pollSyncLink(SyncLink* link, uint64_t nowMs, SyncTransport* transport);
// Closes the connection; the tracks keep the keys they have.
void stopSyncLink(SyncLink* link);
// True while linked to an editor that greeted.
bool syncLinkConnected(const SyncLink* link);
