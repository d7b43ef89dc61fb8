// The song and patch compiled into the program: generated at build time by songc from
// src/music/song.toml and src/music/patch.toml (cmake/music.cmake).
#pragma once

#include <cstddef>
#include <cstdint>

// The song as stored: header, delta-coded event area, end marker.
const uint8_t* builtinSongBytes(size_t* size);
// The kPatchWordCount patch words.
const uint16_t* builtinPatchWords();
