// The headless program: norva --headless [--dir DIR]. Runs the engine
// without a display until SIGINT or SIGTERM, then stops every TNC cleanly.
#pragma once

namespace norva {

// Returns the process exit code.
int runHeadless(int argc, char** argv);

}  // namespace norva
