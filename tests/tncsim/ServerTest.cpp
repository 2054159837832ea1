// The simulator behind a real pty and a real TCP socket.
#include <gtest/gtest.h>

// std
#include <chrono>
#include <filesystem>
#include <thread>

// POSIX
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include "TncsimTestUtil.h"
#include "tncsim/PtyServer.h"
#include "tncsim/TcpServer.h"

namespace tncsim {
namespace {

using test::cmd;
using test::ok;
using test::text;

// Owned descriptor of the test's host side.
struct HostFd {
    int fd = -1;
    explicit HostFd(int f) : fd(f) {}
    ~HostFd() { close(); }
    void close() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

int openTty(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    termios tio {};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

int connectTcp(std::uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        ASSERT_GT(n, 0);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

// Reads exactly count bytes, waiting at most 5 s in all (a generous guard,
// not a speed check); also counts how many reads it took.
std::string readBytes(int fd, std::size_t count, int* reads = nullptr) {
    std::string out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        char buf[512];
        std::size_t want = std::min(sizeof buf, count - out.size());
        ssize_t n = ::read(fd, buf, want);
        if (n <= 0) break;
        out.append(buf, static_cast<std::size_t>(n));
        if (reads) ++*reads;
    }
    return out;
}

std::string request(int fd, const std::string& frame, std::size_t replySize) {
    writeAll(fd, frame);
    return readBytes(fd, replySize);
}

class Pty : public ::testing::Test {
protected:
    Radio radio;
};

TEST_F(Pty, HostSwitchesToHostModeAndGetsReplies) {
    SimTnc& tnc = radio.addTnc(TncConfig{});
    PtyServer server(tnc);
    ASSERT_TRUE(server.start()) << server.error();
    HostFd host(openTty(server.slavePath()));
    ASSERT_GE(host.fd, 0);
    writeAll(host.fd, "\x11\x18\x1bjhost 1\r");
    EXPECT_EQ(readBytes(host.fd, 13), "\r\n* jhost 1\r\n");
    std::string reply = text(0, 1, "800");
    EXPECT_EQ(request(host.fd, cmd(0, "@B"), reply.size()), reply);
    EXPECT_EQ(server.withTnc([](SimTnc& t) { return t.mode(); }), TncMode::Host);
    auto log = tnc.frameLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].data, "@B");
}

TEST_F(Pty, FragmentedRepliesReassembleToTheSameBytes) {
    TncConfig c = test::hostConfig();
    c.fragmentSize = 1;
    c.fragmentGapMs = 3;
    SimTnc& tnc = radio.addTnc(c);
    PtyServer server(tnc);
    ASSERT_TRUE(server.start()) << server.error();
    HostFd host(openTty(server.slavePath()));
    server.withTnc([](SimTnc& t) { t.queueConnectedData(4, "fragmented reply\r"); });
    writeAll(host.fd, cmd(4, "G"));
    int reads = 0;
    std::string expected = test::counted(4, 7, "fragmented reply\r");
    EXPECT_EQ(readBytes(host.fd, expected.size(), &reads), expected);
    EXPECT_GT(reads, 1);
}

TEST_F(Pty, HostModeAndPartialFrameSurviveCloseAndReopen) {
    SimTnc& tnc = radio.addTnc(test::hostConfig());
    PtyServer server(tnc);
    ASSERT_TRUE(server.start()) << server.error();
    std::string frame = cmd(2, "I");
    {
        HostFd host(openTty(server.slavePath()));
        writeAll(host.fd, frame.substr(0, 3));
        // Wait until the server has read the bytes before the host lets go.
        for (int i = 0; i < 500 && !server.withTnc([](SimTnc& t) { return t.framePartial(); }); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    HostFd host(openTty(server.slavePath()));
    ASSERT_GE(host.fd, 0);
    std::string reply = text(2, 1, "NOCALL");
    EXPECT_EQ(request(host.fd, frame.substr(3), reply.size()), reply);
}

TEST_F(Pty, UnplugHangsUpTheHostAndReplugMovesTheLink) {
    SimTnc& tnc = radio.addTnc(test::hostConfig());
    auto dir = std::filesystem::temp_directory_path() / ("tncsim-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string link = (dir / "tnc").string();
    PtyServer server(tnc, PtyServer::Options{link});
    ASSERT_TRUE(server.start()) << server.error();
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), server.slavePath());
    HostFd host(openTty(link));
    ASSERT_GE(host.fd, 0);
    ASSERT_TRUE(server.unplug());
    EXPECT_FALSE(server.plugged());
    EXPECT_FALSE(server.unplug());
    pollfd p{host.fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    EXPECT_NE(p.revents & (POLLHUP | POLLERR), 0);
    char c;
    EXPECT_LE(::read(host.fd, &c, 1), 0);
    host.close();

    ASSERT_TRUE(server.replug());
    EXPECT_TRUE(server.plugged());
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), server.slavePath());
    HostFd again(openTty(link));
    ASSERT_GE(again.fd, 0);
    EXPECT_EQ(request(again.fd, cmd(0, "G"), 2), ok(0));
    server.stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    std::filesystem::remove_all(dir);
}

TEST_F(Pty, TwoTncsOnOneRadioTalkThroughTheirPtys) {
    RadioConfig rc;
    rc.connectDelayMs = 5;
    rc.txDelayMs = 1;
    radio.setConfig(rc);
    SimTnc& a = radio.addTnc(test::hostConfig("DL1AAA"));
    SimTnc& b = radio.addTnc(test::hostConfig("DL2BBB"));
    PtyServer sa(a);
    PtyServer sb(b);
    ASSERT_TRUE(sa.start() && sb.start());
    HostFd ha(openTty(sa.slavePath()));
    HostFd hb(openTty(sb.slavePath()));
    EXPECT_EQ(request(ha.fd, cmd(1, "C DL2BBB"), 2), ok(1));
    std::string status = text(1, 3, "(1) CONNECTED to DL1AAA");
    std::string got;
    for (int i = 0; i < 500 && got != status; ++i) {
        writeAll(hb.fd, cmd(1, "G"));
        got = readBytes(hb.fd, 2);
        if (got == ok(1)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        got += readBytes(hb.fd, status.size() - 2);
    }
    EXPECT_EQ(got, status);
}

TEST(Tcp, ServesOneClientAtATimeAndKeepsStateAcrossClients) {
    Radio radio;
    SimTnc& tnc = radio.addTnc(TncConfig{});
    TcpServer server(tnc, 0);
    ASSERT_TRUE(server.start()) << server.error();
    ASSERT_NE(server.port(), 0);
    {
        HostFd client(connectTcp(server.port()));
        ASSERT_GE(client.fd, 0);
        writeAll(client.fd, "\x1bJHOST1\r");
        EXPECT_EQ(readBytes(client.fd, 12), "\r\n* JHOST1\r\n");
        EXPECT_EQ(request(client.fd, cmd(1, "I DL1AAA"), 2), ok(1));
        writeAll(client.fd, cmd(1, "I").substr(0, 2));
        for (int i = 0; i < 500 && !server.withTnc([](SimTnc& t) { return t.framePartial(); }); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    HostFd next(connectTcp(server.port()));
    ASSERT_GE(next.fd, 0);
    std::string reply = text(1, 1, "DL1AAA");
    EXPECT_EQ(request(next.fd, cmd(1, "I").substr(2), reply.size()), reply);
    EXPECT_EQ(server.clientsAccepted(), 2u);
    // A newer client takes over from this one.
    HostFd third(connectTcp(server.port()));
    EXPECT_EQ(request(third.fd, cmd(0, "G"), 2), ok(0));
    EXPECT_EQ(readBytes(next.fd, 1), "");
}

}  // namespace
}  // namespace tncsim
