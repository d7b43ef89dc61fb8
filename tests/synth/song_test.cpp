// Song data: delta decoding, stream words and the layout of their planes.
#include "base/memory.h"
#include "support/synth_builder.h"
#include "synth/song.h"

#include <gtest/gtest.h>

namespace {

TEST(SongTest, DecodesTheExampleStreamWord) {
    uint8_t area[] = {0x22, 0xE0, 0xFE, 0x00};
    decodeEventArea(area, 4);
    EXPECT_EQ(std::vector<uint8_t>(area, area + 4), (std::vector<uint8_t>{0x22, 0x02, 0x00, 0x00}));
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

} // namespace
