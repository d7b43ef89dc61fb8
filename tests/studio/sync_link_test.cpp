// The studio's link against a protocol-level editor over loopback TCP: the greeting and the
// fifteen requests, keys reaching the evaluated tracks, rows both ways, pause, saving, every kind
// of bad input ending the connection and the link coming back, and a link started before its
// editor. The link's clock is the test's, a frame of 16 ms a poll, so no wait depends on timing.
#include "studio/sync_link.h"

#include "framework/parameter_track.h"
#include "support/sync_editor.h"
#include "support/tool_run.h"
#include "synth/song_clock.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace std::string_literals;

namespace {

// The show's tracks in registration order, as an editor's document numbers them.
const std::vector<std::string> kTrackNames = {"mbrotate",      "mbzoom",      "scratch",     "fadetime",
                                              "fadecolor",     "scenetime",   "invert",      "radialblur",
                                              "cameraposz",    "sectiontime", "textsection", "morphingtime1",
                                              "morphingtime2", "shape",       "scene"};
constexpr uint32_t kMbrotate = 0, kFadetime = 3, kShape = 13, kScene = 14;

class SyncLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(editor.listening());
        for (int32_t i = 0; i < kShowTrackCount; ++i) {
            const TrackSource& source = builtinTrack(i);
            registerTrack(&registry, source.name, source.times, source.values, source.modes, source.count);
        }
        start(editor.port());
    }
    void TearDown() override {
        stopSyncLink(&link);
        freeTracks(&registry);
    }
    void start(uint16_t port) {
        std::string error;
        ASSERT_TRUE(startSyncLink(&link, "127.0.0.1", port, &registry, trackSource.c_str(), &error)) << error;
        link.report = [](void* lines, const char* line) {
            static_cast<std::vector<std::string>*>(lines)->push_back(line);
        };
        link.reportContext = &lines;
    }

    // One frame: the link polls, the studio jumps where the editor moved, the editor answers, the
    // clock moves on.
    void frame() {
        pollSyncLink(&link, now, &transport);
        if (transport.seekRow >= 0) seeks.push_back(transport.seekRow);
        if (transport.seekRow >= 0) transport.tick = float(transport.seekRow);
        if (transport.pauseRequest >= 0) pauses.push_back(transport.pauseRequest);
        editor.pump();
        now += 16;
        usleep(200);
    }
    // Frames until `done`, at most 500 (8 s of the link's clock).
    template <typename Done>
    bool frames(Done done) {
        for (int i = 0; i < 500; ++i) {
            frame();
            if (done()) return true;
        }
        return false;
    }
    // Frames until the link's clock reaches `until`.
    void framesUntil(uint64_t until) {
        while (now < until) frame();
    }
    bool linkUp() {
        return frames(
            [&] { return syncLinkConnected(&link) && editor.requested.size() == kTrackNames.size(); });
    }
    // Sends the bytes and runs frames until the editor's further bytes have been handled.
    bool sendAndSettle(const SyncBytes& bytes) {
        if (!editor.send(bytes)) return false;
        for (int i = 0; i < 3; ++i) frame();
        return true;
    }
    // A line the link reports, after its "sync HOST:PORT: ".
    std::string said(const std::string& line) const {
        return "sync 127.0.0.1:" + std::to_string(editor.port()) + ": " + line;
    }
    float value(uint32_t track, float t) {
        return evaluateTrack(registry.tracks[findTrack(&registry, kTrackNames[track].c_str())], t);
    }

    SyncTestEditor editor;
    ScratchFolder folder;
    std::string trackSource = folder / "show.rocket";
    TrackRegistry registry{};
    SyncLink link;
    SyncTransport transport{};
    uint64_t now = 1000;
    std::vector<std::string> lines;
    std::vector<int32_t> seeks, pauses;
};

} // namespace

TEST_F(SyncLinkTest, GreetsAndAsksForTheFifteenTracksInRegistrationOrderThenDropsTheOldKeys) {
    ASSERT_GT(value(kScene, 2400.0f), 6.0f); // the built-in selector, before the editor's document
    ASSERT_TRUE(linkUp());
    EXPECT_TRUE(editor.greeted);
    EXPECT_FALSE(editor.malformed);
    EXPECT_EQ(editor.requested, kTrackNames);
    EXPECT_EQ(lines, std::vector<std::string>{said("connected")});
    for (int32_t i = 0; i < kShowTrackCount; ++i) EXPECT_EQ(registry.tracks[i]->count, 0) << kTrackNames[i];
    EXPECT_EQ(value(kScene, 2400.0f), 0.0f);
}

