#include "capture/front_end.h"

#include "framework/scenes.h"
#include "framework/track_data.h"
#include "shared/capture_plan.h"
#include "shared/input_file.h"
#include "synth/song_clock.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kMaximumSide = 8192;
constexpr int kChannels = 16;
// A fallback that stands for the end of the show, which is known only at run time.
constexpr double kEndOfShow = -1.0;

constexpr uint32_t kShowCommands = kFrameCommand | kSheetCommand | kVideoCommand;
constexpr uint32_t kEveryCommand = kWavCommand | kShowCommands | kGlyphsCommand;

enum OptionKind : uint8_t {
    kFlag,        // no value
    kNumber,      // a decimal from `least` to `most`
    kWholeNumber, // the same, whole
    kTime,        // a presentation time in ticks, from 0 to the end of the show
    kSize,        // WxH, each side from 1 to kMaximumSide
    kChannelList, // channels such as 0,2,5-7
    kText,        // any text
    kInput,       // an input file, read whole before the command runs
};

// Fields a row leaves out are zero.
struct CaptureOption {
    const char* name = nullptr;
    const char* value = nullptr; // how its value shows in the usage ("T"); null for a flag
    uint32_t takenBy = 0;        // the commands that take it
    uint32_t neededBy = 0;       // the commands that cannot do without it
    OptionKind kind = kFlag;
    double least = 0, most = 0; // a number's range, both ends included
    double fallback = 0;        // a number's value when it is not given
    double CaptureOptions::*number = nullptr;
    bool CaptureOptions::*flag = nullptr;
    const char* CaptureOptions::*text = nullptr;
    InputText CaptureOptions::*input = nullptr;
    const char* needs = nullptr; // what a bad value is told: "--tick needs ..."
    const char* help = nullptr;  // its line in the command's --help
};

// Every option of every command, in the order the usage lines list them. To add one: add its field
// to CaptureOptions, a row here naming the commands that take it, and read the field in those
// commands' run functions. An option of the same name may mean different things to different
// commands (--frames); each meaning is a row of its own.
const CaptureOption kCaptureOptions[] = {
    {.name = "--tick",
     .value = "T",
     .takenBy = kFrameCommand,
     .neededBy = kFrameCommand,
     .kind = kTime,
     .number = &CaptureOptions::tick,
     .needs = "a time in ticks, 0 or more",
     .help = "the moment to draw, in clock ticks"},
    {.name = "--size",
     .value = "WxH",
     .takenBy = kShowCommands,
     .neededBy = kShowCommands,
     .kind = kSize,
     .needs = "WxH, each side 1 to 8192",
     .help = "the picture's width and height in pixels"},
    {.name = "--fps",
     .value = "F",
     .takenBy = kFrameCommand,
     .kind = kNumber,
     .least = 0.001,
     .most = 1000,
     .fallback = kDefaultCaptureFramesPerSecond,
     .number = &CaptureOptions::framesPerSecond,
     .needs = "a number of frames a second from 0.001 to 1000",
     .help = "frames a second of presentation time of the warm-up run (default 60)"},
    {.name = "--fps",
     .value = "N",
     .takenBy = kVideoCommand,
     .neededBy = kVideoCommand,
     .kind = kWholeNumber,
     .least = 1,
     .most = 240,
     .number = &CaptureOptions::framesPerSecond,
     .needs = "a whole number from 1 to 240",
     .help = "frames a second of presentation time"},
    {.name = "--frames",
     .value = "N",
     .takenBy = kFrameCommand,
     .kind = kWholeNumber,
     .least = kMinimumWarmUpFrames,
     .most = kMaximumWarmUpFrames,
     .fallback = kMinimumWarmUpFrames,
     .number = &CaptureOptions::frames,
     .needs = "a count from 8 to 10000",
     .help = "frames of the warm-up run, the last one at T (default 8)"},
    {.name = "--frames",
     .value = "N",
     .takenBy = kWavCommand,
     .kind = kWholeNumber,
     .least = 1,
     .most = 4294967295.0,
     .fallback = 4294967295.0,
     .number = &CaptureOptions::frames,
     .needs = "a whole number of frames from 1 to 4294967295",
     .help = "render only the first N frames (44,100 a second)"},
    {.name = "--from",
     .value = "T",
     .takenBy = kVideoCommand,
     .kind = kTime,
     .fallback = 0,
     .number = &CaptureOptions::from,
     .needs = "a time in ticks, 0 or more",
     .help = "the first tick of the span (default 0)"},
    {.name = "--to",
     .value = "T",
     .takenBy = kVideoCommand,
     .kind = kTime,
     .fallback = kEndOfShow,
     .number = &CaptureOptions::to,
     .needs = "a time in ticks, 0 or more",
     .help = "the end of the span (default the end of the show)"},
    {.name = "--crf",
     .value = "Q",
     .takenBy = kVideoCommand,
     .kind = kWholeNumber,
     .least = 0,
     .most = 51,
     .fallback = 18,
     .number = &CaptureOptions::quality,
     .needs = "a whole number from 0 to 51",
     .help = "H.264 quality, 0 lossless to 51 worst (default 18)"},
    {.name = "--song",
     .value = "S.toml",
     .takenBy = kWavCommand,
     .kind = kInput,
     .input = &CaptureOptions::song,
     .needs = "a song source",
     .help = "render this song source instead"},
    {.name = "--patch",
     .value = "P.toml",
     .takenBy = kWavCommand,
     .kind = kInput,
     .input = &CaptureOptions::patch,
     .needs = "a patch source",
     .help = "render with this patch source"},
    {.name = "--tracks",
     .value = "T.rocket",
     .takenBy = kFrameCommand | kSheetCommand | kVideoCommand,
     .kind = kInput,
     .input = &CaptureOptions::tracks,
     .needs = "a track file",
     .help = "draw with the keys of the tracks this file names"},
    {.name = "--channels",
     .value = "LIST",
     .takenBy = kWavCommand,
     .kind = kChannelList,
     .needs = "a list of channels 0-15 such as 0,2,5-7",
     .help = "only these channels, with their share of the shared effects"},
    {.name = "--face",
     .value = "NAME",
     .takenBy = kGlyphsCommand,
     .kind = kText,
     .text = &CaptureOptions::face,
     .needs = "a face name",
     .help = "the face to draw (default \"Courier New\")"},
    {.name = "--quiet",
     .takenBy = kEveryCommand,
     .kind = kFlag,
     .flag = &CaptureOptions::quiet,
     .help = "print nothing but errors"},
};
constexpr size_t kOptionCount = sizeof kCaptureOptions / sizeof kCaptureOptions[0];

