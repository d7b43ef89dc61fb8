// The messages between the studio and a sync editor (the GNU Rocket protocol over TCP): encoding
// what the studio sends and decoding the editor's byte stream incrementally into records. No OS
// calls; the link (sync_link.h) moves the bytes.
//
// The studio is the client. It sends the greeting "hello, synctracker!", the editor answers
// "hello, demo!". Integers are big-endian u32, values IEEE float32 sent as their bits, big-endian.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr char kSyncClientGreeting[] = "hello, synctracker!";
constexpr char kSyncEditorGreeting[] = "hello, demo!";
constexpr size_t kSyncClientGreetingSize = sizeof kSyncClientGreeting - 1; // 19, no terminator sent
constexpr size_t kSyncEditorGreetingSize = sizeof kSyncEditorGreeting - 1; // 12

// Each command is its first byte. GetTrack is the studio's only; an editor sending it is refused.
enum SyncCommand : uint8_t {
    SyncSetKey = 0,     // editor: u32 track, u32 row, f32 value, u8 interpolation
    SyncDeleteKey = 1,  // editor: u32 track, u32 row
    SyncGetTrack = 2,   // studio: u32 name length, the name's bytes
    SyncSetRow = 3,     // both: u32 row (the editor seeks; the studio says where it plays)
    SyncPause = 4,      // editor: u8 flag, 1 pause and 0 play
    SyncSaveTracks = 5, // editor: the studio writes its tracks to the track source
};

// Rows are clock ticks, which the tracks hold as int32: larger rows are refused.
constexpr uint32_t kSyncLastRow = 2147483647u;
// The highest interpolation (3, ramp, the tracks' EaseIn).
constexpr uint8_t kSyncLastInterpolation = 3;
// Room for the longest editor message (SetKey, 14 bytes) or the editor's greeting.
constexpr size_t kSyncMessageRoom = 16;
// Room for the line that says why a stream was refused.
constexpr size_t kSyncErrorRoom = 96;

// One message from the editor. Only the fields of its command are set; the rest stay zero.
struct SyncMessage {
    SyncCommand command;
    uint32_t track;        // SetKey, DeleteKey: an index below the number of tracks requested
    uint32_t row;          // SetKey, DeleteKey, SetRow: at most kSyncLastRow
    float value;           // SetKey: finite
    uint8_t interpolation; // SetKey: 0 to kSyncLastInterpolation
    uint8_t pause;         // Pause: 1 pause (any non-zero flag), 0 play
};

// The decoder of the editor's stream: the greeting first, then messages. A message split across
// reads is kept in `partial` until its last byte comes.
struct SyncDecoder {
    uint32_t tracksRequested; // GetTrack messages sent so far: indices below it are valid
    bool greeted;             // the editor's greeting has been read
    uint8_t partial[kSyncMessageRoom];
    uint32_t partialSize;
};

enum SyncDecodeResult : int32_t {
    SyncNeedMore = 0,  // every byte was taken into the partial message
    SyncDecoded = 1,   // *message holds a message (or the greeting was read: see greeted)
    SyncBadInput = -1, // the stream is not an editor's; *error says why
};

// Starts a decoder for a new connection: no greeting read, no tracks requested, nothing partial.
void resetSyncDecoder(SyncDecoder* decoder);
// Takes bytes from the front of *bytes (advancing it and *size) until one message is complete,
// is refused, or the bytes run out. The complete greeting is reported as SyncDecoded with
// `greeted` newly set and *message untouched. On SyncBadInput *error (kSyncErrorRoom bytes) holds
// one line without a newline, such as "unknown command 9"; reset the decoder before using it again.
int32_t decodeSyncMessage(SyncDecoder* decoder, const uint8_t** bytes, size_t* size, SyncMessage* message,
                          char* error);

// The encoders write the message at `out` and return its size, or 0 when it does not fit in `room`.
size_t encodeSyncGreeting(uint8_t* out, size_t room);
size_t encodeSyncGetTrack(const char* name, uint8_t* out, size_t room);
size_t encodeSyncSetRow(uint32_t row, uint8_t* out, size_t room);