TEST_F(SyncLinkTest, KeysFromTheEditorReachTheEvaluatedTracks) {
    ASSERT_TRUE(linkUp());
    ASSERT_TRUE(sendAndSettle(editorSetKey(kMbrotate, 10, 2.0f, 1) + editorSetKey(kMbrotate, 20, 6.0f, 0) +
                              editorSetKey(kScene, 0, 3.0f, 0) + editorSetKey(kShape, 30, 10.0f, 0) +
                              editorSetKey(kShape, 0, 0.0f, 3)));
    EXPECT_EQ(value(kMbrotate, 15.0f), 4.0f);
    EXPECT_EQ(value(kMbrotate, 5.0f), 2.0f);
    EXPECT_EQ(value(kMbrotate, 25.0f), 6.0f);
    EXPECT_EQ(value(kScene, 1000.0f), 3.0f);
    EXPECT_EQ(value(kShape, 15.0f), 2.5f); // keys sent out of order: ramp from 0 to 10 over 30 rows
    EXPECT_EQ(value(kFadetime, 15.0f), 0.0f);

    // A key at a row that has one replaces it; a deletion leaves the first key alone.
    ASSERT_TRUE(sendAndSettle(editorSetKey(kMbrotate, 10, 4.0f, 2)));
    EXPECT_EQ(value(kMbrotate, 15.0f), 5.0f);
    EXPECT_EQ(registry.tracks[kMbrotate]->count, 2);
    ASSERT_TRUE(sendAndSettle(editorDeleteKey(kMbrotate, 20) + editorDeleteKey(kMbrotate, 21)));
    EXPECT_EQ(registry.tracks[kMbrotate]->count, 1);
    EXPECT_EQ(value(kMbrotate, 25.0f), 4.0f);
}

TEST_F(SyncLinkTest, TellsTheEditorEachNewWholeTick) {
    transport.tick = 7.25f;
    ASSERT_TRUE(linkUp());
    for (float tick : {7.9f, 8.0f, 8.999f, 40.2f, 39.9f, 39.0f, -3.0f, 0.0f}) {
        transport.tick = tick;
        frame();
        frame();
    }
    EXPECT_EQ(editor.rows, (std::vector<uint32_t>{7, 8, 40, 39, 0}));
}

TEST_F(SyncLinkTest, SeeksWhereTheEditorMovesWithoutEchoingIt) {
    transport.tick = 100.5f;
    ASSERT_TRUE(linkUp());
    ASSERT_TRUE(sendAndSettle(editorSetRow(636)));
    EXPECT_EQ(seeks, std::vector<int32_t>{636});
    ASSERT_TRUE(sendAndSettle(editorSetRow(640) + editorSetRow(641)));
    EXPECT_EQ(seeks, (std::vector<int32_t>{636, 641}));
    EXPECT_EQ(transport.tick, 641.0f);
    transport.tick = 642.1f; // the studio plays on
    frame();
    frame();
    EXPECT_EQ(editor.rows, (std::vector<uint32_t>{100, 642}));
}

TEST_F(SyncLinkTest, PausesAndPlaysAsTheEditorSays) {
    ASSERT_TRUE(linkUp());
    ASSERT_TRUE(sendAndSettle(editorPause(1)));
    ASSERT_TRUE(sendAndSettle(editorPause(0)));
    frame();
    EXPECT_EQ(pauses, (std::vector<int32_t>{1, 0}));
}

