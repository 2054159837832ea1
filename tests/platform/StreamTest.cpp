// Serial streams on a real pty pair and TCP streams against a loopback
// listener: bytes both ways, non-blocking reads, sleeping waits, and a peer
// that goes away.
#include "platform/ByteStream.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <chrono>
#include <cstring>
#include <fstream>
#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace norva {
namespace {

using namespace std::chrono_literals;

std::span<const std::uint8_t> bytes(std::string_view s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// Reads from a stream until n bytes came or the stream stays silent.
std::string readN(ByteStream& s, std::size_t n)
{
    std::string out;
    std::uint8_t buf[256];
    while (out.size() < n && s.waitReadable(2000)) {
        const int got = s.read(buf);
        if (got == 0 && s.broken())
            break;
        out.append(reinterpret_cast<char*>(buf), static_cast<std::size_t>(got));
    }
    return out;
}

std::string readFd(int fd, std::size_t n)
{
    std::string out;
    char buf[256];
    while (out.size() < n) {
        const ssize_t got = ::read(fd, buf, std::min(sizeof buf, n - out.size()));
        if (got <= 0)
            break;
        out.append(buf, static_cast<std::size_t>(got));
    }
    return out;
}

class PtyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        int slave = -1;
        ASSERT_EQ(::openpty(&master_, &slave, nullptr, nullptr, nullptr), 0);
        slavePath_ = ::ttyname(slave);
        ::close(slave);  // the stream opens the device by its name, like a real port
    }
    void TearDown() override
    {
        if (master_ >= 0)
            ::close(master_);
    }
    void closeMaster()
    {
        ::close(master_);
        master_ = -1;
    }

    int master_ = -1;
    std::string slavePath_;
};

TEST_F(PtyTest, BytesBothWaysAndEmptyReads)
{
    std::string error;
    auto s = openSerialStream(slavePath_, 9600, &error);
    ASSERT_TRUE(s) << error;
    EXPECT_GE(s->fd(), 0);

    std::uint8_t buf[64];
    EXPECT_EQ(s->read(buf), 0);  // nothing waiting: at once, and not broken
    EXPECT_FALSE(s->broken());

    // Raw: CR, LF, 0x00, 0xFF and XON/XOFF pass unchanged.
    const std::string frame("\x01\x01\x00G\r\n\x11\x13\xFF", 9);
    ASSERT_EQ(s->write(bytes(frame)), 9);
    EXPECT_EQ(readFd(master_, 9), frame);

    const std::string reply("\x01\x07\x02" "abc\x00\r\x13", 9);
    ASSERT_EQ(::write(master_, reply.data(), reply.size()), 9);
    EXPECT_EQ(readN(*s, 9), reply);
    EXPECT_EQ(s->read(buf), 0);
    EXPECT_FALSE(s->broken());
}

