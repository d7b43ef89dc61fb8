// quorlax-capture sheet: one PNG with a picture from the middle of each of the eight scenes.
#include "capture/commands.h"
#include "capture/headless_show.h"
#include "capture/label_font.h"
#include "framework/scenes.h"
#include "shared/capture_plan.h"
#include "shared/output_file.h"
#include "shared/png_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kColumns = 4, kRows = 2, kGap = 4;
// Each picture is at most 8192 wide, and so are the four pictures of a row together.
constexpr int kMaximumCellWidth = 8192 / kColumns;
constexpr uint8_t kGround[3] = {40, 40, 40};
constexpr uint8_t kInk[3] = {235, 235, 235};

struct Sheet {
    int cellWidth, cellHeight, scale, band, width, height;
    std::vector<uint8_t> rgba;
};

Sheet layOut(int cellWidth, int cellHeight) {
    Sheet sheet{cellWidth, cellHeight, std::max(1, cellWidth / 160), 0, 0, 0, {}};
    sheet.band = 7 * sheet.scale;
    sheet.width = kColumns * cellWidth + (kColumns + 1) * kGap;
    sheet.height = kRows * (cellHeight + sheet.band) + (kRows + 1) * kGap;
    sheet.rgba.resize(size_t(sheet.width) * size_t(sheet.height) * 4);
    for (size_t i = 0; i < sheet.rgba.size(); i += 4) {
        std::memcpy(&sheet.rgba[i], kGround, 3);
        sheet.rgba[i + 3] = 255;
    }
    return sheet;
}

void placeCell(Sheet* sheet, int index, const uint8_t* picture, int scene, int tick) {
    const int x = kGap + (index % kColumns) * (sheet->cellWidth + kGap);
    const int y = kGap + (index / kColumns) * (sheet->cellHeight + sheet->band + kGap);
    const size_t row = size_t(sheet->cellWidth) * 4;
    for (int line = 0; line < sheet->cellHeight; ++line)
        std::memcpy(&sheet->rgba[(size_t(y + line) * size_t(sheet->width) + size_t(x)) * 4],
                    picture + row * size_t(line), row);
    std::string label = "SCENE " + std::to_string(scene) + " TICK " + std::to_string(tick);
    if (labelWidth(label.c_str(), sheet->scale) + 2 * sheet->scale > sheet->cellWidth)
        label = std::to_string(scene) + " TICK " + std::to_string(tick);
    drawLabel(sheet->rgba.data(), sheet->width, sheet->height, x + sheet->scale,
              y + sheet->cellHeight + sheet->scale, sheet->scale, label.c_str(), kInk);
}

int runSheet(const CaptureOptions& options, OutputFile* output) {
    const int width = options.width, height = options.height;
    if (width > kMaximumCellWidth) return argumentError("sheet", "--size is too wide for four columns");
    if (!startHeadlessShow("sheet", width, height, options.tracks)) return kExitFailed;
    float starts[kSceneCount];
    sceneStartTicks(starts);
    Sheet sheet = layOut(width, height);
    std::vector<uint8_t> picture(size_t(width) * size_t(height) * 4);
    std::vector<float> times(kMinimumWarmUpFrames + kHandOverFrames);
    const double ticksPerFrame = builtinSongClock().ticksPerSecond / kDefaultCaptureFramesPerSecond;
    ProgressLine progress = startProgress(options, "scenes");
    for (int scene = 0; scene < kSceneCount; ++scene) {
        const double end = scene + 1 < kSceneCount ? starts[scene + 1] : builtinSongClock().lengthTicks;
        const int tick = int(std::floor((starts[scene] + end) / 2.0));
        const int32_t count = planCaptureFrames(frameworkState()->sceneSelector, float(tick), ticksPerFrame,
                                                kMinimumWarmUpFrames, times.data(), int32_t(times.size()));
        for (int32_t i = 0; i < count; ++i) drawShowFrame(times[size_t(i)]);
        readShowPicture(picture.data());
        placeCell(&sheet, scene, picture.data(), shownScene(), tick);
        showProgress(&progress, scene + 1, kSceneCount);
    }
    endProgress(&progress);
    stopHeadlessShow();

    const std::string failure = writePngOutput(output, sheet.rgba.data(), sheet.width, sheet.height, 0);
    if (!failure.empty()) return writeFailure("sheet", options, failure);
    if (!options.quiet)
        std::printf("%s: %dx%d, the eight scenes at %dx%d\n", options.output, sheet.width, sheet.height,
                    width, height);
    return kExitDone;
}

} // namespace

const CaptureCommand kSheetCapture = {
    .name = "sheet",
    .bit = kSheetCommand,
    .outputs = {".png"},
    .summary = "A contact sheet: the middle of each of the eight scenes, labelled, four to a row.",
    .description =
        "Draws the show headless at W x H at the middle tick of each scene, with the warm-up and\n"
        "hand-over of 'frame' (8 frames at 60 fps), and writes the eight pictures to OUT.png in two rows\n"
        "of four on a dark grey ground, 4 pixels apart, each over a label band with \"SCENE N TICK T\"\n"
        "(\"N TICK T\" where that does not fit) in a 3 x 5 pixel font scaled to the width. The sheet may\n"
        "be at most 4 x 2048 pixels wide.",
    .run = runSheet,
};
