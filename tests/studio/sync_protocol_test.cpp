// The sync editor protocol's coding: the studio's messages byte for byte, the editor's stream
// decoded whole and byte by byte, and every refusal with its line.
#include "studio/sync_protocol.h"

#include "support/sync_editor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

const SyncBytes kGreeting = {'h', 'e', 'l', 'l', 'o', ',', ' ', 'd', 'e', 'm', 'o', '!'};

struct Decoded {
    std::vector<SyncMessage> messages;
    std::string error; // "" when every byte decoded
    size_t used = 0;   // bytes taken before the end or the refusal
};

// Decodes `bytes` in pieces of `piece` bytes, as reads of that size would hand them over, with
// the fifteen tracks requested once the greeting is in.
Decoded decode(const SyncBytes& bytes, size_t piece) {
    Decoded out;
    SyncDecoder decoder;
    resetSyncDecoder(&decoder);
    for (size_t start = 0; start < bytes.size() && out.error.empty(); start += piece) {
        const uint8_t* at = bytes.data() + start;
        size_t size = std::min(piece, bytes.size() - start);
        while (size > 0) {
            SyncMessage message;
            char error[kSyncErrorRoom];
            const bool greeted = decoder.greeted;
            const int32_t result = decodeSyncMessage(&decoder, &at, &size, &message, error);
            if (result == SyncBadInput) {
                out.error = error;
                break;
            }
            if (result == SyncDecoded && !greeted)
                decoder.tracksRequested = 15;
            else if (result == SyncDecoded)
                out.messages.push_back(message);
        }
        out.used = size_t(at - bytes.data());
    }
    return out;
}

bool same(const SyncMessage& a, const SyncMessage& b) {
    return a.command == b.command && a.track == b.track && a.row == b.row &&
           std::memcmp(&a.value, &b.value, sizeof a.value) == 0 && a.interpolation == b.interpolation &&
           a.pause == b.pause;
}

} // namespace

TEST(SyncProtocol, EncodesTheStudiosMessagesByteForByte) {
    uint8_t out[32];
    ASSERT_EQ(encodeSyncGreeting(out, 19), 19u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 19), "hello, synctracker!");
    EXPECT_EQ(encodeSyncGreeting(out, 18), 0u);

    ASSERT_EQ(encodeSyncGetTrack("mbzoom", out, 11), 11u);
    EXPECT_EQ(SyncBytes(out, out + 11), (SyncBytes{2, 0, 0, 0, 6, 'm', 'b', 'z', 'o', 'o', 'm'}));
    EXPECT_EQ(encodeSyncGetTrack("mbzoom", out, 10), 0u);
    EXPECT_EQ(encodeSyncGetTrack("", out, 4), 0u);

    ASSERT_EQ(encodeSyncSetRow(0x01020304u, out, 5), 5u);
    EXPECT_EQ(SyncBytes(out, out + 5), (SyncBytes{3, 1, 2, 3, 4}));
    ASSERT_EQ(encodeSyncSetRow(2300, out, sizeof out), 5u);
    EXPECT_EQ(SyncBytes(out, out + 5), (SyncBytes{3, 0, 0, 0x08, 0xfc}));
    EXPECT_EQ(encodeSyncSetRow(1, out, 4), 0u);
}

TEST(SyncProtocol, DecodesTheEditorsMessagesInAnyPieces) {
    const SyncBytes stream = kGreeting +
                             SyncBytes{0, 0, 0, 0, 1, 0, 0, 1, 2, 0x3f, 0xc0, 0, 0, 2}
                             // key: track 1, row 258, 1.5, smooth
                             + SyncBytes{0, 0, 0, 0, 14, 0x7f, 0xff, 0xff, 0xff, 0xc7, 0x7f, 0xff, 0xff, 3}
                             // last track, row, ramp
                             + SyncBytes{1, 0, 0, 0, 5, 0, 0, 0x02, 0x7c} // delete: track 5, row 636
                             + SyncBytes{3, 0, 0, 0x08, 0xfc}             // seek to 2300
                             + SyncBytes{4, 1} + SyncBytes{4, 0} + SyncBytes{4, 7} + SyncBytes{5};
    const SyncMessage expected[] = {
        {SyncSetKey, 1, 258, 1.5f, 2, 0},    {SyncSetKey, 14, 2147483647u, -65535.996f, 3, 0},
        {SyncDeleteKey, 5, 636, 0.0f, 0, 0}, {SyncSetRow, 0, 2300, 0.0f, 0, 0},
        {SyncPause, 0, 0, 0.0f, 0, 1},       {SyncPause, 0, 0, 0.0f, 0, 0},
        {SyncPause, 0, 0, 0.0f, 0, 1},       {SyncSaveTracks, 0, 0, 0.0f, 0, 0},
    };
    for (size_t piece : {stream.size(), size_t(1), size_t(3), size_t(13)}) {
        SCOPED_TRACE("pieces of " + std::to_string(piece));
        const Decoded decoded = decode(stream, piece);
        EXPECT_EQ(decoded.error, "");
        ASSERT_EQ(decoded.messages.size(), std::size(expected));
        for (size_t i = 0; i < std::size(expected); ++i)
            EXPECT_TRUE(same(decoded.messages[i], expected[i])) << i;
    }
}

