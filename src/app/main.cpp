// quorlax: the presentation. No argument changes the show; --help and --version only print.
#include "app/application.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::puts("usage: quorlax\n"
                      "\n"
                      "Asks for a resolution and full screen, then plays the show with its music\n"
                      "(about 220 s). Escape or closing the window ends it. Without a display,\n"
                      "quorlax-capture renders the soundtrack and pictures to files.");
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("Varnholt Quorlax");
            return 0;
        }
    }
    return runApplication();
}
