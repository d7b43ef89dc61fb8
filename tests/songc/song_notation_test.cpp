// What a song source's notation makes of time: the sequencer tick each position lands on,
// how long notes sound under an articulation, velocity changes, cue lists, and one key per
// pitch. Worked numbers at 125 beats per minute, where a beat is 330.75 sequencer ticks.
#include "songc/songc.h"

#include "synth/song.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Event {
    int kind; // 0 note-off, 1 note-on, 3 controller
    uint32_t tick;
    int value, velocity;
    bool operator==(const Event&) const = default;
};

// Every event of channel 0, stream by stream in stored order.
std::vector<Event> eventsOf(const std::vector<uint8_t>& bytes) {
    std::vector<Event> events;
    DecodedSong song{};
    if (!decodeSong(bytes.data(), bytes.size(), &song)) return events;
    const uint8_t* at = song.streams;
    for (uint32_t s = 0; s < song.streamCount; ++s) {
        const uint32_t word = readStreamWord(at);
        const uint32_t n = streamEventCount(word);
        for (uint32_t i = 0; i < n && streamChannel(word) == 0; ++i)
            events.push_back({streamKind(word), eventTick(at + 4, n, i), eventValue(at + 4, n, i),
                              streamKind(word) == kNoteOnStream ? eventVelocity(at + 4, n, i) : 0});
        at += streamBytes(word);
    }
    releaseDecodedSong(&song);
    return events;
}

// A song of one pattern `notes` placed by one arrangement entry with `entry` as more keys.
std::string song(int ticksPerBeat, const std::string& pattern, const std::string& entry = "") {
    return "ticks_per_beat = " + std::to_string(ticksPerBeat) +
           "\narrangement = [ { at = \"1:1\", channel = 0, " + "play = \"p\"" +
           (entry.empty() ? "" : ", " + entry) + " } ]\n[patterns]\np = " + pattern + "\n";
}

std::vector<Event> compiled(const std::string& source) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(compileSong(source, "s.toml", nullptr, &bytes, &error)) << error << "\n" << source;
    return eventsOf(bytes);
}

constexpr int kOff = 0, kOn = 1, kControl = 3;

TEST(SongNotation, PositionsLandOnTheNearestTickAndTiesOnTheLater) {
    const struct {
        int ticksPerBeat;
        std::string pattern;
        std::vector<Event> events; // note-offs, then note-ons
    } cases[] = {
        // A thirty-second is 41.34375 ticks: the second lands on 82.6875, rounded up.
        {8,
         "\"r/32 C4/32 D4\"",
         {{kOff, 83, 60, 0}, {kOff, 124, 62, 0}, {kOn, 41, 60, 100}, {kOn, 83, 62, 100}}},
        // Beat 3 is 661.5 ticks, exactly between two: it goes to the later one.
        {8, "\"r/2 C4/2\"", {{kOff, 1323, 60, 0}, {kOn, 662, 60, 100}}},
        // At 1,323 to the beat a tick is a quarter of a sequencer tick: notes start on 0.25,
        // 1.5 and 2.75 and end on 1.25, 2.5 and 3.75.
        {1323,
         "\"r:1 C4:4 r:1 D4:4 r:1 E4:4\"",
         {{kOff, 1, 60, 0},
          {kOff, 3, 62, 0},
          {kOff, 4, 64, 0},
          {kOn, 0, 60, 100},
          {kOn, 2, 62, 100},
          {kOn, 3, 64, 100}}},
        // Lengths times N: three quarters end on 992.25, tick 992.
        {8, "\"C4/4*3\"", {{kOff, 992, 60, 0}, {kOn, 0, 60, 100}}},
    };
    for (const auto& c : cases) EXPECT_EQ(compiled(song(c.ticksPerBeat, c.pattern)), c.events) << c.pattern;
}

