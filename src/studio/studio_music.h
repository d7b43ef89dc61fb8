// The studio's music: songs rendered in the background into buffers of their own, the sound
// device (or the wall clock) as the clock, and the switch to a newly rendered song at the playhead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Opens the sound device (the wall clock drives the playhead without one); true when one opened.
bool openStudioSound();
void closeStudioSound();

// Starts rendering a song and patch in the background (the synthesizer is re-prepared with them).
// It becomes the current song once its render has passed the playhead (updateStudioMusic), the
// old one playing on until then.
void renderStudioSong(const std::vector<uint8_t>& song, const std::vector<uint16_t>& patch);

// The playhead is at song frame `frame`, playing or paused: playback restarts there.
void seekStudioMusic(uint32_t frame, bool playing);
// The song frame being played now, as the device's play position (or the wall clock) says.
uint32_t studioMusicFrame();
// Frames the current song lasts (0 before the first render has sized its buffer).
uint32_t studioSongFrames();
// True when the current song is rendered up to the frame, or a little ahead of it while playing.
bool studioMusicReady(uint32_t frame);

// Called once a frame with the playhead's song frame: switches to a song whose render has passed
// it and frees a replaced one once no longer heard. True on the frame the switch happened.
bool updateStudioMusic(uint32_t frame);
// A short fingerprint of the current song and patch ("" before the first), for the state lines.
std::string studioMusicFingerprint();
// Stops the render and frees every buffer.
void releaseStudioMusic();
