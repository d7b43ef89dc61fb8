// The track compiler: the committed track source against the arrays the show was choreographed
// with, both editors' dialects, every refusal with its line, exact values, and the command.
#include "trackc/track_file.h"

#include "framework/track_data.h"
#include "support/tool_run.h"
#include "synth/song_clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace std::string_literals;

namespace {

const std::string kShowSource = std::string(QUORLAX_SOURCE_DIR) + "/src/tracks/show.rocket";

// FNV-1a over each track in registration order: its name with the terminating zero, the key count
// (int32), then the times, values and modes arrays as the show holds them. 0x557e85e340959ce6 is
// this sum over the fifteen tracks as they stood in C++ before they moved into the track source.
constexpr uint64_t kChoreographySum = 0x557e85e340959ce6ull;

struct Sum {
    uint64_t value = 0xcbf29ce484222325ull;
    void add(const void* data, size_t size) {
        for (size_t i = 0; i < size; ++i)
            value = (value ^ static_cast<const uint8_t*>(data)[i]) * 0x100000001b3ull;
    }
    void addTrack(const char* name, int32_t count, const int32_t* times, const float* values,
                  const int8_t* modes) {
        add(name, std::strlen(name) + 1);
        add(&count, sizeof count);
        add(times, sizeof *times * static_cast<size_t>(count));
        add(values, sizeof *values * static_cast<size_t>(count));
        add(modes, sizeof *modes * static_cast<size_t>(count));
    }
};

const TrackKeys* findKeys(const TrackDocument& document, const char* name) {
    for (const TrackKeys& track : document.tracks)
        if (track.name == name) return &track;
    return nullptr;
}

bool read(const std::string& text, TrackDocument* document, std::string* error) {
    return readTrackDocument(text, "t.rocket", builtinSongClock().beatsPerMinute, document, error);
}

} // namespace

TEST(TrackSource, CommittedFileCompilesToTheChoreographysArrays) {
    TrackDocument document;
    std::string error;
    ASSERT_TRUE(readTrackFile(kShowSource, builtinSongClock().beatsPerMinute, &document, &error)) << error;
    ASSERT_TRUE(checkAllShowTracks(document, kShowSource, &error)) << error;
    Sum fromFile, builtIn;
    int32_t keys = 0;
    for (int32_t i = 0; i < kShowTrackCount; ++i) {
        const TrackKeys* track = findKeys(document, kShowTracks[i].name);
        ASSERT_NE(track, nullptr) << kShowTracks[i].name;
        fromFile.addTrack(track->name.c_str(), static_cast<int32_t>(track->times.size()), track->times.data(),
                          track->values.data(), track->modes.data());
        const TrackSource& source = builtinTrack(i);
        EXPECT_STREQ(source.name, kShowTracks[i].name);
        builtIn.addTrack(source.name, source.count, source.times, source.values, source.modes);
        keys += source.count;
    }
    EXPECT_EQ(fromFile.value, kChoreographySum);
    EXPECT_EQ(builtIn.value, kChoreographySum);
    EXPECT_EQ(keys, 567);
    // The file is written in the show's order and the writer's own form: it prints back unchanged.
    EXPECT_EQ(writeTrackDocument(document), readTextFile(kShowSource));
}

TEST(TrackSource, DumpPrintsTheCommittedFile) {
    const ToolRun run = runTool("trackc", "--dump");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, readTextFile(kShowSource));
}

