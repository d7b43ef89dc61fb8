// Live reload from the source tree: the shader texts, the music sources and the track file are
// watched, and a changed one is rebuilt while the last good version stays in use.
#pragma once

#include <cstdint>
#include <string>

// What a reload did, for the overlay and the state lines.
struct ReloadOutcome {
    bool happened = false; // a file of this kind changed and was looked at
    bool ok = true;        // it built; false: `error` says why and the old version stays
    bool redraw = false;   // the picture comes out differently now (a program or keys replaced)
    std::string what;      // "shaders", "music" or "tracks"
    std::string detail;    // the files rebuilt, or the first error's "file:line"
    std::string error;     // every error line, each ending in a newline
};

// Starts watching the tree's src/shaders, src/music and src/tracks (nothing when `root` is empty)
// and remembers the texts the show started with, so a file saved unchanged rebuilds nothing.
void openSourceTree(const std::string& root);
void closeSourceTree();
// True while the tree's folders are watched.
bool sourceTreeWatched();

// Notes the files changed since the last call; a file is reloaded once it has been quiet for a
// short while (an editor's save is often several writes), which comes back as true.
bool pollSourceTree(uint64_t nowMicroseconds);
// Marks every watched file changed, due at once: for F5 (which reports files found unchanged too)
// and for the start (a tree edited before the studio started is taken as it is).
void markAllSources(bool reportUnchanged);

// The reloads that are due, each kind at most once a call, in the order shaders, music, tracks;
// `report` is called with each outcome. A file that cannot be read (half written, deleted) is
// skipped without a report: its next save brings it back.
void reloadDueSources(uint64_t nowMicroseconds, void (*report)(void* context, const ReloadOutcome& outcome),
                      void* context);

// The music the show starts with: the tree's sources when they compile, else the built-in song.
// On a compile error *error holds it.
void startingMusic(std::string* error);
