// The setup dialog's logic over fake mode lists, with a view that answers at once.
#include "app/application.h"
#include "base/memory.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

struct Fake {
    std::vector<DisplayMode> modes;
    int32_t answer, pick, fullscreen; // pick -2: keep the preselection
    std::vector<std::string> entries;
    int32_t preselected = -1, prechecked = -1;
} fake;

int fakeModeAt(int32_t index, DisplayMode* mode) {
    if (index >= static_cast<int32_t>(fake.modes.size())) return 0;
    *mode = fake.modes[static_cast<size_t>(index)];
    return 1;
}

int32_t fakeDialog(SetupDialogView* view) {
    fake.entries.assign(view->entries, view->entries + view->entryCount);
    fake.preselected = view->selected;
    fake.prechecked = view->fullscreen;
    if (fake.pick != -2) view->selected = fake.pick;
    view->fullscreen = fake.fullscreen;
    return fake.answer;
}

auto fields(const DisplayMode& m) {
    return std::tuple(m.width, m.height, m.bitsPerPixel, m.refreshRate);
}

TEST(SetupDialog, OffersFirstOfEachAcceptedModeInDriverOrder) {
    const struct {
        const char* name;
        std::vector<DisplayMode> modes;
        int32_t answer, pick, fullscreen;
        std::vector<std::string> entries;
        int32_t preselected;
        bool run;
        DisplayMode chosen;
    } cases[] = {
        // clang-format off
        {"1080p preselected, repeats and strangers dropped",
         {{800, 600, 32, 60}, {1280, 720, 32, 75}, {1920, 1080, 32, 60}, {1280, 720, 32, 60},
          {1920, 1080, 16, 60}, {1920, 1080, 32, 50}, {1920, 1200, 32, 60}},
         kSetupRun, -2, 1, {"1280x720", "1920x1080"}, 1, true, {1920, 1080, 32, 60}},
        {"no 1080p: the first, driver order kept", {{3840, 2160, 32, 30}, {1280, 720, 32, 60}},
         kSetupRun, -2, 0, {"3840x2160", "1280x720"}, 0, true, {3840, 2160, 32, 30}},
        {"24-bit X visuals are the 32-bit modes", {{2560, 1440, 24, 60}, {2560, 1440, 32, 59}, {1280, 720, 24, 60}},
         kSetupRun, 1, 1, {"2560x1440", "1280x720"}, 0, true, {1280, 720, 32, 60}},
        {"no selection runs the first", {{1280, 720, 32, 60}, {1920, 1080, 32, 60}},
         kSetupRun, -1, 1, {"1280x720", "1920x1080"}, 1, true, {1280, 720, 32, 60}},
        {"Quit", {{1920, 1080, 32, 60}}, kSetupQuit, -2, 0, {"1920x1080"}, 0, false, {}},
        {"a view that cannot be shown", {{1920, 1080, 32, 60}}, -1, -2, 0, {"1920x1080"}, 0, false, {}},
        {"no accepted mode: no dialog", {{1024, 768, 32, 60}, {1280, 720, 16, 60}},
         kSetupRun, -2, 0, {}, -1, false, {}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake = {c.modes, c.answer, c.pick, c.fullscreen, {}};
        displayServices()->displayModeAt = fakeModeAt;
        displayServices()->showSetupDialog = fakeDialog;
        const int64_t live = memLiveBlocks();
        DisplaySettings settings{1, {}, nullptr};
        EXPECT_EQ(runSetupDialog(&settings), c.run);
        EXPECT_EQ(fake.entries, c.entries);
        EXPECT_EQ(fake.preselected, c.preselected);
        EXPECT_EQ(fake.prechecked, c.entries.empty() ? -1 : 1);
        EXPECT_EQ(fields(settings.mode), fields(c.chosen));
        EXPECT_EQ(settings.fullscreen, c.run ? c.fullscreen : 1);
        EXPECT_EQ(settings.modes, nullptr);
        EXPECT_EQ(memLiveBlocks(), live);
        resetDisplayServices();
    }
}

} // namespace
