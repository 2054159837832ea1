// tncsim: simulated WA8DED host-mode TNCs on ptys or TCP ports, for trying
// Norva without hardware and for its integration tests.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

// tncsim
#include "tncsim/CommandLine.h"
#include "tncsim/PtyServer.h"
#include "tncsim/Radio.h"
#include "tncsim/TcpServer.h"

namespace {

using namespace tncsim;

int serve(const ProgramOptions& opt) {
    // Blocked before any thread starts, so only sigwait() below sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    Radio radio(opt.radio);
    for (const auto& call : opt.stations) radio.addStation(call);
    std::vector<std::unique_ptr<PtyServer>> ptys;
    std::vector<std::unique_ptr<TcpServer>> tcps;
    for (int i = 0; i < opt.tncs; ++i) {
        TncConfig config = opt.tnc;
        if (static_cast<std::size_t>(i) < opt.calls.size()) config.call = opt.calls[i];
        SimTnc& tnc = radio.addTnc(config);
        std::string name = "TNC " + std::to_string(i + 1);
        if (opt.verbose) {
            tnc.setTrace([name](std::string_view text) {
                std::fprintf(stderr, "%s: %.*s\n", name.c_str(), int(text.size()), text.data());
            });
        }
        if (opt.tcp) {
            std::uint16_t port = opt.tcpPort == 0 ? 0 : static_cast<std::uint16_t>(opt.tcpPort + i);
            auto server = std::make_unique<TcpServer>(tnc, port);
            if (!server->start()) {
                std::cerr << "tncsim: " << name << ": " << server->error() << "\n";
                return 1;
            }
            std::cout << name << ": tcp:127.0.0.1:" << server->port() << "\n";
            tcps.push_back(std::move(server));
            continue;
        }
        PtyServer::Options po;
        if (static_cast<std::size_t>(i) < opt.links.size()) po.linkPath = opt.links[i];
        auto server = std::make_unique<PtyServer>(tnc, po);
        if (!server->start()) {
            std::cerr << "tncsim: " << name << ": " << server->error() << "\n";
            return 1;
        }
        std::cout << name << ": " << server->slavePath();
        if (!po.linkPath.empty()) std::cout << " (link " << po.linkPath << ")";
        std::cout << "\n";
        if (!server->error().empty()) std::cerr << "tncsim: " << server->error() << "\n";
        ptys.push_back(std::move(server));
    }
    for (const auto& call : opt.stations) std::cout << "station: " << call << "\n";
    std::cout << "running; Ctrl-C ends" << std::endl;

    int sig = 0;
    sigwait(&signals, &sig);
    for (auto& s : ptys) s->stop();
    for (auto& s : tcps) s->stop();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    auto parsed = tncsim::parseCommandLine(args);
    if (!parsed.options) {
        std::cerr << "tncsim: " << parsed.error << "\n" << tncsim::usageText();
        return 2;
    }
    if (parsed.options->help) {
        std::cout << tncsim::usageText();
        return 0;
    }
    return serve(*parsed.options);
}