TEST(SyncProtocol, KeepsAPartialMessageUntilItsLastByte) {
    SyncDecoder decoder;
    resetSyncDecoder(&decoder);
    const SyncBytes stream = kGreeting + editorSetKey(2, 40, 0.25f, 1);
    const uint8_t* at = stream.data();
    size_t size = stream.size() - 1;
    SyncMessage message;
    char error[kSyncErrorRoom];
    ASSERT_EQ(decodeSyncMessage(&decoder, &at, &size, &message, error), SyncDecoded);
    EXPECT_TRUE(decoder.greeted);
    decoder.tracksRequested = 3;
    EXPECT_EQ(decodeSyncMessage(&decoder, &at, &size, &message, error), SyncNeedMore);
    EXPECT_EQ(decoder.partialSize, 13u);
    EXPECT_EQ(size, 0u);
    size = 1;
    ASSERT_EQ(decodeSyncMessage(&decoder, &at, &size, &message, error), SyncDecoded);
    EXPECT_TRUE(same(message, {SyncSetKey, 2, 40, 0.25f, 1, 0}));
    EXPECT_EQ(decoder.partialSize, 0u);
}

TEST(SyncProtocol, RefusesWhatNoEditorSendsOrTheTracksCannotHold) {
    const struct {
        const char* what;
        SyncBytes bytes; // after the greeting unless `greeting` is false
        const char* error;
        size_t used; // bytes taken, the refused message's last byte included
        bool greeting = true;
    } cases[] = {
        {"command past the last", {6}, "unknown command 6", 13},
        {"command 255", {255, 0, 0}, "unknown command 255", 13},
        {"the studio's own request", {2, 0, 0, 0, 1, 'x'}, "unknown command 2", 13},
        {"key of a track never requested", editorSetKey(15, 0, 1.0f, 0), "track 15 was never requested", 26},
        {"deletion on a track never requested", editorDeleteKey(0xffffffffu, 3),
         "track 4294967295 was never requested", 21},
        {"interpolation 4", editorSetKey(0, 1, 1.0f, 4), "interpolation 4 is not 0 to 3", 26},
        {"NaN", editorSetKeyBits(3, 9, 0x7fc00000u, 0), "the value at row 9 of track 3 is not finite", 26},
        {"infinity", editorSetKeyBits(3, 9, 0x7f800000u, 1), "the value at row 9 of track 3 is not finite",
         26},
        {"minus infinity", editorSetKeyBits(0, 0, 0xff800000u, 2),
         "the value at row 0 of track 0 is not finite", 26},
        {"key row past int32", editorSetKey(0, 0x80000000u, 1.0f, 0), "row 2147483648 is beyond 2147483647",
         26},
        {"seek past int32", editorSetRow(0xffffffffu), "row 4294967295 is beyond 2147483647", 17},
        {"a valid key, then a bad byte", editorSetKey(0, 0, 1.0f, 0) + SyncBytes{9}, "unknown command 9", 27},
        {"the wrong last greeting byte",
         {'h', 'e', 'l', 'l', 'o', ',', ' ', 'd', 'e', 'm', 'o', '?'},
         "not an editor: its greeting is not \"hello, demo!\"",
         12,
         false},
        {"a web server",
         {'H', 'T', 'T', 'P'},
         "not an editor: its greeting is not \"hello, demo!\"",
         1,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Decoded decoded = decode(c.greeting ? kGreeting + c.bytes : c.bytes, 1);
        EXPECT_EQ(decoded.error, c.error);
        EXPECT_EQ(decoded.used, c.used);
    }
}

TEST(SyncProtocol, TakesTheLargestValuesTheTracksHold) {
    const Decoded decoded = decode(kGreeting + editorSetKeyBits(14, 2147483647u, 0x7f7fffffu, 3) +
                                       editorSetKeyBits(0, 0, 0x80000000u, 0) + editorSetRow(2147483647u),
                                   5);
    EXPECT_EQ(decoded.error, "");
    ASSERT_EQ(decoded.messages.size(), 3u);
    EXPECT_EQ(decoded.messages[0].value, 3.4028235e38f);
    EXPECT_TRUE(std::signbit(decoded.messages[1].value));
    EXPECT_EQ(decoded.messages[2].row, 2147483647u);
}
