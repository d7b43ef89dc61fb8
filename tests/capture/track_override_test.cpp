// quorlax-capture frame|sheet|video --tracks: the keys of the tracks a file names replace the
// built-in ones for that capture; the others keep theirs.
#include "capture_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// A track file holding the one track `name`, in the Qt editor's dialect.
std::string trackFile(const std::string& name, const std::string& keys) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<sync rows=\"3679\">\n<tracks>\n<track name=\"" + name +
           "\">\n" + keys + "</track>\n</tracks>\n</sync>\n";
}

} // namespace

// Scene 3 tints its colour by (0.7, 0.36, 0.32) where `invert` is positive, after its gamma and
// before its vignette and fade, both of which scale the colour; the built-in invert is 0 at tick
// 1005. Holding it at 1 must tint every pixel, and only that: the camera, the fade and the scene
// selector keep their built-in keys.
TEST(CaptureTracks, InvertHeldOnTintsSceneThreeAsItsShaderSays) {
    ScratchFolder folder;
    ASSERT_TRUE(writeTextFile(folder / "invert.rocket", trackFile("invert", "<key row=\"0\" value=\"1\" "
                                                                            "interpolation=\"0\"/>\n")));
    const std::string common = "frame --tick 1005 --size 96x54 ";
    const ToolRun plain = runCapture(common + folder / "plain.png");
    ASSERT_EQ(plain.exitCode, 0) << plain.output;
    const ToolRun tinted = runCapture(common + "--tracks " + folder / "invert.rocket " + folder / "tinted.png");
    ASSERT_EQ(tinted.exitCode, 0) << tinted.output;

    const Picture before = readPicture(folder / "plain.png");
    const Picture after = readPicture(folder / "tinted.png");
    ASSERT_EQ(before.rgba.size(), size_t(96 * 54 * 4));
    ASSERT_EQ(after.rgba.size(), before.rgba.size());
    const double tint[3] = {0.7, 0.36, 0.32};
    double brightness = 0;
    int worst = 0;
    for (size_t i = 0; i < before.rgba.size(); i += 4) {
        for (size_t c = 0; c < 3; ++c) {
            const double expected = before.rgba[i + c] * tint[c];
            worst = std::max(worst, int(std::ceil(std::abs(after.rgba[i + c] - expected) - 1e-9)));
            brightness += before.rgba[i + c];
        }
    }
    // The built-in picture is lit (else the tint would prove nothing), and each channel of the
    // tinted one is the built-in scaled, within the rounding of both to 8 bits.
    EXPECT_GT(brightness / (96 * 54 * 3), 40.0);
    EXPECT_LE(worst, 1);
}

// A track file the capture cannot use stops it with the file's line, exit 1, and no picture.
TEST(CaptureTracks, RefusedFilesNameTheirLineAndWriteNothing) {
    struct Case {
        const char* what;
        std::string text;
        const char* expected; // after "<path>:"
    };
    const Case cases[] = {
        {"an unknown track", trackFile("invertt", "<key row=\"0\" value=\"1\" interpolation=\"0\"/>\n"),
         "4: unknown track 'invertt'"},
        {"a row given twice",
         trackFile("invert", "<key row=\"5\" value=\"1\" interpolation=\"0\"/>\n"
                             "<key row=\"5\" value=\"0\" interpolation=\"0\"/>\n"),
         "6: row 5 has a key already"},
        {"cut XML", "<?xml version=\"1.0\"?>\n<sync rows=\"3679\">\n<tracks>\n", "3: the XML does not parse"},
    };
    for (const Case& c : cases) {
        ScratchFolder folder;
        ASSERT_TRUE(writeTextFile(folder / "t.rocket", c.text));
        const ToolRun run =
            runCapture("frame --tick 1005 --size 16x16 --tracks " + folder / "t.rocket " + folder / "out.png");
        EXPECT_EQ(run.exitCode, 1) << c.what << "\n" << run.output;
        EXPECT_NE(run.output.find(folder / "t.rocket:" + c.expected), std::string::npos) << c.what << "\n"
                                                                                         << run.output;
        EXPECT_EQ(folder.names(), std::vector<std::string>{"t.rocket"}) << c.what;
    }
    // Only the picture commands take tracks.
    const ToolRun wav = runCapture("wav --tracks x.rocket out.wav");
    EXPECT_EQ(wav.exitCode, 2) << wav.output;
}
