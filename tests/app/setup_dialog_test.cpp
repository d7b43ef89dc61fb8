// The setup dialog's logic over fake mode lists, with a view that answers at once.
#include "app/application.h"
#include "framework/memory.h"
#include "framework/value_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct FakeDisplay {
    std::vector<DisplayMode> modes;
    int32_t answer = kSetupRun;
    int32_t pick = -2; // -2: keep the preselection
    int32_t fullscreen = -1;
    bool shown = false;
    std::vector<std::string> entries;
    int32_t preselected = -1, prechecked = -1;
};

FakeDisplay fake;

int fakeModeAt(int32_t index, DisplayMode* mode);
int32_t fakeDialog(SetupDialogView* view);

void arrange(std::vector<DisplayMode> modes, int32_t answer = kSetupRun, int32_t pick = -2,
             int32_t fullscreen = -1) {
    fake = FakeDisplay{};
    fake.modes = std::move(modes);
    fake.answer = answer;
    fake.pick = pick;
    fake.fullscreen = fullscreen;
    displayServices()->displayModeAt = fakeModeAt;
    displayServices()->showSetupDialog = fakeDialog;
}

int fakeModeAt(int32_t index, DisplayMode* mode) {
    if (index < 0 || index >= static_cast<int32_t>(fake.modes.size())) return 0;
    *mode = fake.modes[static_cast<size_t>(index)];
    return 1;
}

int32_t fakeDialog(SetupDialogView* view) {
    fake.shown = true;
    fake.entries.assign(view->entries, view->entries + view->entryCount);
    fake.preselected = view->selected;
    fake.prechecked = view->fullscreen;
    if (fake.pick != -2) view->selected = fake.pick;
    if (fake.fullscreen >= 0) view->fullscreen = fake.fullscreen;
    return fake.answer;
}

struct DialogCase {
    const char* name;
    std::vector<DisplayMode> modes;
    int32_t answer, pick, fullscreen;
    std::vector<std::string> entries;
    int32_t preselected;
    bool run;
    DisplayMode chosen;
    int32_t chosenFullscreen;
};

TEST(SetupDialog, OffersFirstOfEachAcceptedModeInDriverOrder) {
    const DialogCase cases[] = {
        {"1080p preselected, repeats and strangers dropped",
         {{800, 600, 32, 60},
          {1280, 720, 32, 75},
          {1920, 1080, 32, 60},
          {1280, 720, 32, 60},
          {1920, 1080, 16, 60},
          {1920, 1080, 32, 50},
          {1920, 1200, 32, 60}},
         kSetupRun,
         -2,
         -1,
         {"1280x720", "1920x1080"},
         1,
         true,
         {1920, 1080, 32, 60},
         1},
        {"no 1080p: the first, driver order kept",
         {{3840, 2160, 32, 30}, {1280, 720, 32, 60}},
         kSetupRun,
         -2,
         0,
         {"3840x2160", "1280x720"},
         0,
         true,
         {3840, 2160, 32, 30},
         0},
        {"24-bit X visuals are the 32-bit modes",
         {{2560, 1440, 24, 60}, {2560, 1440, 32, 59}, {1280, 720, 24, 60}},
         kSetupRun,
         1,
         1,
         {"2560x1440", "1280x720"},
         0,
         true,
         {1280, 720, 32, 60},
         1},
        {"no selection runs the first",
         {{1280, 720, 32, 60}, {1920, 1080, 32, 60}},
         kSetupRun,
         -1,
         -1,
         {"1280x720", "1920x1080"},
         1,
         true,
         {1280, 720, 32, 60},
         1},
        {"Quit", {{1920, 1080, 32, 60}}, kSetupQuit, -2, -1, {"1920x1080"}, 0, false, {}, 1},
        {"a view that cannot be shown", {{1920, 1080, 32, 60}}, -1, -2, -1, {"1920x1080"}, 0, false, {}, 1},
    };
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(c.name);
        arrange(c.modes, c.answer, c.pick, c.fullscreen);
        const int64_t live = memLiveBlocks();
        Application* app = createApplication();
        ASSERT_NE(app, nullptr);
        EXPECT_EQ(runSetupDialog(&app->settings), c.run);
        EXPECT_EQ(fake.entries, c.entries);
        EXPECT_EQ(fake.preselected, c.preselected);
        EXPECT_EQ(fake.prechecked, 1);
        const DisplayMode& mode = app->settings.mode;
        EXPECT_EQ(mode.width, c.chosen.width);
        EXPECT_EQ(mode.height, c.chosen.height);
        EXPECT_EQ(mode.bitsPerPixel, c.chosen.bitsPerPixel);
        EXPECT_EQ(mode.refreshRate, c.chosen.refreshRate);
        EXPECT_EQ(app->settings.fullscreen, c.chosenFullscreen);
        EXPECT_EQ(app->settings.modes, nullptr);
        memFree(app);
        EXPECT_EQ(memLiveBlocks(), live);
        resetDisplayServices();
    }
}

TEST(SetupDialog, NoAcceptedModeEndsWithoutShowing) {
    for (const auto& modes :
         {std::vector<DisplayMode>{}, std::vector<DisplayMode>{{1024, 768, 32, 60}, {1280, 720, 16, 60}}}) {
        arrange(modes);
        const int64_t live = memLiveBlocks();
        DisplaySettings settings{1, {}, nullptr};
        EXPECT_FALSE(runSetupDialog(&settings));
        EXPECT_FALSE(fake.shown);
        EXPECT_EQ(settings.modes, nullptr);
        EXPECT_EQ(memLiveBlocks(), live);
        resetDisplayServices();
    }
}

TEST(SetupDialog, OutOfMemoryKeepsTheModesListedSoFar) {
    arrange({{1280, 720, 32, 60}, {1920, 1080, 32, 60}, {2560, 1440, 32, 60}});
    DisplaySettings settings{1, {}, nullptr};
    ASSERT_EQ(enumerateDisplayModes(&settings), 1);
    listClear(settings.modes);
    // The list exists; the copy of the first mode and then its list node: 2 blocks per mode.
    memFailAllocations(2, 100);
    EXPECT_EQ(enumerateDisplayModes(&settings), 0);
    memFailAllocations(0, 0);
    EXPECT_EQ(listCount(settings.modes), 1);
    listClear(settings.modes);
    memFree(settings.modes);
    resetDisplayServices();
}

} // namespace
