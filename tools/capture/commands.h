// The subcommands of quorlax-capture. Each takes the arguments after its name and returns the
// process exit code: 0 done, 1 failed while working, 2 bad arguments or an unusable path.
#pragma once

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// quorlax-capture wav [--frames N] OUT.wav
int runWavCommand(int argc, char** argv);
extern const char* const kWavUsage;

// quorlax-capture frame --tick T --size WxH [--fps F] [--frames N] OUT.png
int runFrameCommand(int argc, char** argv);
extern const char* const kFrameUsage;

// quorlax-capture video --size WxH --fps N [--from T] [--to T] [--crf Q] [--quiet] OUT.mp4|OUT.mkv
int runVideoCommand(int argc, char** argv);
extern const char* const kVideoUsage;

// quorlax-capture sheet --size WxH OUT.png
int runSheetCommand(int argc, char** argv);
extern const char* const kSheetUsage;
// quorlax-capture glyphs [--face NAME] OUT.pgm
int runGlyphsCommand(int argc, char** argv);
extern const char* const kGlyphsUsage;