TEST(TrackSource, BothEditorsDialectsReadToTheSameTracks) {
    const std::string qt = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<sync rows=\"3679\">\n"
                           " <tracks>\n"
                           "  <track name=\"invert\">\n"
                           "   <key row=\"0\" value=\"0.000000\" interpolation=\"0\"/>\n"
                           "   <key row=\"1324\" value=\"1.000000\" interpolation=\"1\"/>\n"
                           "  </track>\n"
                           "  <track name=\"scene\">\n"
                           "   <key row=\"636\" value=\"1\" interpolation=\"3\"/>\n"
                           "  </track>\n"
                           " </tracks>\n"
                           " <bookmarks>\n"
                           "  <bookmark row=\"636\"/>\n"
                           "  <bookmark row=\"892\"/>\n"
                           " </bookmarks>\n"
                           "</sync>\n";
    const std::string openGl =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<rootElement>\n"
        "    <tracks rows=\"3679\" startRow=\"0\" endRow=\"3678\" rowsPerBeat=\"8\" beatsPerMin=\"125\">\n"
        "        <track name=\"scene\" folded=\"0\" muteKeyCount=\"0\" color=\"ffb27474\">\n"
        "            <key row=\"636\" value=\"1\" interpolation=\"3\" />\n"
        "        </track>\n"
        "        <track name=\"invert\" folded=\"1\" muteKeyCount=\"0\" color=\"ff8cb56e\">\n"
        "            <key row=\"0\" value=\"0\" interpolation=\"0\" />\n"
        "            <key row=\"1324\" value=\"1\" interpolation=\"1\" />\n"
        "            <note>ignored</note>\n"
        "        </track>\n"
        "    </tracks>\n"
        "    <bookmarks>\n"
        "        <bookmark row=\"636\" />\n"
        "        <bookmark row=\"892\" />\n"
        "    </bookmarks>\n"
        "</rootElement>\n";
    TrackDocument fromQt, fromOpenGl;
    std::string error;
    ASSERT_TRUE(read(qt, &fromQt, &error)) << error;
    ASSERT_TRUE(read(openGl, &fromOpenGl, &error)) << error;
    for (const TrackDocument* document : {&fromQt, &fromOpenGl}) {
        EXPECT_EQ(document->rows, 3679);
        EXPECT_EQ(document->bookmarks, (std::vector<int32_t>{636, 892}));
        const TrackKeys* invert = findKeys(*document, "invert");
        const TrackKeys* scene = findKeys(*document, "scene");
        ASSERT_TRUE(invert && scene);
        EXPECT_EQ(invert->times, (std::vector<int32_t>{0, 1324}));
        EXPECT_EQ(invert->values, (std::vector<float>{0.0f, 1.0f}));
        EXPECT_EQ(invert->modes, (std::vector<int8_t>{0, 1}));
        EXPECT_EQ(scene->times, std::vector<int32_t>{636});
        EXPECT_EQ(scene->modes, std::vector<int8_t>{3});
    }
    // Written back, both are the same file: the Qt dialect in the show's order (invert before
    // scene), bookmarks kept.
    EXPECT_EQ(writeTrackDocument(fromOpenGl), writeTrackDocument(fromQt));
    EXPECT_NE(writeTrackDocument(fromQt).find("<bookmark row=\"892\"/>"), std::string::npos);
    EXPECT_LT(writeTrackDocument(fromQt).find("invert"), writeTrackDocument(fromQt).find("\"scene\""));
}