TEST_F(SyncLinkTest, SavesTheEditorsKeysAsATrackSourceThatReadsBackExactly) {
    // The file's row count and bookmarks stay; its keys give way to the editor's.
    ASSERT_TRUE(writeTextFile(trackSource, "<sync rows=\"900\"><tracks><track name=\"scene\">"
                                           "<key row=\"0\" value=\"5\" interpolation=\"0\"/></track></tracks>"
                                           "<bookmarks><bookmark row=\"32\"/></bookmarks></sync>"));
    ASSERT_TRUE(linkUp());
    ASSERT_TRUE(sendAndSettle(editorSetKey(kMbrotate, 0, 0.1f, 2) +
                              editorSetKey(kMbrotate, 2147483647u, -1e-7f, 3) +
                              editorSetKey(kScene, 636, 1.0f, 0) + editorSetKey(kScene, 0, 0.0f, 0) +
                              editorSaveTracks() + editorSetKey(kFadetime, 4, 8.5f, 1) + editorSaveTracks()));
    EXPECT_EQ(lines.back(), said("saved the tracks to " + trackSource));
    EXPECT_EQ(lines.size(), 2u); // one save for both requests of the same poll

    TrackDocument saved;
    std::string error;
    ASSERT_TRUE(readTrackFile(trackSource, builtinSongClock().beatsPerMinute, &saved, &error)) << error;
    EXPECT_TRUE(checkAllShowTracks(saved, trackSource, &error)) << error;
    EXPECT_EQ(saved.rows, 900);
    EXPECT_EQ(saved.bookmarks, std::vector<int32_t>{32});
    ASSERT_EQ(saved.tracks.size(), kTrackNames.size());
    for (size_t i = 0; i < kTrackNames.size(); ++i) EXPECT_EQ(saved.tracks[i].name, kTrackNames[i]);
    const TrackKeys& mbrotate = saved.tracks[kMbrotate];
    EXPECT_EQ(mbrotate.times, (std::vector<int32_t>{0, 2147483647}));
    EXPECT_EQ(mbrotate.values, (std::vector<float>{0.1f, -1e-7f}));
    EXPECT_EQ(mbrotate.modes, (std::vector<int8_t>{2, 3}));
    EXPECT_EQ(saved.tracks[kScene].times, (std::vector<int32_t>{0, 636}));
    EXPECT_EQ(saved.tracks[kScene].values, (std::vector<float>{0.0f, 1.0f}));
    EXPECT_EQ(saved.tracks[kFadetime].values, std::vector<float>{8.5f});
    EXPECT_TRUE(saved.tracks[kShape].times.empty());
    EXPECT_EQ(folder.names(), std::vector<std::string>{"show.rocket"}); // no temporary left
}

TEST_F(SyncLinkTest, SaysWhyASaveFailedAndStaysLinked) {
    const struct {
        std::string path;
        std::string line; // after "sync 127.0.0.1:PORT: "
    } cases[] = {
        {folder / "missing/show.rocket",
         "cannot save the tracks to " + (folder / "missing/show.rocket") + ": its folder does not exist"},
        {"", "cannot save the tracks: there is no source tree"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        stopSyncLink(&link);
        trackSource = c.path;
        start(editor.port());
        ASSERT_TRUE(linkUp());
        ASSERT_TRUE(sendAndSettle(editorSaveTracks()));
        EXPECT_EQ(lines.back(), said(c.line));
        EXPECT_TRUE(syncLinkConnected(&link));
    }
}

TEST_F(SyncLinkTest, BadInputEndsTheConnectionKeepsTheKeysAndTheLinkComesBack) {
    const struct {
        const char* what;
        SyncBytes bytes;
        const char* line; // after "disconnected: "
        bool closeAfter = false;
    } cases[] = {
        {"unknown command", {7}, "unknown command 7"},
        {"track never requested", editorSetKey(15, 0, 1.0f, 0), "track 15 was never requested"},
        {"interpolation above 3", editorSetKey(0, 0, 1.0f, 4), "interpolation 4 is not 0 to 3"},
        {"value not finite", editorSetKeyBits(2, 5, 0x7fc00001u, 0),
         "the value at row 5 of track 2 is not finite"},
        {"flood", SyncBytes(2 * 9, 4), "the editor sent more than 8 messages at once"},
        {"message cut off", SyncBytes{0, 0, 0, 0, 0, 0},
         "the editor closed the connection in the middle of a message", true},
        {"editor gone", {}, "the editor closed the connection", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(linkUp());
        lines.clear();
        const int32_t connections = editor.connections;
        link.messagesPerPoll = 8;
        ASSERT_TRUE(sendAndSettle(editorSetKey(kMbrotate, 0, 7.0f, 0) + SyncBytes(2 * 7, 4)));
        ASSERT_TRUE(syncLinkConnected(&link));
        ASSERT_TRUE(editor.send(c.bytes));
        if (c.closeAfter) editor.dropStudio();
        ASSERT_TRUE(frames([&] { return !syncLinkConnected(&link); }));
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0], said("disconnected: "s + c.line));
        EXPECT_EQ(value(kMbrotate, 50.0f), 7.0f);

        // No attempt within the two seconds, then one.
        framesUntil(now + kSyncRetryMs - 100);
        editor.pump();
        EXPECT_EQ(editor.connections, connections);
        ASSERT_TRUE(linkUp());
        EXPECT_EQ(editor.connections, connections + 1);
        EXPECT_EQ(value(kMbrotate, 50.0f), 0.0f);
        link.messagesPerPoll = kSyncMessagesPerPoll;
    }
}

