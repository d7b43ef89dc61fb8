#include "studio/sync_protocol.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// The size of each editor message by command, command byte included; 0 for a command no editor
// sends (GetTrack travels the other way).
constexpr uint8_t kEditorMessageSize[] = {
    14, // SyncSetKey
    9,  // SyncDeleteKey
    0,  // SyncGetTrack
    5,  // SyncSetRow
    2,  // SyncPause
    1,  // SyncSaveTracks
};
constexpr uint32_t kCommandCount = sizeof kEditorMessageSize;
static_assert(kSyncMessageRoom >= 14 && kSyncMessageRoom >= kSyncEditorGreetingSize);

uint32_t readBigEndian(const uint8_t* at) {
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | uint32_t(at[3]);
}

void writeBigEndian(uint32_t value, uint8_t* at) {
    at[0] = uint8_t(value >> 24);
    at[1] = uint8_t(value >> 16);
    at[2] = uint8_t(value >> 8);
    at[3] = uint8_t(value);
}

__attribute__((format(printf, 2, 3))) int32_t refuse(char* error, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(error, kSyncErrorRoom, format, arguments);
    va_end(arguments);
    return SyncBadInput;
}

// Reads the greeting byte by byte, so that a stream that is not an editor's is refused at its
// first wrong byte rather than after twelve.
int32_t decodeGreeting(SyncDecoder* decoder, const uint8_t** bytes, size_t* size, char* error) {
    while (*size > 0 && decoder->partialSize < kSyncEditorGreetingSize) {
        const uint8_t byte = **bytes;
        ++*bytes;
        --*size;
        if (byte != uint8_t(kSyncEditorGreeting[decoder->partialSize]))
            return refuse(error, "not an editor: its greeting is not \"%s\"", kSyncEditorGreeting);
        decoder->partial[decoder->partialSize++] = byte;
    }
    if (decoder->partialSize < kSyncEditorGreetingSize) return SyncNeedMore;
    decoder->greeted = true;
    decoder->partialSize = 0;
    return SyncDecoded;
}

// Fills *message from the complete message in `at` and checks what the tracks cannot hold.
int32_t parseMessage(const SyncDecoder* decoder, const uint8_t* at, SyncMessage* message, char* error) {
    *message = {};
    message->command = SyncCommand(at[0]);
    switch (message->command) {
    case SyncSetKey:
    case SyncDeleteKey:
        message->track = readBigEndian(at + 1);
        message->row = readBigEndian(at + 5);
        if (message->track >= decoder->tracksRequested)
            return refuse(error, "track %u was never requested", message->track);
        break;
    case SyncSetRow:
        message->row = readBigEndian(at + 1);
        break;
    case SyncPause:
        message->pause = at[1] != 0;
        break;
    default: // SyncSaveTracks
        break;
    }
    if (message->row > kSyncLastRow) return refuse(error, "row %u is beyond %u", message->row, kSyncLastRow);
    if (message->command != SyncSetKey) return SyncDecoded;
    const uint32_t bits = readBigEndian(at + 9);
    std::memcpy(&message->value, &bits, sizeof bits);
    message->interpolation = at[13];
    if (!std::isfinite(message->value))
        return refuse(error, "the value at row %u of track %u is not finite", message->row, message->track);
    if (message->interpolation > kSyncLastInterpolation)
        return refuse(error, "interpolation %u is not 0 to %u", message->interpolation,
                      kSyncLastInterpolation);
    return SyncDecoded;
}

} // namespace

void resetSyncDecoder(SyncDecoder* decoder) {
    *decoder = {};
}

int32_t decodeSyncMessage(SyncDecoder* decoder, const uint8_t** bytes, size_t* size, SyncMessage* message,
                          char* error) {
    if (!decoder->greeted) return decodeGreeting(decoder, bytes, size, error);
    if (*size == 0) return SyncNeedMore;
    const uint8_t command = decoder->partialSize ? decoder->partial[0] : **bytes;
    if (command >= kCommandCount || kEditorMessageSize[command] == 0) {
        ++*bytes;
        --*size;
        return refuse(error, "unknown command %u", command);
    }
    const size_t whole = kEditorMessageSize[command];
    const size_t take = std::min(whole - decoder->partialSize, *size);
    std::memcpy(decoder->partial + decoder->partialSize, *bytes, take);
    decoder->partialSize += uint32_t(take);
    *bytes += take;
    *size -= take;
    if (decoder->partialSize < whole) return SyncNeedMore;
    decoder->partialSize = 0;
    return parseMessage(decoder, decoder->partial, message, error);
}

size_t encodeSyncGreeting(uint8_t* out, size_t room) {
    if (room < kSyncClientGreetingSize) return 0;
    std::memcpy(out, kSyncClientGreeting, kSyncClientGreetingSize);
    return kSyncClientGreetingSize;
}

size_t encodeSyncGetTrack(const char* name, uint8_t* out, size_t room) {
    const size_t length = std::strlen(name);
    if (room < 5 || length > room - 5) return 0;
    out[0] = SyncGetTrack;
    writeBigEndian(uint32_t(length), out + 1);
    std::memcpy(out + 5, name, length);
    return 5 + length;
}

size_t encodeSyncSetRow(uint32_t row, uint8_t* out, size_t room) {
    if (room < 5) return 0;
    out[0] = SyncSetRow;
    writeBigEndian(row, out + 1);
    return 5;
}
