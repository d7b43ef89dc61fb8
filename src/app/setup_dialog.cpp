// The setup dialog's logic: which display modes are offered, the defaults, and what Run keeps.
#include "app/application.h"

#include "base/memory.h"
#include "base/text.h"
#include "base/value_list.h"
#include "platform/platform.h"

#include <cstdio>

namespace {

bool isAccepted(const DisplayMode& mode) {
    for (const auto& accepted : kAcceptedModes)
        if (mode.width == accepted[0] && mode.height == accepted[1] && mode.bitsPerPixel == accepted[2])
            return true;
    return false;
}

bool isListed(ValueList* modes, const DisplayMode& mode) {
    if (!listRewind(modes)) return false;
    do {
        const auto* listed = static_cast<const DisplayMode*>(listGet(modes).pointer);
        if (listed->width == mode.width && listed->height == mode.height &&
            listed->bitsPerPixel == mode.bitsPerPixel)
            return true;
    } while (listAdvance(modes));
    return false;
}

void freeModes(DisplaySettings* settings) {
    if (!settings->modes) return;
    listClear(settings->modes);
    memFree(settings->modes);
    settings->modes = nullptr;
}

} // namespace

int32_t enumerateDisplayModes(DisplaySettings* settings) {
    if (!settings->modes) {
        settings->modes = static_cast<ValueList*>(memAlloc(sizeof(ValueList)));
        if (!settings->modes) return 0;
        listInit(settings->modes);
    }
    DisplayMode mode{};
    for (int32_t index = 0; displayServices()->displayModeAt(index, &mode); ++index) {
        // Many X servers report their 32-bit visuals as depth 24 (Xvfb among them); those are
        // the same 8-bit-per-channel modes the table calls 32-bit.
        if (mode.bitsPerPixel == 24) mode.bitsPerPixel = 32;
        if (isListed(settings->modes, mode) || !isAccepted(mode)) continue;
        auto* copy = static_cast<DisplayMode*>(memAlloc(sizeof(DisplayMode)));
        if (!copy) return 0;
        *copy = mode;
        if (!listAppend(settings->modes, {OwnedPointer, copy})) {
            memFree(copy);
            return 0;
        }
        mode = {};
    }
    return 1;
}

bool runSetupDialog(DisplaySettings* settings) {
    enumerateDisplayModes(settings);
    ValueList* modes = settings->modes;
    const int32_t count = modes ? listCount(modes) : 0;
    // A quit request before the dialog shows ends it as Quit would.
    if (count == 0 || platformServices()->quitRequested()) {
        if (count == 0) {
            std::fprintf(stderr, "quorlax: the display offers none of the modes");
            for (const auto& accepted : kAcceptedModes)
                std::fprintf(stderr, " %dx%d (%d bits)", accepted[0], accepted[1], accepted[2]);
            std::fprintf(stderr, "\n");
        }
        freeModes(settings);
        return false;
    }
    char texts[kAcceptedModeCount][32] = {};
    const char* entries[kAcceptedModeCount] = {};
    SetupDialogView view{entries, 0, -1, 1};
    listRewind(modes);
    do {
        const auto* mode = static_cast<const DisplayMode*>(listGet(modes).pointer);
        formatText(texts[view.entryCount], sizeof texts[0], "%dx%d", mode->width, mode->height);
        entries[view.entryCount] = texts[view.entryCount];
        if (view.selected < 0 && mode->width == 1920 && mode->height == 1080 && mode->bitsPerPixel == 32)
            view.selected = view.entryCount;
        ++view.entryCount;
    } while (view.entryCount < kAcceptedModeCount && listAdvance(modes));
    if (view.selected < 0) view.selected = 0;

    const bool run = displayServices()->showSetupDialog(&view) == kSetupRun;
    if (run) {
        settings->fullscreen = view.fullscreen ? 1 : 0;
        // No selection counts as the first entry.
        listSeek(modes, view.selected > 0 ? view.selected : 0);
        settings->mode = *static_cast<const DisplayMode*>(listGet(modes).pointer);
    }
    freeModes(settings);
    return run;
}
