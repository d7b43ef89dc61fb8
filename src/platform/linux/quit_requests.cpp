// Quit requests: the signals that ask a program to end are turned into a flag and a readable
// pipe, so every phase (the dialog's event loop, a sleep, the main loop) can end in order instead
// of the process ending at once with the display mode changed and the cursor hidden.
#include "platform/linux/quit_requests.h"

#include "platform/platform.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <initializer_list>

namespace {

volatile sig_atomic_t gRequest = 0;
int gPipe[2] = {-1, -1};

void noteRequest(int signal) {
    const int saved = errno;
    if (!gRequest) gRequest = signal;
    const char byte = 1;
    const ssize_t ignored = write(gPipe[1], &byte, 1);
    (void)ignored;
    errno = saved;
}

} // namespace

void linuxCatchQuitRequests() {
    if (gPipe[0] >= 0 || pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = noteRequest;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal the program was started with ignored (nohup, a background job of a script)
        // stays ignored.
        struct sigaction before {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}

int32_t linuxQuitRequested() {
    return gRequest;
}

int quitRequestDescriptor() {
    return gPipe[0];
}

void linuxSleepMs(uint32_t milliseconds) {
    // Once a quit request has come, nothing is worth waiting for: the program is ending, and the
    // few loops that sleep while another thread finishes only turn a little faster.
    if (gPipe[0] < 0) {
        timespec wait{static_cast<time_t>(milliseconds / 1000),
                      static_cast<long>(milliseconds % 1000) * 1000000L};
        while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
        }
        return;
    }
    timespec start{}, now{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (int64_t left = milliseconds; left > 0 && !gRequest;) {
        pollfd watched{gPipe[0], POLLIN, 0};
        const int ready = poll(&watched, 1, int(left));
        if (ready > 0 || (ready < 0 && errno != EINTR)) return;
        clock_gettime(CLOCK_MONOTONIC, &now);
        left = int64_t(milliseconds) -
               (int64_t(now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000);
    }
}
