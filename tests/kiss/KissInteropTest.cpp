// Interoperation with an AX.25 stack Norva does not use: gensiot (package
// gensio-bin) with its ax25 gensio on KISS over TCP calls our KISS TNC
// through the relay; text goes both ways and our disconnect ends its
// connection. Without gensiot the test skips, or fails where the suite must
// be complete (see support/Environment.h).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "KissRelay.h"
#include "KissRig.h"
#include "kiss/KissTnc.h"
#include "support/Environment.h"

extern char** environ;

namespace norva::test {
namespace {

// gensiot with its standard input and output on pipes.
class Gensiot {
public:
    explicit Gensiot(const std::string& gensio) {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, in[0], 0);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_adddup2(&fa, out[1], 2);
        std::string prog = "gensiot";
        std::string arg = gensio;
        char* argv[] = {prog.data(), arg.data(), nullptr};
        if (posix_spawnp(&pid_, "gensiot", &fa, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        ::close(in[0]);
        ::close(out[1]);
        toChild_ = in[1];
        fromChild_ = out[0];
        ::fcntl(fromChild_, F_SETFL, O_NONBLOCK);
    }
    ~Gensiot() {
        if (pid_ > 0 && !exited()) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(toChild_);
        ::close(fromChild_);
    }
    bool started() const { return pid_ > 0; }
    void write(const std::string& s) { [[maybe_unused]] auto n = ::write(toChild_, s.data(), s.size()); }
    std::string& output() {
        char buf[1024];
        for (ssize_t n; (n = ::read(fromChild_, buf, sizeof buf)) > 0;) out_.append(buf, static_cast<std::size_t>(n));
        return out_;
    }
    bool exited() {
        if (done_) return true;
        int status = 0;
        done_ = ::waitpid(pid_, &status, WNOHANG) == pid_;
        return done_;
    }

private:
    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    bool done_ = false;
    std::string out_;
};

// Runs the TNC's timers while waiting for pred.
template <class Pred>
bool serviceUntil(kiss::KissTnc& tnc, Pred pred, int ms = 15000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        tnc.waitReadable(5);
    }
    return pred();
}

TEST(KissInterop, GensioAx25CallsTalksAndIsDisconnected) {
    if (!requireTool("gensiot")) return;
    KissRelay relay({});
    ASSERT_TRUE(relay.start());
    RealClock clock;
    kiss::KissSettings s;
    s.myCall = "DA1AAA";
    s.channels = 4;
    s.t2Ms = 100;
    s.traceFrames = true;
    std::string trace;
    auto stream = kiss::openKissTnc("kiss:tcp:127.0.0.1:" + std::to_string(relay.port(0)), 9600, s, clock, nullptr,
                                    [&trace](std::string_view l) { trace.append(l).push_back('\n'); });
    ASSERT_TRUE(stream);
    auto& tnc = static_cast<kiss::KissTnc&>(*stream);
    ASSERT_TRUE(serviceUntil(tnc, [&] { return relay.accepted(0) == 1; }));

    Gensiot g("ax25(laddr=DB1BBB,addr=\"0,DA1AAA,DB1BBB\"),kiss,tcp,127.0.0.1," + std::to_string(relay.port(1)));
    ASSERT_TRUE(g.started());
    std::string status;
    ASSERT_TRUE(serviceUntil(tnc, [&] {
        status += cmd(tnc, 1, "G");
        return status.find("(1) CONNECTED to DB1BBB") != std::string::npos;
    })) << trace << g.output();

    ask(tnc, 1, false, "Hallo von Norva\r");
    EXPECT_TRUE(serviceUntil(tnc, [&] { return g.output().find("Hallo von Norva") != std::string::npos; }))
        << trace << g.output();

    g.write("Gruss von gensio\n");
    std::string got;
    EXPECT_TRUE(serviceUntil(tnc, [&] {
        for (std::string r = cmd(tnc, 1, "G"); r.size() > 2; r = cmd(tnc, 1, "G"))
            if (r[1] == 7) got += r.substr(3);
        return got.find("Gruss von gensio") != std::string::npos;
    })) << trace;

    cmd(tnc, 1, "D");
    std::string end;
    EXPECT_TRUE(serviceUntil(tnc, [&] {
        end += cmd(tnc, 1, "G");
        return end.find("(1) DISCONNECTED fm DB1BBB") != std::string::npos;
    })) << trace;
    EXPECT_TRUE(serviceUntil(tnc, [&] { return g.exited(); })) << g.output();
    if (std::getenv("KISS_TRACE")) std::printf("%s\n--- gensiot:\n%s\n", trace.c_str(), g.output().c_str());
}

}  // namespace
}  // namespace norva::test
