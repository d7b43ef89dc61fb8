// Linux implementations of the platform services.
#include "platform/platform.h"

#include "base/memory.h"
#include "platform/linux/glyph_rasteriser.h"
#include "platform/linux/quit_requests.h"

#include <EGL/egl.h>
#include <SDL2/SDL.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

int linuxSetSwapInterval(int interval) {
    if (SDL_GL_GetCurrentContext()) return SDL_GL_SetSwapInterval(interval) == 0;
    EGLDisplay display = eglGetCurrentDisplay();
    if (display == EGL_NO_DISPLAY) return 0;
    return eglSwapInterval(display, interval) == EGL_TRUE;
}

// The renderer's table asks for the WGL name "wglSwapIntervalEXT" like every other entry point;
// on Linux that slot is served by this layer's own swap-interval function.
int swapIntervalSlot(int interval) {
    return linuxSetSwapInterval(interval);
}

GlProc linuxGetGlProc(const char* name) {
    if (std::strcmp(name, "wglSwapIntervalEXT") == 0) return reinterpret_cast<GlProc>(&swapIntervalSlot);
    if (SDL_GL_GetCurrentContext()) return reinterpret_cast<GlProc>(SDL_GL_GetProcAddress(name));
    return reinterpret_cast<GlProc>(eglGetProcAddress(name));
}

struct ThreadStart {
    ThreadEntry entry;
    void* argument;
    int raisedPriority;
};

void* threadTrampoline(void* raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    memFree(raw);
    if (start.raisedPriority) {
        // Real-time scheduling needs privileges; a lower nice value is the fallback. Either may
        // be refused, and the thread then runs at normal priority.
        sched_param param{};
        param.sched_priority = sched_get_priority_min(SCHED_RR) + 1;
        if (pthread_setschedparam(pthread_self(), SCHED_RR, &param) != 0)
            (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -10);
    }
    start.entry(start.argument);
    return nullptr;
}

int linuxStartThread(ThreadEntry entry, void* argument, int raisedPriority) {
    auto* start = static_cast<ThreadStart*>(memAlloc(sizeof(ThreadStart)));
    if (!start) return 0;
    *start = {entry, argument, raisedPriority};
    pthread_t thread;
    if (pthread_create(&thread, nullptr, threadTrampoline, start) != 0) {
        memFree(start);
        return 0;
    }
    pthread_detach(thread);
    return 1;
}

// The length of an open file, its position back at the start; -1 when it cannot be found.
long fileLength(FILE* file) {
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    return length >= 0 && std::fseek(file, 0, SEEK_SET) == 0 ? length : -1;
}

void* linuxReadWholeFile(const char* path, size_t* size) {
    if (size) *size = 0;
    FILE* file = std::fopen(path, "rb");
    if (!file) return nullptr;
    void* data = nullptr;
    const long length = fileLength(file);
    if (length >= 0) {
        // One spare zero byte so text files can be used as strings.
        data = memAlloc(static_cast<size_t>(length) + 1);
        if (data && std::fread(data, 1, static_cast<size_t>(length), file) != static_cast<size_t>(length)) {
            memFree(data);
            data = nullptr;
        }
    }
    std::fclose(file);
    if (data && size) *size = static_cast<size_t>(length);
    return data;
}

// Up to `limit` bytes of `path` when it is a regular file holding at least one byte; null
// otherwise. Opened without blocking, so a FIFO or device named as the bank cannot stall start-up;
// the type is checked on the opened descriptor, so the file cannot be swapped in between.
void* readRegularFilePrefix(const char* path, size_t limit, size_t* size) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return nullptr;
    struct stat info {};
    void* data = nullptr;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        const size_t wanted =
            static_cast<uint64_t>(info.st_size) < limit ? static_cast<size_t>(info.st_size) : limit;
        data = memAlloc(wanted > 0 ? wanted : 1);
        size_t got = 0;
        while (data && got < wanted) {
            const ssize_t n = read(fd, static_cast<uint8_t*>(data) + got, wanted - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        // A file that shrank to nothing while being read is passed over like an empty one.
        if (data && got == 0 && wanted > 0) {
            memFree(data);
            data = nullptr;
        }
        if (data) *size = got;
    }
    close(fd);
    return data;
}

char soundBankPath[1024];

// The bank a Windows system carries is not part of a Linux system; it is looked for where a
// user or a Wine installation would put it. A place holding no usable file (missing, empty, a
// directory, a FIFO or device) passes the search on to the next.
void* linuxReadSoundBank(size_t limit, size_t* size) {
    *size = 0;
    soundBankPath[0] = 0;
    const char* home = std::getenv("HOME");
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* wine = std::getenv("WINEPREFIX");
    const char* chosen = std::getenv("QUORLAX_GM_DLS");
    char paths[4][1024] = {};
    if (chosen && *chosen) std::snprintf(paths[0], sizeof paths[0], "%s", chosen);
    if (dataHome && *dataHome)
        std::snprintf(paths[1], sizeof paths[1], "%s/quorlax/gm.dls", dataHome);
    else if (home)
        std::snprintf(paths[1], sizeof paths[1], "%s/.local/share/quorlax/gm.dls", home);
    std::snprintf(paths[2], sizeof paths[2], "/usr/share/sounds/dls/gm.dls");
    if (wine && *wine)
        std::snprintf(paths[3], sizeof paths[3], "%s/drive_c/windows/system32/drivers/gm.dls", wine);
    else if (home)
        std::snprintf(paths[3], sizeof paths[3], "%s/.wine/drive_c/windows/system32/drivers/gm.dls", home);
    static_assert(sizeof soundBankPath == sizeof paths[0]);
    for (const char* path : paths) {
        if (!*path) continue;
        if (void* data = readRegularFilePrefix(path, limit, size)) {
            std::memcpy(soundBankPath, path, sizeof soundBankPath);
            return data;
        }
    }
    return nullptr;
}

const char* linuxSoundBankSource() {
    return soundBankPath;
}

void linuxMessageBox(const char* text) {
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, "", text, nullptr) != 0)
        std::fprintf(stderr, "%s\n", text);
}

constexpr PlatformServices kLinuxServices = {
    .getGlProc = linuxGetGlProc,
    .setSwapInterval = linuxSetSwapInterval,
    .sleepMs = linuxSleepMs,
    .startThread = linuxStartThread,
    .readWholeFile = linuxReadWholeFile,
    .messageBox = linuxMessageBox,
    .openGlyphFont = linuxOpenGlyphFont,
    .drawGlyph = linuxDrawGlyph,
    .closeGlyphFont = linuxCloseGlyphFont,
    .readSoundBank = linuxReadSoundBank,
    .soundBankSource = linuxSoundBankSource,
    .catchQuitRequests = linuxCatchQuitRequests,
    .quitRequested = linuxQuitRequested,
};

PlatformServices services = kLinuxServices;

} // namespace

PlatformServices* platformServices() {
    return &services;
}

void resetPlatformServices() {
    services = kLinuxServices;
}
