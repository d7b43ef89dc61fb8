// The studio's side of its link to a sync editor (--sync): the link polled once a frame as the
// studio's link, its seeks, pauses and key changes handed over as the studio's requests.
#pragma once

#include "studio/studio_options.h"

#include <string>

// Starts the link for options.syncHost:syncPort over the show's track registry, saving to
// src/tracks/show.rocket of options.sources, and installs it with setStudioLink. False with
// *error when the host cannot be resolved.
bool startStudioSync(const StudioOptions& options, std::string* error);