TEST_F(SyncLinkTest, TakesAsManyMessagesAsThePollAllows) {
    ASSERT_TRUE(linkUp());
    link.messagesPerPoll = 8;
    ASSERT_TRUE(sendAndSettle(SyncBytes(2 * 8, 4)));
    EXPECT_TRUE(syncLinkConnected(&link));
    EXPECT_EQ(pauses.size(), 1u); // the last request of the poll
}

TEST_F(SyncLinkTest, GivesUpOnAServerThatDoesNotGreet) {
    editor.greetingReply = "";
    frames([&] { return editor.greeted; });
    framesUntil(now + kSyncRetryMs);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], said("disconnected: no greeting from the editor"));
    lines.clear();
    editor.greetingReply = "hello, demon";
    editor.dropStudio();
    ASSERT_TRUE(frames([&] { return !lines.empty(); }));
    EXPECT_EQ(lines[0], said("disconnected: not an editor: its greeting is not \"hello, demo!\""));
}

TEST_F(SyncLinkTest, AGreetingThatWaitedOutALongFrameStillCounts) {
    ASSERT_TRUE(frames([&] { return editor.greeted; })); // the editor has answered
    usleep(20000);
    now += 10 * kSyncRetryMs; // a frame of twenty seconds (a shader build, say)
    frame();
    EXPECT_TRUE(syncLinkConnected(&link));
    EXPECT_EQ(lines, std::vector<std::string>{said("connected")});
}

TEST_F(SyncLinkTest, StartedBeforeTheEditorItConnectsOnceTheEditorIsUp) {
    const uint16_t port = freeLoopbackPort();
    ASSERT_NE(port, 0);
    start(port);
    framesUntil(now + 3 * kSyncRetryMs);
    EXPECT_FALSE(syncLinkConnected(&link));
    EXPECT_TRUE(lines.empty()); // refused attempts are quiet
    SyncTestEditor late(port);
    ASSERT_TRUE(late.listening());
    ASSERT_TRUE(frames([&] {
        late.pump();
        return syncLinkConnected(&link) && late.requested.size() == kTrackNames.size();
    }));
    EXPECT_EQ(late.requested, kTrackNames);
}

TEST(SyncAddress, ReadsHostAndPortWithTheirDefaults) {
    const struct {
        const char* text;
        const char* host;
        uint16_t port;
    } cases[] = {
        {"1338", "127.0.0.1", 1338},
        {"", "127.0.0.1", 1338},
        {"65535", "127.0.0.1", 65535},
        {"1", "127.0.0.1", 1},
        {"editor.local:1339", "editor.local", 1339},
        {"editor.local", "editor.local", 1338},
        {":1340", "127.0.0.1", 1340},
        {"[::1]:1341", "::1", 1341},
        {"[::1]", "::1", 1338},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string host;
        uint16_t port = 0;
        ASSERT_TRUE(parseSyncAddress(c.text, &host, &port));
        EXPECT_EQ(host, c.host);
        EXPECT_EQ(port, c.port);
    }
    for (const char* bad :
         {"0", "65536", "100000", "editor.local:", "editor.local:13a8", "[::1", "[::1]1338", "[]:1338"}) {
        std::string host;
        uint16_t port = 0;
        EXPECT_FALSE(parseSyncAddress(bad, &host, &port)) << bad;
    }
}

TEST(SyncAddress, AnUnknownHostIsSaidAtTheStart) {
    socketServices()->resolveAddress = [](const char*, uint16_t, SocketAddress*) { return int32_t(0); };
    SyncLink link;
    std::string error;
    EXPECT_FALSE(startSyncLink(&link, "editor.invalid", 1338, nullptr, "show.rocket", &error));
    resetSocketServices();
    EXPECT_EQ(error, "sync: unknown host 'editor.invalid'");
    stopSyncLink(&link); // closes nothing
}