TEST(SongNotation, TheLastTickASongHoldsIsTheBoundary) {
    // 12682:1:1009 is tick 16,777,215.25 and still the last one; 12682:1:1010 is 16,777,215.5, a
    // tie, and goes past it.
    const std::string head =
        "ticks_per_beat = 1323\n[patterns]\nv = \"cc1=5\"\n[[arrangement]]\nchannel = 0\n"
        "play = \"v\"\nat = ";
    EXPECT_EQ(compiled(head + "\"12682:1:1009\""), (std::vector<Event>{{kControl, 16777215, 5, 0}}));
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(compileSong(head + "\"12682:1:1010\"", "s.toml", nullptr, &bytes, &error));
    EXPECT_EQ(error, "s.toml:4: time past the last tick a song can hold (16777215)");
    // The song's end position rounds by the same rule: beat 3 ends it at tick 662.
    ASSERT_TRUE(compileSong("ticks_per_beat = 8\nlength = \"1:3\"", "s.toml", nullptr, &bytes, &error))
        << error;
    EXPECT_EQ(bytes[4] | bytes[5] << 8 | bytes[6] << 16, 662 * 64);
}

TEST(SongNotation, ArticulationSetsHowLongNotesSound) {
    const struct {
        std::string pattern, entry;
        uint32_t firstOff, secondOff; // of C4/4 at 0 and D4/2 at 8 (tick 331)
    } cases[] = {
        {"\"C4/4 D4/2\"", "", 331, 992},
        // 90 %: 7.2 ticks is 297.675; 14.4 after 8 is 926.33.
        {"{ articulation = 0.9, notes = \"C4/4 D4/2\" }", "", 298, 926},
        // Every note a sixteenth: 82.6875 and 413.4375.
        {"{ articulation = \"/16\", notes = \"C4/4 D4/2\" }", "", 83, 413},
        // A thirty-second off each: 7 and 23 ticks, 289.40625 and 950.90625.
        {"{ articulation = \"-/32\", notes = \"C4/4 D4/2\" }", "", 289, 951},
        // The entry's articulation replaces the pattern's.
        {"{ articulation = 0.9, notes = \"C4/4 D4/2\" }", "articulation = \"/8.\"", 248, 579},
        // A gap as long as the note leaves it one sequencer tick; D4 ends on 661.5, a tie.
        {"{ articulation = \"-/4\", notes = \"C4/4 D4/2\" }", "", 1, 662},
    };
    for (const auto& c : cases) {
        const std::vector<Event> events = compiled(song(8, c.pattern, c.entry));
        ASSERT_EQ(events.size(), 4u) << c.pattern;
        EXPECT_EQ(events[0], (Event{kOff, c.firstOff, 60, 0})) << c.pattern << " " << c.entry;
        EXPECT_EQ(events[1], (Event{kOff, c.secondOff, 62, 0})) << c.pattern << " " << c.entry;
        EXPECT_EQ(events[3], (Event{kOn, 331, 62, 100})) << c.pattern;
    }
}

TEST(SongNotation, EntriesChangeVelocityAndPlayAtEachCue) {
    const std::string source =
        "ticks_per_beat = 4\narrangement = [\n"
        "  { at = [\"2:1\", \"1:1\"], channel = 0, play = \"p\", velocity = -30 },\n"
        "  { at = \"3:1\", channel = 0, play = \"p\", velocity = 27, transpose = 2 },\n"
        "]\n[patterns]\np = \"C4/4@100\"\n";
    EXPECT_EQ(compiled(source), (std::vector<Event>{{kOff, 331, 60, 0},
                                                    {kOff, 1654, 60, 0},
                                                    {kOff, 2977, 62, 0},
                                                    {kOn, 0, 60, 70},
                                                    {kOn, 1323, 60, 70},
                                                    {kOn, 2646, 62, 127}}));
}

TEST(SongNotation, ANoteEndsWhereItsPitchStrikesAgain) {
    const struct {
        std::string pattern;
        std::vector<Event> events;
    } cases[] = {
        // The whole note is cut where the second C4 starts; E4 sounds through untouched.
        {"\"C4/1& E4/1& r/4 C4/4\"",
         {{kOff, 331, 60, 0},
          {kOff, 662, 60, 0},
          {kOff, 1323, 64, 0},
          {kOn, 0, 60, 100},
          {kOn, 0, 64, 100},
          {kOn, 331, 60, 100}}},
        // Two of one pitch at once: the one that ends last sounds.
        {"\"C4/4@90& C4/2@80\"", {{kOff, 662, 60, 0}, {kOn, 0, 60, 80}}},
        // Of two that end together, the louder.
        {"\"C4/4@70& C4@90\"", {{kOff, 331, 60, 0}, {kOn, 0, 60, 90}}},
    };
    for (const auto& c : cases) EXPECT_EQ(compiled(song(4, c.pattern)), c.events) << c.pattern;
}

} // namespace
