// Watching folders on Linux with inotify. An editor that saves by writing a new file and renaming
// it over the old one shows up as the rename's arrival (IN_MOVED_TO), one that writes in place as
// the close after writing.
#include "platform/file_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <new>

namespace {
constexpr int32_t kMaximumFolders = 8;
} // namespace

struct FileWatch {
    int descriptor;
    int32_t count;
    int watches[kMaximumFolders]; // inotify's watch descriptor per folder, -1 for a missing one
};

namespace {

constexpr uint32_t kChangeMask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MOVED_FROM;

FileWatch* linuxOpenFileWatch(const char* const* folders, int32_t count) {
    if (count < 0 || count > kMaximumFolders) return nullptr;
    const int descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor < 0) return nullptr;
    auto* watch = new (std::nothrow) FileWatch{descriptor, count, {}};
    if (!watch) {
        close(descriptor);
        return nullptr;
    }
    int32_t watched = 0;
    for (int32_t i = 0; i < count; ++i) {
        watch->watches[i] = inotify_add_watch(descriptor, folders[i], kChangeMask);
        if (watch->watches[i] >= 0) ++watched;
    }
    if (watched == 0) {
        close(descriptor);
        delete watch;
        return nullptr;
    }
    return watch;
}

int32_t linuxPollFileWatch(FileWatch* watch, FileChangeCallback changed, void* context) {
    if (!watch) return 0;
    alignas(inotify_event) char buffer[4096];
    int32_t reported = 0;
    for (;;) {
        const ssize_t length = read(watch->descriptor, buffer, sizeof buffer);
        if (length <= 0) break; // EAGAIN: nothing more pending
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event)) + event->len;
            if (event->len == 0 || (event->mask & IN_ISDIR)) continue;
            for (int32_t folder = 0; folder < watch->count; ++folder)
                if (watch->watches[folder] == event->wd) {
                    changed(context, folder, event->name);
                    ++reported;
                }
        }
    }
    return reported;
}

void linuxCloseFileWatch(FileWatch* watch) {
    if (!watch) return;
    close(watch->descriptor);
    delete watch;
}

FileWatchServices services = {linuxOpenFileWatch, linuxPollFileWatch, linuxCloseFileWatch};

} // namespace

FileWatchServices* fileWatchServices() {
    return &services;
}
