// The application shell: the setup dialog's logic, start-up with its progress bar, the main loop
// and shut-down, over the display services of the platform.
#pragma once

#include "platform/display.h"
#include "platform/program_entry.h"

#include <cstdint>

struct ValueList;

// What the viewer chose in the setup dialog, and the modes it offered.
struct DisplaySettings {
    int32_t fullscreen; // non-zero: switch the display to `mode` and cover it
    DisplayMode mode;   // width and height are the window's client size in every case
    ValueList* modes;   // OwnedPointer entries of DisplayMode; exists only while the dialog runs
};

// The one record of the shell, allocated at entry and kept until the process ends.
struct Application {
    PixelFormatRequest pixelFormat; // RGBA, 32 colour bits, 32 depth bits, double buffered
    DisplaySettings settings;       // fullscreen 1 until the dialog says otherwise
};

// Where start-up reports its stages (0, 50, 130, 190, 260: 1/256 of the window width each).
struct ProgressSink {
    void* context;
    void (*report)(void* context, int32_t stage);
};

// The only text the viewer can be shown: every start-up failure after the dialog ends in it.
constexpr const char* kStartupFailureText = "no memory?\nno music?\nno shades?";

// The modes that may be offered, each {width, height, bits per pixel}.
constexpr int32_t kAcceptedModeCount = 4;
constexpr int32_t kAcceptedModes[kAcceptedModeCount][3] = {
    {1280, 720, 32}, {1920, 1080, 32}, {2560, 1440, 32}, {3840, 2160, 32}};

// The global application record (null before entry).
Application* application();
// A zero-filled record from memAlloc with the construction values; null when out of memory.
Application* createApplication();

// Fills settings->modes (created here when missing) with a copy of the first reported mode of
// each accepted size and depth, in the driver's order. 1 when the enumeration ran to its end, 0
// when memory ran out (the list keeps what it has).
int32_t enumerateDisplayModes(DisplaySettings* settings);
// Lists the accepted modes, preselects 1920 x 1080 x 32 (else the first) with Fullscreen checked
// and shows the dialog. On Run stores the chosen mode and flag in `settings` and returns true;
// Quit, a dialog that cannot be shown and a display with no accepted mode return false. The mode
// list is freed either way.
bool runSetupDialog(DisplaySettings* settings);

// The progress picture for a window of width x height at `stage`: the bar's bottom at
// height * 135 / 256 (unsigned), 56 pixels high, stage * width / 256 wide.
ProgressPicture progressPicture(uint32_t width, uint32_t height, int32_t stage);
// The report function of the start-up sink; the context is the DisplaySettings of the window.
void drawProgress(void* context, int32_t stage);

// Builds the scene table, sets the clock, starts the scenes, the synthesizer, the render thread
// and the audio, reporting each stage. Non-zero on success, 0 when the scenes cannot be started.
int32_t startPresentation(const ProgressSink* sink);
// Draws the frame of the current audio time; non-zero when the music has reached its end.
int32_t presentFrame();
// Stops the audio and the render thread, then releases the scenes and the scene table.
void stopPresentation();

// Busy loop: drain events, draw one frame, swap; the frame of the quit request is still drawn.
void runMainLoop();
// runApplication (platform/program_entry.h) is the whole life of the program, from the dialog
// to shut-down.