TEST(TrackSource, RefusesWithFileAndLine) {
    // Line 1 <sync>, line 2 <tracks>, the body from line 3.
    auto qt = [](const std::string& body) { return "<sync>\n<tracks>\n" + body + "</tracks>\n</sync>\n"; };
    auto key = [](const std::string& row, const std::string& value, const std::string& mode) {
        return "<key row=\"" + row + "\" value=\"" + value + "\" interpolation=\"" + mode + "\"/>\n";
    };
    auto track = [](const std::string& name, const std::string& keys) {
        return "<track name=\"" + name + "\">\n" + keys + "</track>\n";
    };
    const std::string tracks =
        "(the show's tracks: mbrotate, mbzoom, scratch, fadetime, fadecolor, scenetime, "
        "invert, radialblur, cameraposz, sectiontime, textsection, morphingtime1, "
        "morphingtime2, shape, scene)";
    struct Case {
        std::string text;
        std::string error;
    };
    std::vector<Case> cases = {
        {"<sync>\n<tracks>\n<track name=\"a\">\n</sync>\n",
         "t.rocket:3: the XML does not parse (XML_ERROR_MISMATCHED_ELEMENT)"},
        {"", "t.rocket:1: the XML does not parse (XML_ERROR_EMPTY_DOCUMENT)"},
        {"<sync>\n<tracks>\n\0</tracks></sync>"s, "t.rocket:3: a NUL byte (a track file is text)"},
        {"<?xml version=\"1.0\"?>\n<project/>\n",
         "t.rocket:2: the root element is <project>, not a sync editor's <sync> or <rootElement>"},
        {"<sync rows=\"10\">\n</sync>\n", "t.rocket:1: no <tracks> element"},
        {qt(track("fadetme", key("0", "1", "0"))), "t.rocket:3: unknown track 'fadetme' " + tracks},
        {qt(track("Scene", "")), "t.rocket:3: unknown track 'Scene' " + tracks},
        {qt("<track>\n</track>\n"), "t.rocket:3: a <track> without a name"},
        {qt(track("invert", "") + track("invert", "")),
         "t.rocket:5: track 'invert' is given twice (first at line 3)"},
        {qt(track("invert", key("10", "1", "0") + key("10", "2", "0"))),
         "t.rocket:5: row 10 has a key already in track 'invert'"},
        {qt(track("invert", key("10", "1", "0") + key("20", "1", "0") + key("15", "2", "0"))),
         "t.rocket:6: row 15 comes after row 20 in track 'invert' (rows must increase)"},
        {qt(track("invert", "<key row=\"1\" interpolation=\"0\"/>\n")),
         "t.rocket:4: a <key> without a value"},
        {qt(track("invert", "<key value=\"1\" interpolation=\"0\"/>\n")),
         "t.rocket:4: a <key> without a row"},
        {qt(track("invert", "<key row=\"1\" value=\"1\"/>\n")),
         "t.rocket:4: a <key> without an interpolation"},
        {"<rootElement>\n<tracks rows=\"100\" rowsPerBeat=\"4\">\n</tracks>\n</rootElement>\n",
         "t.rocket:2: rowsPerBeat is '4', but the show has 8 rows a beat"},
        {"<rootElement>\n<tracks rowsPerBeat=\"8\" beatsPerMin=\"120\">\n</tracks>\n</rootElement>\n",
         "t.rocket:2: beatsPerMin is '120', but the show has 125 beats a minute"},
        {"<sync rows=\"0\">\n<tracks/>\n</sync>\n",
         "t.rocket:1: rows '0' is not a count from 1 to 2147483647"},
        {"<sync>\n<tracks/>\n<bookmarks>\n<bookmark row=\"x\"/>\n</bookmarks>\n</sync>\n",
         "t.rocket:4: row 'x' is not a whole number"},
    };
    // One key's attribute at a time, each refused on the key's line.
    for (const char* row : {"-1", "2147483648", "99999999999999999999999"})
        cases.push_back({qt(track("invert", key(row, "1", "0"))),
                         "t.rocket:4: row "s + row + " is outside 0 to 2147483647"});
    for (const char* row : {"1.5", " 1"})
        cases.push_back({qt(track("invert", key(row, "1", "0"))),
                         "t.rocket:4: row '"s + row + "' is not a whole number"});
    for (const char* mode : {"4", "-1"})
        cases.push_back({qt(track("invert", key("1", "1", mode))),
                         "t.rocket:4: interpolation '"s + mode +
                             "' is not 0 (step), 1 (linear), 2 (smooth) or 3 (ramp)"});
    for (const char* value : {"nan", "inf", "3.5e38", "1,5", ""})
        cases.push_back({qt(track("invert", key("1", value, "0"))),
                         "t.rocket:4: value '"s + value + "' is not a finite float32"});
    for (const Case& c : cases) {
        TrackDocument document;
        std::string error;
        EXPECT_FALSE(read(c.text, &document, &error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(TrackSource, BuildNeedsEveryTrackOfTheShow) {
    TrackDocument document;
    std::string error;
    ASSERT_TRUE(read("<sync>\n\n<tracks>\n<track name=\"scene\"/>\n</tracks>\n</sync>\n", &document, &error))
        << error;
    EXPECT_FALSE(checkAllShowTracks(document, "t.rocket", &error));
    EXPECT_EQ(error, "t.rocket:3: track 'mbrotate' is missing (the show needs all fifteen)");
}

TEST(TrackSource, ValuesReadBackAsTheSameFloat) {
    const float values[] = {0.1f,   -0.0f,    1e-4f,     8.05f,    0.9995f, 16777217.0f, 3.4e38f,
                            1e-38f, 1.4e-45f, 123456.7f, -2.5e-7f, 1e10f,   0.33333334f, 100000000.0f};
    TrackDocument document;
    TrackKeys& track = document.tracks.emplace_back();
    track.name = "mbzoom";
    for (size_t i = 0; i < std::size(values); ++i) {
        track.times.push_back(static_cast<int32_t>(i * 7));
        track.values.push_back(values[i]);
        track.modes.push_back(static_cast<int8_t>(i % 4));
    }
    TrackDocument back;
    std::string error;
    ASSERT_TRUE(read(writeTrackDocument(document), &back, &error)) << error;
    ASSERT_EQ(back.tracks.size(), 1u);
    ASSERT_EQ(back.tracks[0].values.size(), std::size(values));
    for (size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(std::signbit(back.tracks[0].values[i]), std::signbit(values[i])) << values[i];
        EXPECT_EQ(back.tracks[0].values[i], values[i]) << trackValueText(values[i]);
    }
    EXPECT_EQ(back.tracks[0].modes, track.modes);
    // Plain decimals where they are short, exponents where they would be long.
    EXPECT_EQ(trackValueText(1e-4f), "0.0001");
    EXPECT_EQ(trackValueText(8.05f), "8.05");
    EXPECT_EQ(trackValueText(-0.0f), "-0");
    EXPECT_EQ(trackValueText(3.4e38f), "3.4e+38");
    // A value below the smallest float reads as the nearest one rather than failing.
    ASSERT_TRUE(
        read("<sync><tracks><track name=\"invert\"><key row=\"0\" value=\"1e-60\" interpolation=\"0\"/>"
             "</track></tracks></sync>",
             &back, &error))
        << error;
    EXPECT_EQ(back.tracks[0].values[0], 0.0f);
}

TEST(TrackSource, CommandExitCodes) {
    ScratchFolder folder;
    const std::string dir = folder.path;
    ASSERT_TRUE(writeTextFile(dir + "/part.rocket",
                              "<sync>\n<tracks>\n<track name=\"invert\"/>\n</tracks>\n</sync>\n"));
    ASSERT_TRUE(
        writeTextFile(dir + "/bad.rocket", "<sync>\n<tracks>\n<track name=\"nope\"/>\n</tracks>\n</sync>\n"));
    struct Case {
        std::string arguments;
        int exitCode;
        std::string output; // the start of what it prints
    } cases[] = {
        {dir + "/part.rocket", 0, ""},
        {dir + "/part.rocket -o " + dir + "/out.rocket", 0, ""},
        {dir + "/part.rocket --cpp " + dir + "/out.cpp", 1,
         dir + "/part.rocket:2: track 'mbrotate' is missing"},
        {dir + "/bad.rocket", 1, dir + "/bad.rocket:3: unknown track 'nope'"},
        {dir + "/missing.rocket", 1, dir + "/missing.rocket: no such file"},
        {dir, 1, dir + ": it is a folder"},
        {"/dev/zero", 1, "/dev/zero: it is a device"},
        {kShowSource + " --cpp " + dir + "/none/out.cpp", 1, dir + "/none/out.cpp: cannot be written"},
        {"", 2, "trackc: no track file"},
        {"--frobnicate", 2, "trackc: unknown option '--frobnicate'"},
        {"a.rocket b.rocket", 2, "trackc: more than one track file"},
        {"--dump " + kShowSource, 2, "trackc: --dump takes nothing else"},
        {kShowSource + " -o", 2, "trackc: missing value after '-o'"},
    };
    for (const Case& c : cases) {
        const ToolRun run = runTool("trackc", c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.output;
        EXPECT_EQ(run.output.substr(0, c.output.size()), c.output) << c.arguments;
    }
    EXPECT_EQ(readTextFile(dir + "/out.rocket"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<sync>\n\t<tracks>\n\t\t<track name=\"invert\">\n"
              "\t\t</track>\n\t</tracks>\n</sync>\n");
    // The refused --cpp wrote nothing.
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"bad.rocket", "out.rocket", "part.rocket"}));
}
