// The display side of the platform: the presentation window with its GL context and event queue,
// the display's mode list, the setup dialog's view and the start-up progress picture. The shell
// (src/app/) reaches the window system only through this record; the logic around it (which modes
// are offered, the progress geometry, start-up and the main loop) is portable and lives there.
#pragma once

#include <cstdint>

// One display mode as the driver reports it. Modes are compared by size and depth; the refresh
// rate is carried but never chosen by.
struct DisplayMode {
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    int32_t refreshRate; // Hz, 0 when unknown
};

// The pixel format the window asks for: RGBA with this many colour bits (alpha not requested),
// this depth buffer, double buffered when non-zero. The closest format the driver offers is taken.
struct PixelFormatRequest {
    int32_t colorBits;
    int32_t depthBits;
    int32_t doubleBuffer;
};

// The window to open: the mode chosen in the setup dialog and whether it covers the display.
struct WindowSettings {
    int32_t fullscreen; // non-zero: switch the display to `mode` and cover it
    DisplayMode mode;   // width and height are the window's client size in every case
};

// What the setup dialog's view shows and what it hands back.
struct SetupDialogView {
    const char* const* entries; // the drop-down's texts, in list order
    int32_t entryCount;
    int32_t selected;   // in: the preselected entry; out: the entry chosen at Run (-1: none)
    int32_t fullscreen; // in: the check box's state; out: its state at Run
};

// Results of showSetupDialog: the control that ended the dialog. Anything else means the view
// could not be shown, which is treated like Quit.
constexpr int32_t kSetupRun = 1006;
constexpr int32_t kSetupQuit = 1007;

// The progress picture in window pixels, top row 0: the window black, then the bar's rectangle
// [barLeft, barRight) x [barTop, barBottom) drawn with a 1-pixel black outline around a white
// inside, clipped by the window. An empty rectangle draws nothing.
struct ProgressPicture {
    int32_t width, height;
    int32_t barLeft, barTop, barRight, barBottom;
};

// The services as one record of functions, so tests can replace single entries (a fake mode list,
// a dialog that answers at once, a swap that does nothing). Every field is always set.
struct DisplayServices {
    // Non-zero when a window system can be reached (an X or Wayland display on Linux).
    int (*displayAvailable)();
    // The display's mode number `index` (0, 1, 2, ... in the driver's order) into `mode`; 0 when
    // there is no such mode, which ends the enumeration.
    int (*displayModeAt)(int32_t index, DisplayMode* mode);
    // Runs the modal setup dialog: caption "Varnholt - Quorlax", the frames "Resolution" (a
    // drop-down of the entries) and "Options" (the check box "Fullscreen"), the buttons "Run" and
    // "Quit". Only the two buttons end it (not Escape, Enter or the window's close box). Returns
    // kSetupRun or kSetupQuit with `view` updated, anything else when it cannot be shown.
    int32_t (*showSetupDialog)(SetupDialogView* view);

    // Creates the window titled "Varnholt Quorlax" and its current GL 4.5 compatibility context.
    // Full screen: the display switches to the settings' mode, the window covers it and the
    // cursor is hidden. Windowed: the client area is exactly width x height, centred on the
    // primary screen, not resizable. 1 on success; 0 at the first failing step, leaving what was
    // made for destroyDisplayWindow.
    int (*createDisplayWindow)(const PixelFormatRequest* format, const WindowSettings* settings);
    // Releases the context and the window, restores the display mode and the cursor; safe after
    // a partial creation and when nothing was created.
    void (*destroyDisplayWindow)();
    // The handle initRenderer keeps (the window's device context on Windows; null elsewhere).
    void* (*displayDeviceContext)();
    // Handles every pending window event without waiting; returns 1 as soon as a quit request
    // (Escape, closing the window) is taken, leaving later events queued, else 0.
    int (*pumpDisplayEvents)();
    // Presents the back buffer.
    void (*swapDisplayBuffers)();
    // Shows the progress picture at once (it stays visible until the next picture or frame).
    void (*paintProgress)(const ProgressPicture* picture);
    // Why the last displayAvailable answered 0 or the last showSetupDialog could not show the
    // dialog, as one line for the viewer ("cannot open the display ':7'"); "" when they did not
    // fail or said nothing.
    const char* (*displayProblem)();
};

// The process-wide services, initialised with this system's implementation.
DisplayServices* displayServices();
// Puts every field back to this system's implementation.
void resetDisplayServices();
