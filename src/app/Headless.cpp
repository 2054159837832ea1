// The headless program's main flow.
#include "app/Headless.h"

#include <csignal>
#include <cstdio>

#include "app/CommandLine.h"
#include "app/Engine.h"
#include "app/HeadlessUi.h"
#include "platform/ProgramDir.h"

namespace norva {

int runHeadless(int argc, char** argv) {
    const CommandLine cl = parseCommandLine(argc, argv);
    if (cl.help) {
        std::fputs(usageText(), stdout);
        return 0;
    }
    if (!cl.error.empty()) {
        std::fprintf(stderr, "norva: %s\n%s", cl.error.c_str(), usageText());
        return 2;
    }
    const ProgramDirResult dir = resolveProgramDir(cl.dir);
    if (!dir.error.empty()) {
        std::fprintf(stderr, "norva: %s\n", dir.error.c_str());
        return 1;
    }

    // The signals are taken by sigwait below; block them before any thread starts.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Profile profile(dir.dir / "norva.ini");
    RealClock clock;
    HeadlessUi ui;
    SystemLog log(dir.dir, clock);
    log.event("Norva Start...\r\n");

    EngineConfig config;
    config.programDir = dir.dir;
    config.settings.noExtHostMode = profile.getInt("Frame", "NoExtHostMode", 0) != 0;
    config.settings.yield = profile.getInt("Frame", "Yield", 1) != 0;
    Engine engine(config, profile, ui, clock);
    engine.start();

    int signal = 0;
    sigwait(&stopSignals, &signal);
    std::fprintf(stderr, "norva: stopping (signal %d)\n", signal);
    engine.shutdown();
    log.event("Norva Stop...\r\n");
    return 0;
}

}  // namespace norva
