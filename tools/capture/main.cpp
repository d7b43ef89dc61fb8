// quorlax-capture: renders parts of the show to files without a screen or a sound device.
#include <cstdio>
#include <cstring>

int runFrameCommand(int argc, char** argv);

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv); // receives the arguments after the command word
    const char* summary;
};

const Command kCommands[] = {
    {"frame", runFrameCommand, "frame --tick T --size WxH OUT.png   one moment of the show as a PNG"},
};

void printUsage(FILE* out) {
    std::fprintf(out, "usage: quorlax-capture COMMAND [ARGUMENTS]\n\ncommands:\n");
    for (const Command& command : kCommands) std::fprintf(out, "  %s\n", command.summary);
    std::fprintf(out,
                 "\n'quorlax-capture COMMAND --help' describes a command. Exit code 2: bad arguments.\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        printUsage(stdout);
        return 0;
    }
    for (const Command& command : kCommands)
        if (std::strcmp(argv[1], command.name) == 0) return command.run(argc - 2, argv + 2);
    std::fprintf(stderr, "quorlax-capture: unknown command '%s'\n", argv[1]);
    printUsage(stderr);
    return 2;
}
