// norva: the desktop program, or with --headless the program without a display.
#include <csignal>
#include <cstring>

#include "app/Headless.h"
#include "gui/DesktopApp.h"

int main(int argc, char** argv) {
    // A closed pipe (a reader of our output, a helper program) must not end
    // the station; the write just fails.
    std::signal(SIGPIPE, SIG_IGN);
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--headless") == 0)
            return norva::runHeadless(argc, argv);
    return norva::runDesktop(argc, argv);
}
