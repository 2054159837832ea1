// norva without the desktop: the headless program only.
#include "app/Headless.h"

int main(int argc, char** argv) { return norva::runHeadless(argc, argv); }
