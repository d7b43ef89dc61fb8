// The entry sequence, the main loop and shut-down.
#include "app/application.h"

#include "base/memory.h"
#include "platform/platform.h"
#include "renderer/renderer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

Application* theApplication;

// QUORLAX_FORCE_FAILURE names one start-up step ("window", "renderer" or "scenes") that is made to
// fail, so the failure path can be seen and tested; it cannot make the show run differently.
bool forcedFailure(const char* step) {
    const char* forced = std::getenv("QUORLAX_FORCE_FAILURE");
    return forced && std::strcmp(forced, step) == 0;
}

int32_t startWithProgress(Application* app) {
    const ProgressSink sink{&app->settings, drawProgress};
    if (forcedFailure("scenes")) memFailAllocations(0, INT64_MAX);
    const int32_t started = startPresentation(&sink);
    memFailAllocations(0, 0);
    return started;
}

int failStartup() {
    stopPresentation();
    displayServices()->destroyDisplayWindow();
    std::fprintf(stderr, "quorlax: %s\n", kStartupFailureText);
    platformServices()->messageBox(kStartupFailureText);
    return 0;
}

} // namespace

Application* application() {
    return theApplication;
}

Application* createApplication() {
    auto* app = static_cast<Application*>(memAlloc(sizeof(Application)));
    if (!app) return nullptr;
    app->pixelFormat = {32, 32, 1};
    app->settings.fullscreen = 1;
    return app;
}

void runMainLoop() {
    bool quit = false;
    while (!quit) {
        // A quit request from outside (Ctrl-C, SIGTERM) ends the show as Escape does.
        quit = displayServices()->pumpDisplayEvents() != 0 || platformServices()->quitRequested() != 0;
        if (presentFrame()) quit = true;
        displayServices()->swapDisplayBuffers();
    }
}

int runApplication() {
    platformServices()->catchQuitRequests();
    DisplayServices* display = displayServices();
    if (!display->displayAvailable()) {
        std::printf("quorlax: %s; quorlax-capture renders the show to files without one\n",
                    *display->displayProblem() ? display->displayProblem() : "no display found");
        return 0;
    }
    if (!theApplication) theApplication = createApplication();
    Application* app = theApplication;
    if (!app) return failStartup();
    if (!runSetupDialog(&app->settings)) {
        if (*display->displayProblem()) std::fprintf(stderr, "quorlax: %s\n", display->displayProblem());
        return 0;
    }

    const WindowSettings window{app->settings.fullscreen, app->settings.mode};
    if (!display->createDisplayWindow(&app->pixelFormat, &window) || forcedFailure("window"))
        return failStartup();
    if (!initRenderer(display->displayDeviceContext(), app->settings.mode.width, app->settings.mode.height) ||
        forcedFailure("renderer"))
        return failStartup();
    if (!startWithProgress(app)) return failStartup();

    runMainLoop();
    stopPresentation();
    display->destroyDisplayWindow();
    return 0;
}
