// Watching folders for changed files: written and closed, created, renamed into or deleted.
#pragma once

#include <cstdint>

struct FileWatch;

// Called once per change, with the index of the folder in the list given to openFileWatch and the
// file's name in it.
using FileChangeCallback = void (*)(void* context, int32_t folder, const char* name);

struct FileWatchServices {
    // Starts watching the folders (a missing one is skipped); null when nothing can be watched.
    FileWatch* (*openFileWatch)(const char* const* folders, int32_t count);
    // Reports the changes noticed since the last call and returns their count; never waits.
    int32_t (*pollFileWatch)(FileWatch* watch, FileChangeCallback changed, void* context);
    // Stops watching; null is ignored.
    void (*closeFileWatch)(FileWatch* watch);
};

FileWatchServices* fileWatchServices();
