// The presentation window on Windows: class, display mode, window, pixel format and WGL context,
// created and torn down in a fixed order; the window procedure; the GDI progress picture.
#include "platform/display.h"
#include "platform/win32/setup_dialog_win32.h"

#include <windows.h>

namespace {

constexpr const char* kWindowName = "Varnholt Quorlax";

// What exists of the window; filled in creation order and read by the teardown.
struct WindowState {
    HINSTANCE instance;
    HDC deviceContext;
    HGLRC glContext;
    HWND window;
    uint8_t fullscreen; // a full-screen mode change was asked for
};

WindowState state;
// Only bits per pixel, width and height are passed on to the mode change.
DEVMODEA displayMode;

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSCOMMAND:
        // The screen saver and monitor power-saving are refused while the show runs.
        if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER) return 0;
        break;
    case WM_CLOSE:
        // The window stays until the teardown; the main loop sees the quit request.
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            PostQuitMessage(0);
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int win32CreateDisplayWindow(const PixelFormatRequest* format, const WindowSettings* settings) {
    state.instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = state.instance;
    windowClass.lpszClassName = kWindowName;
    if (!RegisterClassA(&windowClass)) return 0;

    displayMode = {};
    displayMode.dmSize = sizeof(DEVMODEA);
    displayMode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    displayMode.dmBitsPerPel = static_cast<DWORD>(settings->mode.bitsPerPixel);
    displayMode.dmPelsWidth = static_cast<DWORD>(settings->mode.width);
    displayMode.dmPelsHeight = static_cast<DWORD>(settings->mode.height);
    state.fullscreen = settings->fullscreen ? 1 : 0;

    DWORD style = WS_CAPTION | WS_SYSMENU | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (state.fullscreen) {
        if (ChangeDisplaySettingsA(&displayMode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) return 0;
        ShowCursor(FALSE);
        style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    }
    // The client area is exactly the chosen size; the window is centred on the primary screen
    // (and may be larger than it).
    RECT rectangle = {0, 0, settings->mode.width, settings->mode.height};
    AdjustWindowRect(&rectangle, style, FALSE);
    const int x = (rectangle.left - rectangle.right + GetSystemMetrics(SM_CXSCREEN)) >> 1;
    const int y = (rectangle.top - rectangle.bottom + GetSystemMetrics(SM_CYSCREEN)) >> 1;
    state.window = CreateWindowExA(WS_EX_APPWINDOW, kWindowName, kWindowName, style, x, y,
                                   rectangle.right - rectangle.left, rectangle.bottom - rectangle.top,
                                   nullptr, nullptr, state.instance, nullptr);
    if (!state.window) return 0;
    state.deviceContext = GetDC(state.window);
    if (!state.deviceContext) return 0;

    PIXELFORMATDESCRIPTOR pixelFormat{};
    pixelFormat.nSize = sizeof pixelFormat;
    pixelFormat.nVersion = 1;
    pixelFormat.dwFlags =
        PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | (format->doubleBuffer ? PFD_DOUBLEBUFFER : 0);
    pixelFormat.iPixelType = PFD_TYPE_RGBA;
    pixelFormat.cColorBits = static_cast<BYTE>(format->colorBits);
    pixelFormat.cDepthBits = static_cast<BYTE>(format->depthBits);
    const int index = ChoosePixelFormat(state.deviceContext, &pixelFormat);
    if (index == 0 || !SetPixelFormat(state.deviceContext, index, &pixelFormat)) return 0;
    state.glContext = wglCreateContext(state.deviceContext);
    if (!state.glContext || !wglMakeCurrent(state.deviceContext, state.glContext)) return 0;
    SetForegroundWindow(state.window);
    SetFocus(state.window);
    return 1;
}

void win32DestroyDisplayWindow() {
    if (state.glContext) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(state.glContext);
        state.glContext = nullptr;
    }
    if (state.deviceContext) {
        ReleaseDC(state.window, state.deviceContext);
        state.deviceContext = nullptr;
    }
    if (state.window) {
        DestroyWindow(state.window);
        state.window = nullptr;
    }
    UnregisterClassA(kWindowName, state.instance);
    if (state.fullscreen) {
        // Back to the mode of the registry, and the cursor shown however often it was hidden.
        ChangeDisplaySettingsA(nullptr, 0);
        while (ShowCursor(TRUE) < 0) {
        }
        state.fullscreen = 0;
    }
}

void* win32DisplayDeviceContext() {
    return state.deviceContext;
}

// Every pending message is dispatched (there is no TranslateMessage); a quit request ends the
// draining at once, leaving the rest queued.
int win32PumpDisplayEvents() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return 1;
        DispatchMessageA(&message);
    }
    return 0;
}

void win32SwapDisplayBuffers() {
    SwapBuffers(state.deviceContext);
}

// Straight to the window through GDI, outlined by the context's default black pen.
void win32PaintProgress(const ProgressPicture* picture) {
    if (!state.deviceContext) return;
    HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
    HGDIOBJ previous = SelectObject(state.deviceContext, black);
    Rectangle(state.deviceContext, 0, 0, picture->width, picture->height);
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    SelectObject(state.deviceContext, white);
    if (picture->barRight > picture->barLeft && picture->barBottom > picture->barTop)
        Rectangle(state.deviceContext, picture->barLeft, picture->barTop, picture->barRight,
                  picture->barBottom);
    SelectObject(state.deviceContext, previous);
    DeleteObject(white);
    DeleteObject(black);
    GdiFlush();
}

int win32DisplayAvailable() {
    return 1;
}

const char* win32DisplayProblem() {
    return "";
}

int win32DisplayModeAt(int32_t index, DisplayMode* mode) {
    DEVMODEA reported{};
    reported.dmSize = sizeof reported;
    if (!EnumDisplaySettingsA(nullptr, static_cast<DWORD>(index), &reported)) return 0;
    *mode = {static_cast<int32_t>(reported.dmPelsWidth), static_cast<int32_t>(reported.dmPelsHeight),
             static_cast<int32_t>(reported.dmBitsPerPel), static_cast<int32_t>(reported.dmDisplayFrequency)};
    return 1;
}

constexpr DisplayServices kWin32Display = {
    .displayAvailable = win32DisplayAvailable,
    .displayModeAt = win32DisplayModeAt,
    .showSetupDialog = win32ShowSetupDialog,
    .createDisplayWindow = win32CreateDisplayWindow,
    .destroyDisplayWindow = win32DestroyDisplayWindow,
    .displayDeviceContext = win32DisplayDeviceContext,
    .pumpDisplayEvents = win32PumpDisplayEvents,
    .swapDisplayBuffers = win32SwapDisplayBuffers,
    .paintProgress = win32PaintProgress,
    .displayProblem = win32DisplayProblem,
};

DisplayServices services = kWin32Display;

} // namespace

DisplayServices* displayServices() {
    return &services;
}

void resetDisplayServices() {
    services = kWin32Display;
}
