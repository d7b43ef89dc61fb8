// The song compiler: turns the readable patch and song sources (TOML, see docs/music-format.md)
// into the synthesizer's patch words and song bytes, prints any such blob back as source text,
// summarises it, and writes a song source from a Standard MIDI File.
//
// Every function that can fail returns false and leaves one line "file:line: message" (or
// "file: message") in *error; none of them throws or aborts on bad input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The patch: kPatchWordCount words.
bool compilePatch(const std::string& text, const std::string& path, std::vector<uint16_t>* words,
                  std::string* error);
// The song: header, delta-coded event area, end marker. With `patch` (its words) the notes are
// also checked against the pools they reach (queue room per tick); without it they are not.
bool compileSong(const std::string& text, const std::string& path, const uint16_t* patch,
                 std::vector<uint8_t>* bytes, std::string* error);

// Source text that compiles back to the same blob.
bool dumpPatch(const uint16_t* words, std::string* text, std::string* error);
bool dumpSong(const uint8_t* bytes, size_t size, std::string* text, std::string* error);

// Human-readable summaries: records, constants and words used; notes per channel and streams.
std::string patchStats(const uint16_t* words);
std::string songStats(const uint8_t* bytes, size_t size);

// A song source from a format 0 or 1 Standard MIDI File; *warnings collects lines for things
// the song cannot keep (tempo changes, events past the time limit).
bool importMidi(const std::string& path, std::string* text, std::string* warnings, std::string* error);
// The same from the file's bytes; `path` names it in the messages.
bool importMidiBytes(const std::string& bytes, const std::string& path, std::string* text,
                     std::string* warnings, std::string* error);

// Reads a whole file through the tools' bounded reader (shared/input_file.h): regular files of at
// most kInputFileLimit bytes; false with "path: cannot be read: reason" in *error.
bool readFile(const std::string& path, std::string* bytes, std::string* error);