TEST_F(PtyTest, WaitSleepsAndWakesWhenDataArrives)
{
    std::string error;
    auto s = openSerialStream(slavePath_, 19200, &error);
    ASSERT_TRUE(s) << error;

    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(s->waitReadable(50));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 45ms);

    std::thread peer([&] {
        std::this_thread::sleep_for(50ms);
        ASSERT_EQ(::write(master_, "X", 1), 1);
    });
    EXPECT_TRUE(s->waitReadable(10'000));
    peer.join();
    std::uint8_t b = 0;
    EXPECT_EQ(s->read({&b, 1}), 1);
    EXPECT_EQ(b, 'X');
}

TEST_F(PtyTest, ClosedPeerMarksBroken)
{
    std::string error;
    auto s = openSerialStream(slavePath_, 9600, &error);
    ASSERT_TRUE(s) << error;
    ASSERT_EQ(::write(master_, "data", 4), 4);
    EXPECT_EQ(readN(*s, 4), "data");
    EXPECT_FALSE(s->broken());
    closeMaster();  // the kernel hangs the tty up and drops what it still held

    std::uint8_t buf[16];
    for (int i = 0; i < 50 && !s->broken(); ++i) {
        s->waitReadable(100);
        s->read(buf);
    }
    EXPECT_TRUE(s->broken());
    // A broken stream answers at once and never blocks.
    EXPECT_FALSE(s->waitReadable(10'000));
    EXPECT_EQ(s->read(buf), 0);
    EXPECT_EQ(s->write(bytes("x")), 0);
}

TEST_F(PtyTest, OpenByNameKeepsThePathsCase)
{
    test::TempDir dir;
    const auto link = dir / "TNC-Port";
    std::filesystem::create_symlink(slavePath_, link);
    std::string error;
    auto s = openStreamByName(link.string(), 9600, &error);
    ASSERT_TRUE(s) << error;
    ASSERT_EQ(s->write(bytes("ok")), 2);
    EXPECT_EQ(readFd(master_, 2), "ok");

    // A name without '/' is looked up in /dev.
    const std::string relative = slavePath_.substr(std::string("/dev/").size());
    s.reset();
    s = openStreamByName(relative, 9600, &error);
    EXPECT_TRUE(s) << error;
}

TEST(SerialStream, OpenFailuresGiveErrorText)
{
    std::string error;
    EXPECT_FALSE(openSerialStream("/dev/norva-no-such-tty", 9600, &error));
    EXPECT_NE(error.find("/dev/norva-no-such-tty"), std::string::npos);

    error.clear();
    EXPECT_FALSE(openSerialStream("/dev/null", 9600, &error));  // not a tty
    EXPECT_NE(error, "");

    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    error.clear();
    EXPECT_FALSE(openSerialStream(::ttyname(slave), 12345, &error));
    EXPECT_NE(error.find("12345"), std::string::npos);
    ::close(slave);
    ::close(master);

    error.clear();
    EXPECT_FALSE(openStreamByName("COM250", 9600, &error));
    EXPECT_NE(error.find("/dev/ttyS249"), std::string::npos);
    error.clear();
    EXPECT_FALSE(openStreamByName("", 9600, &error));
    EXPECT_NE(error, "");
    EXPECT_FALSE(openSerialStream("/dev/norva-no-such-tty", 9600, nullptr));  // error text optional
}

class TcpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(listener_, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ASSERT_EQ(::listen(listener_, 4), 0);
        socklen_t len = sizeof addr;
        ASSERT_EQ(::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len), 0);
        port_ = ntohs(addr.sin_port);
    }
    void TearDown() override
    {
        if (peer_ >= 0)
            ::close(peer_);
        if (listener_ >= 0)
            ::close(listener_);
    }
    void accept() { peer_ = ::accept(listener_, nullptr, nullptr); }

    int listener_ = -1;
    int peer_ = -1;
    int port_ = 0;
};

TEST_F(TcpTest, BytesBothWaysAndPeerClose)
{
    std::string error;
    auto s = openTcpStream("127.0.0.1", port_, &error);
    ASSERT_TRUE(s) << error;
    accept();
    ASSERT_GE(peer_, 0);

    std::uint8_t buf[64];
    EXPECT_EQ(s->read(buf), 0);
    EXPECT_FALSE(s->broken());
    const std::string frame("\x00\x01\x00G", 4);
    ASSERT_EQ(s->write(bytes(frame)), 4);
    EXPECT_EQ(readFd(peer_, 4), frame);

    std::thread peer([&] {
        std::this_thread::sleep_for(30ms);
        ASSERT_EQ(::write(peer_, "\x00\x00", 2), 2);
    });
    EXPECT_EQ(readN(*s, 2), std::string("\x00\x00", 2));
    peer.join();

    ::close(peer_);
    peer_ = -1;
    for (int i = 0; i < 50 && !s->broken(); ++i) {
        s->waitReadable(100);
        s->read(buf);
    }
    EXPECT_TRUE(s->broken());
    EXPECT_FALSE(s->waitReadable(10'000));
    EXPECT_EQ(s->write(bytes("x")), 0);  // no SIGPIPE, just 0
}

TEST_F(TcpTest, OpenByNameIsCaseInsensitiveOnThePrefix)
{
    std::string error;
    auto s = openStreamByName("TCP:localhost:" + std::to_string(port_), 9600, &error);
    ASSERT_TRUE(s) << error;
    accept();
    ASSERT_EQ(s->write(bytes("hi")), 2);
    EXPECT_EQ(readFd(peer_, 2), "hi");
}

// Connecting happens in the background: the open returns a stream that
// turns broken when nobody answers, and a bad address fails at once.
TEST_F(TcpTest, RefusedConnectionIsABrokenStream)
{
    const int freePort = port_;
    ::close(listener_);
    listener_ = -1;
    std::string error;
    auto s = openTcpStream("127.0.0.1", freePort, &error);
    ASSERT_TRUE(s);
    // Kept while the connect is under way; the refusal may have come back
    // before this write (loopback answers at once), and then nothing is kept.
    const int early = s->write(bytes("early"));
    EXPECT_TRUE(early == 5 || (early == 0 && s->broken())) << early;
    for (int i = 0; i < 100 && !s->broken(); ++i)
        s->waitReadable(50);
    EXPECT_TRUE(s->broken());
    std::uint8_t buf[8];
    EXPECT_EQ(s->read(buf), 0);
    EXPECT_EQ(s->write(bytes("x")), 0);
    EXPECT_TRUE(openTcpStream("no-such-host.invalid", 1, &error)) << "resolved in the background too";
}

// Bytes written before the connection stood arrive first and in order,
// without the stream being touched again.
TEST_F(TcpTest, BytesWrittenWhileConnectingArriveFirst)
{
    auto s = openTcpStream("127.0.0.1", port_, nullptr);
    ASSERT_TRUE(s);
    ASSERT_EQ(s->write(bytes("\x11\x18")), 2);
    accept();
    ASSERT_GE(peer_, 0);
    EXPECT_EQ(readFd(peer_, 2), "\x11\x18");
    ASSERT_EQ(s->write(bytes("JHOST1\r")), 7);
    EXPECT_EQ(readFd(peer_, 7), "JHOST1\r");
}

// A network of its own for the calling thread (and the threads it starts),
// with its loopback up and the smallest TCP send buffer, so that a peer
// that does not read stalls the sender as soon as its window is full. Needs CAP_SYS_ADMIN; the
// reason when it cannot be had.
std::string smallSendBufferNetwork()
{
    if (::unshare(CLONE_NEWNET) != 0)
        return std::string("no network namespace: ") + std::strerror(errno);
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq ifr{};
    std::strcpy(ifr.ifr_name, "lo");
    const bool up = s >= 0 && ::ioctl(s, SIOCGIFFLAGS, &ifr) == 0
                    && (ifr.ifr_flags |= IFF_UP, ::ioctl(s, SIOCSIFFLAGS, &ifr) == 0);
    if (s >= 0)
        ::close(s);
    if (!up)
        return "loopback stays down";
    std::ofstream wmem("/proc/sys/net/ipv4/tcp_wmem");
    wmem << "1 1 1\n";
    wmem.close();
    return wmem ? "" : "tcp_wmem not writable";
}

// Everything the peer gets until it has n bytes or stays silent for 5 s.
std::string drain(int fd, std::size_t n)
{
    std::string out;
    char buf[4096];
    pollfd p{fd, POLLIN, 0};
    while (out.size() < n && ::poll(&p, 1, 5000) > 0) {
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got <= 0)
            break;
        out.append(buf, static_cast<std::size_t>(got));
    }
    return out;
}

// The host's start sequence goes out while the connection is still being
// made; the peer is slow to take it. A write meanwhile is only a copy: it
// returns while the early bytes are still on their way, and nothing is lost.
// The listener's queue is full at first (the connect waits for a SYN
// retransmission), so the first bytes are surely written early.
TEST(TcpEarlySend, AWriteWhileTheEarlyBytesGoOutIsOnlyACopy)
{
    std::string skipped;
    std::thread([&] {
        skipped = smallSendBufferNetwork();
        if (!skipped.empty())
            return;
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(listener, 0);
        const int tiny = 1;
        ::setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ASSERT_EQ(::listen(listener, 0), 0);
        ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
        const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

        auto s = openTcpStream("127.0.0.1", ntohs(addr.sin_port), nullptr);
        ASSERT_TRUE(s);
        std::string early;
        for (int i = 0; early.size() < 4096; ++i)
            early += static_cast<char>('A' + i % 26);
        ASSERT_EQ(s->write(bytes(early)), 4096);
        ::close(::accept(listener, nullptr, nullptr));  // room in the queue: the connect goes through
        ::close(filler);

        pollfd l{listener, POLLIN, 0};
        ASSERT_EQ(::poll(&l, 1, 10'000), 1) << "the stream never connected";
        const int peer = ::accept(listener, nullptr, nullptr);
        ASSERT_GE(peer, 0);
        pollfd p{peer, POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 10'000), 1) << "the early bytes never started";
        // The sender is stuck on a full buffer now; the peer reads nothing
        // until the next write has returned.
        EXPECT_EQ(s->write(bytes("JHOST1\r")), 7);
        const std::string got = drain(peer, early.size() + 7);
        EXPECT_EQ(got.size(), early.size() + 7);
        EXPECT_TRUE(got == early + "JHOST1\r") << "bytes lost or out of order";
        ::close(peer);
        ::close(listener);
    }).join();
    if (!skipped.empty())
        GTEST_SKIP() << "needs a network namespace of its own (root, CAP_SYS_ADMIN): " << skipped;
}

TEST_F(TcpTest, ImpossibleAddressesGiveErrorText)
{
    std::string error;
    EXPECT_FALSE(openTcpStream("127.0.0.1", 0, &error));
    EXPECT_NE(error, "");
    error.clear();
    EXPECT_FALSE(openStreamByName("tcp:localhost", 9600, &error));
    EXPECT_NE(error, "");
    error.clear();
    EXPECT_FALSE(openStreamByName("tcp:localhost:99x", 9600, &error));
    EXPECT_NE(error, "");
}

}  // namespace
}  // namespace norva