const char kOutputNote[] =
    "OUT is written beside itself under a temporary name and renamed when complete: a failure or\n"
    "Ctrl-C leaves no partial file and an existing OUT as it was.\n"
    "\n"
    "Exit codes: 0 written; 1 failed while working; 2 bad arguments, an input that cannot be read\n"
    "or an OUT that cannot be written (checked before any work); 128+signal when interrupted.\n";

bool takes(const CaptureOption& option, const CaptureCommand& command) {
    return (option.takenBy & command.bit) != 0;
}

bool parseWhole(const char* text, double least, double most, double* value) {
    return parseDecimal(text, value) && *value == std::floor(*value) && *value >= least && *value <= most;
}

bool parseSize(const char* text, CaptureOptions* options) {
    const char* cross = std::strchr(text, 'x');
    if (!cross) return false;
    const std::string width(text, cross);
    double w = 0, h = 0;
    if (!parseWhole(width.c_str(), 1, kMaximumSide, &w) || !parseWhole(cross + 1, 1, kMaximumSide, &h))
        return false;
    options->width = int(w);
    options->height = int(h);
    return true;
}

// "0,2,5-7" as a bit mask.
bool parseChannels(const char* text, uint32_t* mask) {
    *mask = 0;
    std::string list = text;
    for (size_t at = 0; at <= list.size();) {
        size_t end = list.find(',', at);
        if (end == std::string::npos) end = list.size();
        const std::string item = list.substr(at, end - at);
        const size_t dash = item.find('-');
        double first = 0, last = 0;
        if (!parseWhole(item.substr(0, dash).c_str(), 0, kChannels - 1, &first)) return false;
        last = first;
        if (dash != std::string::npos &&
            !parseWhole(item.substr(dash + 1).c_str(), first, kChannels - 1, &last))
            return false;
        for (int c = int(first); c <= int(last); ++c) *mask |= 1u << c;
        at = end + 1;
    }
    return true;
}

std::string outputName(const CaptureCommand& command) {
    std::string name;
    for (int i = 0; i < 3 && command.outputs[i]; ++i)
        name += std::string(i ? "|" : "") + "OUT" + command.outputs[i];
    return name;
}

std::string extensionList(const CaptureCommand& command) {
    std::string list;
    for (int i = 0; i < 3 && command.outputs[i]; ++i)
        list += std::string(i == 0                                ? ""
                            : i + 1 < 3 && command.outputs[i + 1] ? ", "
                                                                  : " or ") +
                command.outputs[i];
    return list;
}

