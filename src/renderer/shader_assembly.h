// Shader assembly: pasting the shared libraries into a scene text and building its program.
#pragma once

#include <cstdint>

// One library a scene text may include by name.
struct IncludeLibraryEntry {
    char name[64];
    const char* text;
};

constexpr int32_t kIncludeLibraryCount = 2;
// "common.inl" then "postprocess.inl", in search order, with their embedded texts.
const IncludeLibraryEntry* includeLibrary();
// Makes later builds include `text` (kept by the caller while it is in use) under the library's
// name, as when its file was edited; null puts the embedded text back. 1, or 0 for a name that is
// no library's.
int32_t setIncludeLibraryText(const char* name, const char* text);

// Every non-overlapping occurrence of `pattern` in `text`, found left to right, replaced by
// `replacement`; pasted text is never searched again. The result is a heap block that also
// replaces *state (the previous block there is freed, so `text` may be *state itself). Null,
// with *state untouched, when an argument is null or the allocation fails. An empty pattern
// matches nothing.
char* replaceAll(const char* text, char** state, const char* pattern, const char* replacement);

// Replaces every include line that names a library by that library's text; the newline after the
// line stays. Include lines naming anything else stay in place (the compiler rejects them), and
// so do the lines past the sixteenth expansion. The result is `text` itself when nothing was
// replaced, else a heap block the caller frees.
const char* expandIncludes(const char* text);

// Expands the includes and builds a separable fragment-only program: the GL program name, or -1
// when it does not link (the failed program object is kept, as GL made it).
int32_t buildSceneProgram(const char* sceneText);
// The information log of the last failed build (empty after a successful one).
const char* sceneProgramLog();
