// norva: the desktop program, or with --headless the program without a display.
#include <cstring>

#include "app/Headless.h"
#include "gui/DesktopApp.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--headless") == 0)
            return norva::runHeadless(argc, argv);
    return norva::runDesktop(argc, argv);
}