void printHelp(const CaptureCommand& command) {
    std::printf("usage: quorlax-capture %s\n\n%s\n\n", commandSynopsis(command).c_str() + 2, command.summary);
    bool times = false;
    for (const CaptureOption& option : kCaptureOptions) {
        if (!takes(option, command)) continue;
        const std::string left =
            std::string(option.name) + (option.value ? std::string(" ") + option.value : "");
        std::printf("  %-16s %s\n", left.c_str(), option.help);
        times |= option.kind == kTime;
    }
    std::printf("\n%s\n", command.description);
    if (times) {
        std::printf(
            "\nPresentation time is counted in clock ticks, 16 2/3 a second; the scenes start at ticks");
        for (int32_t scene = 0; scene < kSceneCount; ++scene)
            std::printf("%s %d", scene ? "," : "", int(sceneStartTick(scene)));
        std::printf(" and the show ends at tick %.2f (later times are refused).\n", builtinSongClock().lengthTicks);
    }
    std::printf("\n%s", kOutputNote);
}

int pastTheEnd(const char* command, const char* name, double tick) {
    std::fprintf(stderr, "quorlax-capture %s: %s %.3f is past the end of the show (tick %.2f)\n", command,
                 name, tick, builtinSongClock().lengthTicks);
    return kExitUsage;
}

// Reads the value of `option`; the exit code of a bad one, else 0.
int readValue(const CaptureCommand& command, const CaptureOption& option, const char* value,
              CaptureOptions* options) {
    double number = 0;
    bool good = true;
    switch (option.kind) {
    case kFlag:
        options->*option.flag = true;
        break;
    case kNumber:
        good = parseDecimal(value, &number) && number >= option.least && number <= option.most;
        if (good) options->*option.number = number;
        break;
    case kWholeNumber:
        good = parseWhole(value, option.least, option.most, &number);
        if (good) options->*option.number = number;
        break;
    case kTime:
        good = parseDecimal(value, &number) && number >= 0;
        if (good && number > builtinSongClock().lengthTicks) return pastTheEnd(command.name, option.name, number);
        if (good) options->*option.number = number;
        break;
    case kSize:
        good = parseSize(value, options);
        break;
    case kChannelList:
        good = parseChannels(value, &options->channels);
        break;
    case kText:
        options->*option.text = value;
        break;
    case kInput:
        (options->*option.input).path = value;
        break;
    }
    if (good) return 0;
    return argumentError(command.name, (std::string(option.name) + " needs " + option.needs).c_str(), value);
}

// Reads the inputs the options name; the exit code when one cannot be read, else 0.
int readInputs(const CaptureCommand& command, CaptureOptions* options) {
    for (const CaptureOption& option : kCaptureOptions) {
        if (option.kind != kInput || !takes(option, command)) continue;
        InputText& input = options->*option.input;
        if (!input.path) continue;
        if (sameFile(input.path, options->output)) {
            std::fprintf(stderr, "quorlax-capture %s: the output '%s' is the input of %s; it would be lost\n",
                         command.name, options->output, option.name);
            return kExitUsage;
        }
        if (const std::string problem = readInputFile(input.path, &input.bytes); !problem.empty()) {
            std::fprintf(stderr, "quorlax-capture %s: cannot read '%s': %s\n", command.name, input.path,
                         problem.c_str());
            return kExitUsage;
        }
    }
    return 0;
}

// Fills `options` from the arguments; 0 when they are complete, -1 when the help was printed,
// else the exit code of the bad argument.
int parseArguments(const CaptureCommand& command, int count, char** arguments, CaptureOptions* options) {
    bool given[kOptionCount] = {};
    for (const CaptureOption& option : kCaptureOptions) {
        if (!takes(option, command)) continue;
        if (option.number)
            options->*option.number = option.fallback == kEndOfShow ? builtinSongClock().lengthTicks : option.fallback;
        if (option.kind == kChannelList) options->channels = (1u << kChannels) - 1;
    }
    bool onlyPaths = false;
    for (int i = 0; i < count; ++i) {
        const char* argument = arguments[i];
        if (!onlyPaths && (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0)) {
            printHelp(command);
            return -1;
        }
        if (!onlyPaths && std::strcmp(argument, "--") == 0) {
            onlyPaths = true;
            continue;
        }
        if (onlyPaths || argument[0] != '-' || argument[1] == '\0') {
            if (options->output) return argumentError(command.name, "more than one output path", argument);
            options->output = argument;
            continue;
        }
        size_t row = 0;
        while (row < kOptionCount && !(std::strcmp(kCaptureOptions[row].name, argument) == 0 &&
                                       takes(kCaptureOptions[row], command)))
            ++row;
        if (row == kOptionCount) {
            for (const CaptureOption& option : kCaptureOptions)
                if (std::strcmp(option.name, argument) == 0)
                    return argumentError(command.name, "an option of another command", argument);
            return argumentError(command.name, "unknown option", argument);
        }
        const CaptureOption& option = kCaptureOptions[row];
        if (given[row]) return argumentError(command.name, "an option given twice", argument);
        given[row] = true;
        if (option.value && i + 1 >= count)
            return argumentError(command.name, "missing value after", argument);
        if (const int bad = readValue(command, option, option.value ? arguments[++i] : nullptr, options))
            return bad;
    }
    for (size_t row = 0; row < kOptionCount; ++row) {
        const CaptureOption& option = kCaptureOptions[row];
        if ((option.neededBy & command.bit) && !given[row]) {
            const std::string missing = std::string("missing ") + option.name + " " + option.value;
            return argumentError(command.name, missing.c_str());
        }
    }
    if (!options->output)
        return argumentError(command.name, ("missing the output path " + outputName(command)).c_str());
    bool known = false;
    for (int i = 0; i < 3 && command.outputs[i]; ++i)
        known |= hasExtension(options->output, command.outputs[i]);
    if (!known)
        return argumentError(command.name, ("the output must end in " + extensionList(command)).c_str(),
                             options->output);
    return readInputs(command, options);
}

} // namespace

