// Windows implementations of the platform services.
#include "platform/platform.h"

#include "base/memory.h"
#include "platform/win32/glyph_rasteriser_win32.h"

#include <windows.h>

#include <cstring>

namespace {

using WglGetProcAddress = PROC(WINAPI*)(LPCSTR);
using WglSwapInterval = BOOL(WINAPI*)(int);

HMODULE openGlLibrary() {
    static HMODULE library = LoadLibraryA("opengl32.dll");
    return library;
}

// wglGetProcAddress serves only the entry points beyond OpenGL 1.1 (and may answer 1, 2, 3 or -1
// instead of null for a name it lacks); the 1.1 functions are exports of opengl32 itself.
GlProc win32GetGlProc(const char* name) {
    PROC proc = wglGetProcAddress(name);
    const auto value = reinterpret_cast<intptr_t>(proc);
    if (value == 0 || value == 1 || value == 2 || value == 3 || value == -1) {
        HMODULE library = openGlLibrary();
        proc = library ? GetProcAddress(library, name) : nullptr;
    }
    return reinterpret_cast<GlProc>(proc);
}

int win32SetSwapInterval(int interval) {
    auto swapInterval = reinterpret_cast<WglSwapInterval>(win32GetGlProc("wglSwapIntervalEXT"));
    return swapInterval && swapInterval(interval) ? 1 : 0;
}

void win32SleepMs(uint32_t milliseconds) {
    Sleep(milliseconds);
}

struct ThreadStart {
    ThreadEntry entry;
    void* argument;
};

DWORD WINAPI threadTrampoline(LPVOID raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    memFree(raw);
    start.entry(start.argument);
    return 0;
}

// The handle is closed at once: nobody waits on the thread, and process exit ends it.
int win32StartThread(ThreadEntry entry, void* argument, int raisedPriority) {
    auto* start = static_cast<ThreadStart*>(memAlloc(sizeof(ThreadStart)));
    if (!start) return 0;
    *start = {entry, argument};
    HANDLE thread = CreateThread(nullptr, 0, threadTrampoline, start, 0, nullptr);
    if (!thread) {
        memFree(start);
        return 0;
    }
    if (raisedPriority) SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST);
    CloseHandle(thread);
    return 1;
}

// Reads at most `limit` bytes of a file into a block from memAlloc with one spare zero byte, so
// text files can be used as strings; null when the file cannot be opened or read.
void* readFilePrefix(const char* path, size_t limit, size_t* size) {
    *size = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    LARGE_INTEGER length{};
    void* data = nullptr;
    if (GetFileSizeEx(file, &length) && length.QuadPart >= 0) {
        size_t wanted =
            static_cast<uint64_t>(length.QuadPart) < limit ? static_cast<size_t>(length.QuadPart) : limit;
        // ReadFile takes at most 4 GiB - 1 bytes per call.
        if (wanted > 0xFFFFFFFEu) wanted = 0xFFFFFFFEu;
        data = memAlloc(wanted + 1);
        DWORD read = 0;
        if (data && (wanted == 0 || ReadFile(file, data, static_cast<DWORD>(wanted), &read, nullptr))) {
            *size = read;
        } else {
            memFree(data);
            data = nullptr;
        }
    }
    CloseHandle(file);
    return data;
}

void* win32ReadWholeFile(const char* path, size_t* size) {
    size_t ignored = 0;
    return readFilePrefix(path, SIZE_MAX - 1, size ? size : &ignored);
}

char soundBankPath[1024 + 16];

// The bank Windows installs: the system directory's drivers\gm.dls.
void* win32ReadSoundBank(size_t limit, size_t* size) {
    *size = 0;
    soundBankPath[0] = 0;
    char path[sizeof soundBankPath] = {};
    const UINT length = GetSystemDirectoryA(path, 1024);
    if (length == 0 || length >= 1024) return nullptr;
    std::memcpy(path + length, "\\drivers\\gm.dls", 16);
    void* data = readFilePrefix(path, limit, size);
    if (data) std::memcpy(soundBankPath, path, sizeof soundBankPath);
    return data;
}

const char* win32SoundBankSource() {
    return soundBankPath;
}

// No owner window and no caption: the system's default caption is shown.
void win32MessageBox(const char* text) {
    MessageBoxA(nullptr, text, nullptr, MB_OK | MB_ICONWARNING);
}

void win32CatchQuitRequests() {}

int32_t win32QuitRequested() {
    return 0;
}

constexpr PlatformServices kWin32Services = {
    .getGlProc = win32GetGlProc,
    .setSwapInterval = win32SetSwapInterval,
    .sleepMs = win32SleepMs,
    .startThread = win32StartThread,
    .readWholeFile = win32ReadWholeFile,
    .messageBox = win32MessageBox,
    .openGlyphFont = win32OpenGlyphFont,
    .drawGlyph = win32DrawGlyph,
    .closeGlyphFont = win32CloseGlyphFont,
    .readSoundBank = win32ReadSoundBank,
    .soundBankSource = win32SoundBankSource,
    .catchQuitRequests = win32CatchQuitRequests,
    .quitRequested = win32QuitRequested,
};

PlatformServices services = kWin32Services;

} // namespace

PlatformServices* platformServices() {
    return &services;
}

void resetPlatformServices() {
    services = kWin32Services;
}
