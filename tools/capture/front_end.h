// The capture commands' front end: one table of options read by one parser into one record, one
// way to report a bad argument, the output checked and opened before any work, and one progress
// line. A command says only what is its own: its description, its output types and its run.
#pragma once

#include "shared/output_file.h"

#include <chrono>
#include <cstdint>
#include <string>

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// One bit per command, naming the commands an option belongs to.
enum CaptureCommandBit : uint32_t {
    kWavCommand = 1u << 0,
    kFrameCommand = 1u << 1,
    kSheetCommand = 1u << 2,
    kVideoCommand = 1u << 3,
    kGlyphsCommand = 1u << 4,
};

// An input file an option names, read whole by the front end (shared/input_file.h).
struct InputText {
    const char* path = nullptr; // null when the option was not given
    std::string bytes;
};

// The value of every option; a command reads the fields of the options it takes. Numbers not
// given hold their option's default.
struct CaptureOptions {
    const char* output = nullptr; // OUT
    int width = 0, height = 0;    // --size
    double tick = 0.0;            // --tick
    double framesPerSecond = 0.0; // --fps
    double frames = 0.0;          // --frames: frame's warm-up run, or wav's frames to render
    double from = 0.0, to = 0.0;  // --from, --to (--to: the end of the show by default)
    double quality = 0.0;         // --crf
    uint32_t channels = 0;        // --channels, one bit per channel
    const char* face = nullptr;   // --face
    bool quiet = false;           // --quiet: nothing but errors
    InputText song, patch;        // --song, --patch
    InputText tracks;             // --tracks
};

// A command of quorlax-capture.
struct CaptureCommand {
    const char* name;
    CaptureCommandBit bit;
    const char* outputs[3];  // the extensions OUT may have, the first one the usual; null-ended
    const char* summary;     // what it does, in a line or two for the tool's --help
    const char* description; // the rest of its --help, after the usage and the options
    // Does the work once the options are complete and OUT is open; returns the exit code. The
    // front end discards OUT when it is not committed.
    int (*run)(const CaptureOptions& options, OutputFile* output);
};

// Reads `arguments` (those after the command's name) for `command`, prints its help or the bad
// argument, opens OUT and runs it; returns the process exit code.
int runCaptureCommand(const CaptureCommand& command, int count, char** arguments);
// The usage line of `command` with its summary, for the tool's --help.
std::string commandSynopsis(const CaptureCommand& command);

// Prints "quorlax-capture COMMAND: MESSAGE[: 'VALUE']" and the hint to --help on stderr; returns
// kExitUsage.
int argumentError(const char* command, const char* message, const char* value = nullptr);
// Prints "quorlax-capture COMMAND: MESSAGE" on stderr; returns kExitFailed.
int commandFailure(const char* command, const std::string& message);
// Prints "quorlax-capture COMMAND: cannot write 'OUT': REASON" on stderr; returns kExitFailed.
int writeFailure(const char* command, const CaptureOptions& options, const std::string& reason);

// The numbers of every option: a decimal as people write it, the whole text (an optional sign,
// digits with at most one point, an optional exponent); no spaces, no hexadecimal, no "inf" or
// "nan". False when `text` is no such number.
bool parseDecimal(const char* text, double* value);

// The progress line of a long command: on a terminal, unless --quiet, one line redrawn in place
// with a bar, the share done, "DONE of TOTAL UNIT" and the time left; nothing otherwise.
struct ProgressLine {
    bool shown;
    const char* unit;
    std::chrono::steady_clock::time_point start, drawn;
};
ProgressLine startProgress(const CaptureOptions& options, const char* unit);
void showProgress(ProgressLine* line, int64_t done, int64_t total);
// Clears the line, so what is printed next starts on an empty line.
void endProgress(ProgressLine* line);
