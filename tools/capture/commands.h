// The commands of quorlax-capture, each defined in its own file with its description, its output
// types and its run function; the options they take are listed in front_end.cpp.
#pragma once

#include "capture/front_end.h"

extern const CaptureCommand kWavCapture;    // the soundtrack as WAV
extern const CaptureCommand kFrameCapture;  // one moment of the show as PNG
extern const CaptureCommand kSheetCapture;  // the eight scenes on one PNG
extern const CaptureCommand kVideoCapture;  // a span of the show with its sound, through ffmpeg
extern const CaptureCommand kGlyphsCapture; // the glyph atlas as this system draws it, as PGM
