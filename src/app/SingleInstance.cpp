// Handing station files to a Norva that already runs.
#include "app/SingleInstance.h"

#include <poll.h>

#include <chrono>

#include "dde/DdeBus.h"
#include "dde/DdeClient.h"
#include "dde/OpenFileTopic.h"

namespace norva {

bool handOffToRunningNorva(const std::string& busAddress, const std::string& myName,
                           const std::vector<std::filesystem::path>& files, int timeoutMs) {
    if (files.empty()) return false;
    DdeBus::Opened opened = DdeBus::open(busAddress);
    if (!opened.bus) return false;
    DdeBus& bus = *opened.bus;
    DdeClient client(bus);
    std::size_t answered = 0;
    std::size_t taken = 0;
    const std::uint64_t timeoutUsec = static_cast<std::uint64_t>(timeoutMs) * 1000;
    for (const auto& file : files) {
        // The running program resolves the path against nothing of ours.
        const std::string path = std::filesystem::absolute(file).string();
        const bool asked = handOffOpen(
            client, myName, path,
            [&](bool took) {
                ++answered;
                if (took) ++taken;
            },
            timeoutUsec);
        if (!asked) ++answered;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs + 500);
    while (answered < files.size() && std::chrono::steady_clock::now() < end) {
        if (!bus.process()) break;
        pollfd p{bus.fd(), bus.events(), 0};
        const int due = bus.timeoutMs();
        ::poll(&p, 1, due >= 0 && due < 100 ? due : 100);
    }
    return taken == files.size();
}

}  // namespace norva
