// The F6FBB rig: child processes, the mailbox's start and stop, Norva's
// program directory, and what the tests read from the radio and the files.
#include "FbbFixture.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <regex>

#include "support/Eventually.h"
#include "support/TempDir.h"

extern char** environ;

namespace norva::test {

namespace {

using Clock = std::chrono::steady_clock;

// Polls pred until it holds or the limit passes.
template <class Pred>
bool within(milliseconds limit, Pred pred) {
    return eventually(pred, static_cast<int>(limit.count()));
}

std::string tail(const std::string& text, std::size_t n = 3000) {
    return text.size() <= n ? text : "..." + text.substr(text.size() - n);
}

// The environment of a child: ours, with the given entries replacing or
// adding names.
std::vector<std::string> childEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        const std::string_view name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& x : extra) replaced = replaced || x.starts_with(std::string(name) + "=");
        if (!replaced) env.emplace_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

// xfbbd is in /usr/sbin, which an ordinary user's PATH may lack.
std::string pathWithSbin() {
    const char* path = std::getenv("PATH");
    std::string p = path ? path : "/usr/bin:/bin";
    for (const char* dir : {"/usr/sbin", "/sbin"})
        if ((":" + p + ":").find(std::string(":") + dir + ":") == std::string::npos) p += std::string(":") + dir;
    return p;
}

}  // namespace

// ---- ChildProcess ----

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !ended_) {
        ::kill(pid_, SIGKILL);
        reap(true);
    }
}