int runCaptureCommand(const CaptureCommand& command, int count, char** arguments) {
    CaptureOptions options;
    const int parsed = parseArguments(command, count, arguments, &options);
    if (parsed < 0) return kExitDone;
    if (parsed > 0) return parsed;
    OutputFile output;
    if (const std::string unusable = openOutputFile(options.output, &output); !unusable.empty()) {
        std::fprintf(stderr, "quorlax-capture %s: cannot write '%s': %s\n", command.name, options.output,
                     unusable.c_str());
        return kExitUsage;
    }
    const int code = command.run(options, &output);
    discardOutputFile(&output);
    return code;
}

std::string commandSynopsis(const CaptureCommand& command) {
    std::string line = std::string("  ") + command.name;
    for (const CaptureOption& option : kCaptureOptions) {
        if (!takes(option, command)) continue;
        const std::string text =
            std::string(option.name) + (option.value ? std::string(" ") + option.value : "");
        line += (option.neededBy & command.bit) ? " " + text : " [" + text + "]";
    }
    return line + " " + outputName(command);
}

int argumentError(const char* command, const char* message, const char* value) {
    if (value)
        std::fprintf(stderr, "quorlax-capture %s: %s: '%s'\n", command, message, value);
    else
        std::fprintf(stderr, "quorlax-capture %s: %s\n", command, message);
    std::fprintf(stderr, "try 'quorlax-capture %s --help'\n", command);
    return kExitUsage;
}

int commandFailure(const char* command, const std::string& message) {
    std::fprintf(stderr, "quorlax-capture %s: %s\n", command, message.c_str());
    return kExitFailed;
}

int writeFailure(const char* command, const CaptureOptions& options, const std::string& reason) {
    return commandFailure(command, "cannot write '" + std::string(options.output) + "': " + reason);
}

bool parseDecimal(const char* text, double* value) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const char* at = text;
    if (*at == '+' || *at == '-') ++at;
    int digits = 0;
    for (; digit(*at); ++at) ++digits;
    if (*at == '.')
        for (++at; digit(*at); ++at) ++digits;
    if (digits == 0) return false;
    if (*at == 'e' || *at == 'E') {
        ++at;
        if (*at == '+' || *at == '-') ++at;
        if (!digit(*at)) return false;
        while (digit(*at)) ++at;
    }
    if (*at != '\0') return false;
    const double parsed = std::strtod(text, nullptr);
    if (!std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

ProgressLine startProgress(const CaptureOptions& options, const char* unit) {
    const auto now = std::chrono::steady_clock::now();
    return {!options.quiet && isatty(STDOUT_FILENO) != 0, unit, now, now - std::chrono::seconds(1)};
}

void showProgress(ProgressLine* line, int64_t done, int64_t total) {
    if (!line->shown || total <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    // A few redraws a second are enough to read, and cost nothing next to the work.
    if (done < total && now - line->drawn < std::chrono::milliseconds(200)) return;
    line->drawn = now;
    constexpr int kWidth = 30;
    const double share = double(done) / double(total);
    const int filled = int(share * kWidth);
    const double seconds = std::chrono::duration<double>(now - line->start).count();
    const int left = done > 0 ? int(seconds / double(done) * double(total - done) + 0.5) : 0;
    std::printf("\r[%.*s%.*s] %3d%%  %lld of %lld %s  %d:%02d left ", filled,
                "##############################", kWidth - filled, "..............................",
                int(share * 100.0), (long long)done, (long long)total, line->unit, left / 60, left % 60);
    std::fflush(stdout);
}

void endProgress(ProgressLine* line) {
    if (!line->shown) return;
    std::printf("\r%100s\r", "");
    std::fflush(stdout);
    line->shown = false;
}
