// Tracks from a track file laid over the registered ones: the keys of each track the file names
// replace that track's keys; tracks the file does not name keep theirs.
#pragma once

#include "trackc/track_file.h"

#include <string>

struct TrackRegistry;

// Replaces the keys of every track of `document` in `registry`. Every name must be registered
// there already (the file was checked against the show's names); false with "file: message" in
// *error when one is not or memory runs out, the tracks replaced so far staying replaced.
bool replaceTrackKeys(TrackRegistry* registry, const TrackDocument& document, const std::string& path,
                      std::string* error);