bool ChildProcess::start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                         const fs::path& out, const fs::path& err, bool withInput, std::string* error) {
    auto fail = [&](const std::string& why) {
        *error = why + ": " + std::strerror(errno);
        return false;
    };
    UniqueFd outFd(::open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    UniqueFd errFd(::open(err.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    if (!outFd || !errFd) return fail("cannot create " + out.string());
    int in[2] = {-1, -1};
    if (withInput ? ::pipe2(in, O_CLOEXEC) != 0 : (in[0] = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) < 0)
        return fail("no input for " + argv.front());
    UniqueFd readEnd(in[0]);
    UniqueFd writeEnd(in[1]);
    // Everything the child needs is built before fork: after it, in a
    // process with threads, only async-signal-safe calls are allowed.
    std::vector<std::string> args = argv;
    std::vector<std::string> env = childEnvironment(environment);
    std::vector<char*> argp = pointers(args);
    std::vector<char*> envp = pointers(env);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) return fail("fork");
    if (pid == 0) {
        // A test killed by its timeout takes its programs along.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(127);
        ::setpgid(0, 0);
        ::signal(SIGPIPE, SIG_DFL);  // the test ignores it; the program must not inherit that
        if (::dup2(readEnd.get(), STDIN_FILENO) < 0 || ::dup2(outFd.get(), STDOUT_FILENO) < 0 ||
            ::dup2(errFd.get(), STDERR_FILENO) < 0)
            ::_exit(127);
        ::execve(argp[0], argp.data(), envp.data());
        ::_exit(127);
    }
    pid_ = pid;
    ended_ = false;
    if (withInput) input_ = std::move(writeEnd);
    return true;
}

bool ChildProcess::reap(bool block) {
    if (ended_) return true;
    int status = 0;
    const pid_t got = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
    if (got != pid_) return false;
    status_ = status;
    ended_ = true;
    input_.reset();
    return true;
}

bool ChildProcess::running() { return pid_ > 0 && !reap(false); }

void ChildProcess::write(std::string_view bytes) {
    EXPECT_TRUE(input_ && writeAll(input_.get(), bytes)) << "the program's input is closed";
}

void ChildProcess::terminate() {
    if (running()) ::kill(pid_, SIGTERM);
}

std::optional<int> ChildProcess::wait(milliseconds limit) {
    if (pid_ <= 0) return std::nullopt;
    if (!within(limit, [&] { return reap(false); })) {
        ::kill(pid_, SIGKILL);
        reap(true);
        return std::nullopt;
    }
    if (!WIFEXITED(status_)) return std::nullopt;
    return WEXITSTATUS(status_);
}

// ---- FbbFixture ----

void FbbFixture::SetUp() {
    // A program that died must fail the test, not kill it at the next line typed.
    ::signal(SIGPIPE, SIG_IGN);
    path_ = std::make_unique<ScopedEnv>("PATH", pathWithSbin().c_str());
    if (!requireTool("xfbbd")) return;
    // Short on purpose: FBB's port.sys keeps 19 characters of the TNC's
    // device name, and the TNC's link lies in this directory.
    std::string tmpl = "/tmp/fbbXXXXXX";
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr) << std::strerror(errno);
    root_ = tmpl;
    fbb_ = {root_ / "fbb", root_ / "fbb" / "var" / "fbbdos", root_ / "fbb" / "var" / "fbbdos" / "yapp"};
    radio_ = std::make_unique<tncsim::Radio>();
    // FBB sends its goodbye and "D" at once; the firmware sends the goodbye first.
    tncsim::TncConfig mailbox;
    mailbox.sendBeforeDisconnect = true;
    fbbTnc_ = std::make_unique<tncsim::PtyServer>(radio_->addTnc(mailbox),
                                                  tncsim::PtyServer::Options{(root_ / "t").string()});
    norvaTnc_ = std::make_unique<tncsim::PtyServer>(radio_->addTnc({}));
    ASSERT_TRUE(fbbTnc_->start()) << fbbTnc_->error();
    ASSERT_TRUE(norvaTnc_->start()) << norvaTnc_->error();
    started_ = true;
    ASSERT_TRUE(startFbb());
    ASSERT_TRUE(startNorva());
}

::testing::AssertionResult FbbFixture::startFbb() {
    const auto begin = Clock::now();
    std::string error;
    if (!xfbbd_.start({"/bin/bash", std::string(FBB_PEER_DIR) + "/start-fbb.sh", "--exec", fbb_.root.string(),
                       (root_ / "t").string()},
                      {}, root_ / "xfbbd.out", root_ / "xfbbd.out", false, &error))
        return ::testing::AssertionFailure() << error;
    // FBB waits two seconds after JHOST1 before its first host-mode command.
    const bool ready = within(milliseconds(20000), [&] {
        return readFile(root_ / "xfbbd.out").find("xfbbd ready and running") != std::string::npos ||
               !xfbbd_.running();
    });
    if (!ready || !xfbbd_.running())
        return ::testing::AssertionFailure() << "xfbbd did not start:\n" << readFile(root_ / "xfbbd.out");
    RecordProperty("fbb_start_ms",
                   static_cast<int>(std::chrono::duration_cast<milliseconds>(Clock::now() - begin).count()));
    return ::testing::AssertionSuccess();
}

void FbbFixture::writeNorvaIni() const {
    for (const fs::path& d : {receiveDir(), sendDir(), scriptDir()}) fs::create_directories(d);
    const std::string ini = "[Frame]\r\nBinReadFileDir=" + receiveDir().string() +
                            "\r\nBinSendFileDir=" + sendDir().string() + "\r\nScriptDir=" + scriptDir().string() +
                            "\r\n[Tnc]\r\n1=1\r\n[1]\r\nTncName=Sim\r\nChannels=4\r\nComPort=" +
                            norvaTnc_->slavePath() +
                            "\r\nConnected=1\r\nDelayTime=25\r\nMyCall=DL2BBB\r\n"
                            // A #BIN# header starts the reception by itself on the visiting channel.
                            "[Link" + std::to_string(kChannel + 1) + "]\r\nAutoBin=1\r\n";
    writeFile(norvaDir() / "norva.ini", ini);
}

::testing::AssertionResult FbbFixture::startNorva() {
    writeNorvaIni();
    std::string error;
    // No IPC service on the user's session bus, no registry file in $HOME.
    if (!norva_.start({NORVA_PROGRAM, "--headless", "--dir", norvaDir().string(), "--bus-address",
                       "unix:path=" + (root_ / "no-bus").string()},
                      {"XDG_CONFIG_HOME=" + (root_ / "config").string(), "XDG_DATA_HOME=" + (root_ / "data").string()},
                      root_ / "norva.out", root_ / "norva.err", true, &error))
        return ::testing::AssertionFailure() << error;
    // Ready once its TNC is in host mode and the channel has its call.
    const bool ready = within(milliseconds(10000), [&] {
        return norvaTnc_->withTnc([](tncsim::SimTnc& t) {
            if (t.mode() != tncsim::TncMode::Host) return false;
            for (const auto& f : t.frameLog())
                if (f.code != 0 && f.channel == kChannel && (f.data.starts_with("I ") || f.data.starts_with("i ")))
                    return true;
            return false;
        });
    });
    if (!ready) return ::testing::AssertionFailure() << "Norva did not open its TNC:\n" << norvaErrors();
    type(":ch 1/" + std::to_string(kChannel));
    return ::testing::AssertionSuccess();
}

void FbbFixture::TearDown() {
    if (started_) {
        // Both at once: FBB alone takes about four seconds to leave host mode.
        norva_.terminate();
        xfbbd_.terminate();
        // Only a program that was started is asked how it ended.
        if (norva_.pid() > 0) {
            EXPECT_EQ(norva_.wait(milliseconds(10000)), std::optional<int>(0)) << "Norva ends cleanly on SIGTERM";
        }
        if (xfbbd_.pid() > 0) {
            EXPECT_TRUE(xfbbd_.wait(milliseconds(15000)).has_value()) << "xfbbd ends by itself on SIGTERM";
        }
        if (HasFailure()) std::cerr << report();
        norvaTnc_->stop();
        fbbTnc_->stop();
    }
    norvaTnc_.reset();
    fbbTnc_.reset();
    radio_.reset();
    if (!root_.empty()) {
        std::error_code ec;
        fs::remove_all(root_, ec);
        EXPECT_FALSE(fs::exists(root_)) << root_ << " is left behind";
    }
    path_.reset();
}

std::string FbbFixture::report() const {
    return "--- xfbbd output:\n" + tail(readFile(root_ / "xfbbd.out")) + "\n--- Norva's standard output:\n" +
           tail(norvaOutput()) + "\n--- Norva's standard error:\n" + tail(norvaErrors()) +
           "\n--- received on the channel:\n" + tail(receivedSince(0)) + "\n";
}

void FbbFixture::type(std::string_view line) { norva_.write(std::string(line) + "\n"); }

std::uint64_t FbbFixture::mark() const {
    return norvaTnc_->withTnc([](tncsim::SimTnc& t) { return t.receivedSince(kChannel).end; });
}

std::string FbbFixture::receivedSince(std::uint64_t from) const {
    return norvaTnc_->withTnc([from](tncsim::SimTnc& t) { return t.receivedSince(kChannel, from).text; });
}

::testing::AssertionResult FbbFixture::waitForText(std::string_view text, std::uint64_t from,
                                                   milliseconds limit) const {
    if (!within(limit, [&] { return receivedSince(from).find(text) != std::string::npos; }))
        return ::testing::AssertionFailure() << "\"" << text << "\" did not arrive within " << limit.count()
                                             << " ms; received:\n" << tail(receivedSince(from));
    if (!norvaCaughtUp()) return ::testing::AssertionFailure() << "Norva did not fetch what arrived";
    return ::testing::AssertionSuccess();
}

// An operator types after seeing the text; Norva has seen it once its TNC
// holds nothing more for the channel and Norva sent two frames since: host
// mode answers one frame at a time, so the reply that carried the text has
// been handled.
bool FbbFixture::norvaCaughtUp() const {
    const auto handled = [&] {
        return norvaTnc_->withTnc([](tncsim::SimTnc& t) { return t.counters().framesHandled; });
    };
    const bool drained = within(milliseconds(5000), [&] {
        return norvaTnc_->withTnc([](tncsim::SimTnc& t) { return t.pendingItems(kChannel) == 0; });
    });
    const auto at = handled();
    return drained && within(milliseconds(5000), [&] { return handled() >= at + 2; });
}

::testing::AssertionResult FbbFixture::sendAndWait(std::string_view line, std::string_view text, milliseconds limit) {
    const std::uint64_t from = mark();
    type(line);
    auto result = waitForText(text, from, limit);
    if (!result) result << "\n(after typing \"" << line << "\")";
    return result;
}

::testing::AssertionResult FbbFixture::connectMailbox() { return sendAndWait("\\e C DB0FBB", kBbsPrompt); }

::testing::AssertionResult FbbFixture::waitForDisconnect(milliseconds limit) const {
    const bool down = within(limit, [&] {
        return norvaTnc_->withTnc([](tncsim::SimTnc& t) { return t.linkState(kChannel) == tncsim::kDisconnected; });
    });
    if (down) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the channel is still connected";
}

std::string FbbFixture::norvaOutput() const { return readFile(root_ / "norva.out"); }
std::string FbbFixture::norvaErrors() const { return readFile(root_ / "norva.err"); }

::testing::AssertionResult FbbFixture::waitForOutput(std::string_view text, milliseconds limit) const {
    if (within(limit, [&] { return norvaOutput().find(text) != std::string::npos; }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "Norva did not show \"" << text << "\":\n" << tail(norvaOutput());
}

::testing::AssertionResult FbbFixture::waitForError(std::string_view text, milliseconds limit) const {
    if (within(limit, [&] { return norvaErrors().find(text) != std::string::npos; }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "Norva did not say \"" << text << "\":\n" << tail(norvaErrors());
}

::testing::AssertionResult FbbFixture::waitForOutputMatching(const std::string& pattern, milliseconds limit) const {
    const std::regex re(pattern);
    if (within(limit, [&] { return std::regex_search(norvaOutput(), re); })) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "Norva showed nothing like " << pattern << ":\n" << tail(norvaOutput());
}

::testing::AssertionResult FbbFixture::waitForErrorMatching(const std::string& pattern, milliseconds limit) const {
    const std::regex re(pattern);
    if (within(limit, [&] { return std::regex_search(norvaErrors(), re); })) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "Norva said nothing like " << pattern << ":\n" << tail(norvaErrors());
}

std::string FbbFixture::norvaSent() const {
    return norvaTnc_->withTnc([](tncsim::SimTnc& t) { return t.sentSince(kChannel).text; });
}

bool FbbFixture::waitForFile(const fs::path& file, std::size_t size, milliseconds limit) {
    return within(limit, [&] {
        std::error_code ec;
        return fs::is_regular_file(file, ec) && fs::file_size(file, ec) >= size && !ec;
    });
}

std::vector<std::string> FbbFixture::filesIn(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (e.is_regular_file()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// ---- test data ----

std::string everyByteFile(std::size_t length, unsigned seed) {
    std::string out(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        out[i] = static_cast<char>(((i % 256) * 167 + (i / 256) * 31 + seed) & 0xFF);  // 167 is odd: a permutation
    constexpr std::string_view kTexts[] = {"\r#OK#\r", "\r#BIN#99#X.BIN\r", "\r#ABORT#\r", "\x1a", "\r\n#NO#\r",
                                           "\rBIN-TX OK #1\r", "\r#BIN-RX OK#2\r"};
    std::size_t at = 256 + 3;
    for (std::string_view t : kTexts) {
        if (at + t.size() > length || at + t.size() > 512) break;
        out.replace(at, t.size(), t);
        at += t.size() + 5;
    }
    return out;
}

unsigned binCrc(std::string_view data) {
    unsigned crc = 0;
    for (const char c : data) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool top = (crc & 0x8000) != 0;
            crc = ((crc << 1) | ((static_cast<unsigned char>(c) >> bit) & 1)) & 0xFFFF;
            if (top) crc ^= 0x1021;
        }
    }
    return crc;
}

}  // namespace norva::test
