// quorlax-capture: renders the presentation's output without a window or a sound card.
#include "capture/commands.h"

#include <cstdio>
#include <cstring>

namespace {

const CaptureCommand* const kCommands[] = {
#if !defined(QUORLAX_CAPTURE_WITHOUT_GL) // they draw the scenes (and video runs an encoder)
    &kFrameCapture, &kSheetCapture,  &kVideoCapture,
#endif
    &kWavCapture,   &kGlyphsCapture,
};

void printUsage(std::FILE* to) {
    std::fputs("usage: quorlax-capture COMMAND [ARGUMENTS]\n\ncommands:\n", to);
    for (const CaptureCommand* command : kCommands)
        std::fprintf(to, "%s\n      %s\n", commandSynopsis(*command).c_str(), command->summary);
    std::fputs("\n'quorlax-capture COMMAND --help' describes one command.\n"
               "Exit codes: 0 done, 1 failed while working, 2 bad arguments or an unusable path,\n"
               "128+signal interrupted (no partial output is left).\n",
               to);
}

} // namespace

int main(int argc, char** argv) {
    watchInterruptions("quorlax-capture");
    if (argc < 2) {
        printUsage(stderr);
        return kExitUsage;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        printUsage(stdout);
        return kExitDone;
    }
    for (const CaptureCommand* command : kCommands)
        if (std::strcmp(argv[1], command->name) == 0) return runCaptureCommand(*command, argc - 2, argv + 2);
    std::fprintf(stderr, "quorlax-capture: unknown command '%s' (try --help)\n", argv[1]);
    return kExitUsage;
}
