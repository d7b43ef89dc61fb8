// Quit requests on Linux: a signal becomes a request the program reads, sleeps stop waiting, and a
// signal the program was started with ignored stays ignored. Each case runs in a child process, so
// the handlers stay out of the other tests.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs `body` in a child; its return value is the child's exit code, 100 when a signal ended it.
template <typename Body>
int inChild(Body body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST(QuitRequests, FirstSignalIsTheRequestAndSleepsEnd) {
    const int code = inChild([] {
        PlatformServices* platform = platformServices();
        platform->catchQuitRequests();
        if (platform->quitRequested() != 0) return 1;
        raise(SIGTERM);
        if (platform->quitRequested() != SIGTERM) return 2;
        raise(SIGINT);
        if (platform->quitRequested() != SIGTERM) return 3;
        // Ten minutes: the test would time out if the sleep waited.
        platform->sleepMs(600000);
        return 0;
    });
    EXPECT_EQ(code, 0);
}

TEST(QuitRequests, SignalIgnoredAtStartStaysIgnored) {
    const int code = inChild([] {
        signal(SIGHUP, SIG_IGN);
        platformServices()->catchQuitRequests();
        raise(SIGHUP);
        if (platformServices()->quitRequested() != 0) return 1;
        raise(SIGTERM);
        return platformServices()->quitRequested() == SIGTERM ? 0 : 2;
    });
    EXPECT_EQ(code, 0);
}

} // namespace
