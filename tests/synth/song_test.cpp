// Song data: delta decoding, stream words and the layout of their planes.
#include "framework/memory.h"
#include "support/synth_builder.h"
#include "synth/song.h"

#include <gtest/gtest.h>

#include <bit>

namespace {

std::vector<uint8_t> songWithArea(const std::vector<uint8_t>& coded, int32_t statedLength) {
    std::vector<uint8_t> song(16, 0);
    uint32_t tempo = std::bit_cast<uint32_t>(125.0f);
    for (int i = 0; i < 4; ++i) song[i] = static_cast<uint8_t>(tempo >> (8 * i));
    song[8] = 64;
    for (int i = 0; i < 4; ++i)
        song[12 + i] = static_cast<uint8_t>(static_cast<uint32_t>(statedLength) >> (8 * i));
    for (uint8_t byte : coded) song.push_back(byte);
    for (int i = 0; i < 4; ++i) song.push_back(0xFF);
    return song;
}

TEST(SongTest, DecodesTheExampleStreamWord) {
    uint8_t area[] = {0x22, 0xE0, 0xFE, 0x00};
    decodeEventArea(area, 4);
    EXPECT_EQ(area[0], 0x22);
    EXPECT_EQ(area[1], 0x02);
    EXPECT_EQ(area[2], 0x00);
    EXPECT_EQ(area[3], 0x00);
    uint32_t word = readStreamWord(area);
    EXPECT_EQ(word, 0x00000222u);
    EXPECT_EQ(streamKind(word), 0);
    EXPECT_EQ(streamChannel(word), 0);
    EXPECT_EQ(streamEventCount(word), 546u);
    EXPECT_EQ(streamPlaneCount(word), 4u); // note-off
}

TEST(SongTest, RunningSumCrossesStreamBoundariesAndHeaderIsRead) {
    SongBuilder builder;
    builder.tempo = 140.0f;
    builder.lengthSamples = 12345;
    builder.noteOffs(3, {{7, 60}, {300, 61}})
        .noteOns(3, {{0, 60, 100}, {7, 61, 90}})
        .controller(5, 115, {{70000, 100}});
    std::vector<uint8_t> bytes = builder.bytes();
    DecodedSong song;
    ASSERT_EQ(decodeSong(bytes.data(), bytes.size(), &song), 1);
    EXPECT_EQ(song.header.tempo, 140.0f);
    EXPECT_EQ(song.header.lengthSamples, 12345);
    EXPECT_EQ(song.header.samplesPerTick, 64);
    EXPECT_EQ(song.streamCount, 3u);
    std::vector<uint8_t> plain = builder.plainArea();
    for (size_t i = 0; i < plain.size(); ++i) ASSERT_EQ(song.streams[i], plain[i]) << i;
    EXPECT_EQ(readStreamWord(song.streams + plain.size()), kEndOfStreams);

    // The third stream: controller 115 of channel 5, one event at tick 70,000.
    const uint8_t* at = song.streams + streamBytes(readStreamWord(song.streams));
    at += streamBytes(readStreamWord(at));
    uint32_t word = readStreamWord(at);
    EXPECT_EQ(streamKind(word), kControllerStream);
    EXPECT_EQ(streamController(word), 115);
    EXPECT_EQ(streamChannel(word), 5);
    EXPECT_EQ(eventTick(at + 4, 1, 0), 70000u);
    EXPECT_EQ(eventValue(at + 4, 1, 0), 100);
    releaseDecodedSong(&song);
}

TEST(SongTest, StreamSizesFollowTheKind) {
    EXPECT_EQ(streamBytes(0x10000000u), 4u); // N = 0: the stream word alone
    EXPECT_EQ(streamBytes(0x01000003u), 4u + 5 * 3);
    EXPECT_EQ(streamBytes(0x03000003u), 4u + 4 * 3);
    for (uint32_t kind : {0u, 2u, 4u, 5u, 9u, 15u})
        EXPECT_EQ(streamBytes(kind << 24 | 3u), 4u + 4 * 3) << kind;
}

TEST(SongTest, AnEmptyStreamIsFollowedDirectlyByTheNext) {
    SongBuilder builder;
    builder.noteOns(0, {}).noteOffs(1, {{2, 40}});
    EXPECT_EQ(builder.plainArea().size(), 4u + 4u + 4u);
    std::vector<uint8_t> bytes = builder.bytes();
    DecodedSong song;
    ASSERT_EQ(decodeSong(bytes.data(), bytes.size(), &song), 1);
    EXPECT_EQ(song.streamCount, 2u);
    EXPECT_EQ(streamChannel(readStreamWord(song.streams + 4)), 1);
    releaseDecodedSong(&song);
}

TEST(SongTest, StreamsRunningPastTheAreaAreCutAndShortInputIsRefused) {
    // A note-off stream claiming 200 events in an area of 12 bytes.
    std::vector<uint8_t> plain = {0xC8, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    SongBuilder valid;
    valid.noteOffs(0, {{1, 50}});
    std::vector<uint8_t> area = valid.plainArea();
    area.insert(area.end(), plain.begin(), plain.end());
    std::vector<uint8_t> bytes = songWithArea(deltaEncode(area), static_cast<int32_t>(area.size()));
    DecodedSong song;
    ASSERT_EQ(decodeSong(bytes.data(), bytes.size(), &song), 1);
    EXPECT_EQ(song.streamCount, 1u);
    EXPECT_EQ(readStreamWord(song.streams + 8), kEndOfStreams);
    releaseDecodedSong(&song);

    // A stated length beyond the bytes given is cut to them.
    bytes = songWithArea(deltaEncode(valid.plainArea()), 1 << 30);
    ASSERT_EQ(decodeSong(bytes.data(), bytes.size(), &song), 1);
    EXPECT_EQ(song.streamCount, 1u);
    releaseDecodedSong(&song);

    int64_t before = memLiveBlocks();
    EXPECT_EQ(decodeSong(bytes.data(), 15, &song), 0);
    EXPECT_EQ(decodeSong(nullptr, 0, &song), 0);
    EXPECT_EQ(memLiveBlocks(), before);
}

} // namespace
