// The serial-speed option: the pacing arithmetic of one line direction, and a
// simulated TNC at a low baud rate that answers no faster than its line.
#include <gtest/gtest.h>

// std
#include <chrono>

// POSIX
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "TncsimTestUtil.h"
#include "tncsim/CommandLine.h"
#include "tncsim/PtyServer.h"
#include "tncsim/SerialLine.h"

namespace tncsim {
namespace {

TEST(SerialLine, NineSixHundredBaudCarriesNineHundredSixtyBytesASecondWithoutDrift) {
    SerialLine line(9600);
    std::string data;
    for (int i = 0; i < 2000; ++i) data += static_cast<char>(i % 256);
    line.push(data, 1000);
    EXPECT_EQ(line.take(1000), "");
    EXPECT_EQ(line.nextDueMs(), 1002u) << "the first byte needs 1.04 ms";
    std::string got = line.take(1500);
    EXPECT_EQ(got.size(), 480u);
    // Many small takes add up to the same count as one big one.
    for (std::uint64_t t = 1501; t <= 2000; ++t) got += line.take(t);
    EXPECT_EQ(got.size(), 960u);
    got += line.take(3100);
    EXPECT_EQ(got, data) << "everything, in order, after 2000 byte times";
    EXPECT_EQ(line.nextDueMs(), std::nullopt);

    // An idle line starts afresh: bytes pushed later are not owed earlier time.
    line.push("ab", 10'000);
    EXPECT_EQ(line.take(10'001), "");
    EXPECT_EQ(line.take(10'003), "ab");
    // Bytes pushed while the line is busy queue behind the others.
    line.push("cd", 20'000);
    line.push("ef", 20'001);
    EXPECT_EQ(line.take(20'005), "cdef");
}

TEST(SerialLine, WithoutBaudEverythingPassesAtOnce) {
    SerialLine line;
    EXPECT_FALSE(line.throttled());
    line.push("xyz", 5);
    EXPECT_EQ(line.take(5), "xyz");
    EXPECT_EQ(line.nextDueMs(), std::nullopt);
}

TEST(SerialLine, CommandLineSetsTheBaudOfEveryTnc) {
    auto parsed = parseCommandLine({"--baud", "9600"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->tnc.serialBaud, 9600);
    EXPECT_FALSE(parseCommandLine({"--baud", "-1"}).options);
    EXPECT_EQ(parseCommandLine({}).options->tnc.serialBaud, 0);
}

// Milliseconds until count reply bytes came back for frames written at once.
long long roundTrip(int baud, const std::string& frames, std::size_t count) {
    Radio radio;
    TncConfig config = test::hostConfig();
    config.serialBaud = baud;
    PtyServer server(radio.addTnc(config));
    if (!server.start()) return -1;
    const int fd = ::open(server.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    termios tio {};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    const auto start = std::chrono::steady_clock::now();
    const auto limit = start + std::chrono::seconds(20);
    std::size_t got = 0;
    bool written = ::write(fd, frames.data(), frames.size()) == static_cast<ssize_t>(frames.size());
    while (written && got < count && std::chrono::steady_clock::now() < limit) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char buf[512];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got < count) return -1;
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

TEST(SerialLine, ThrottledTncIsFarSlowerThanAnUnthrottledOne) {
    // 100 "G" polls: 400 bytes to the TNC, 200 bytes of answers back. At
    // 4800 baud the line alone needs over 800 ms for the way in.
    std::string frames;
    for (int i = 0; i < 100; ++i) frames += test::cmd(1, "G");
    const long long fast = roundTrip(0, frames, 200);
    const long long slow = roundTrip(4800, frames, 200);
    ASSERT_GE(fast, 0);
    ASSERT_GE(slow, 0);
    EXPECT_GE(slow, 800);
    EXPECT_GT(slow, 4 * fast);
}

}  // namespace
}  // namespace tncsim
