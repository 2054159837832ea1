// Options of the tncsim program.
#include <gtest/gtest.h>

#include "tncsim/CommandLine.h"

namespace tncsim {
namespace {

ParsedCommandLine parse(std::vector<std::string_view> args) { return parseCommandLine(args); }

TEST(CommandLine, DefaultsAreOnePtyTncWithTenChannelsAndTheTestStation) {
    auto p = parse({});
    ASSERT_TRUE(p.options) << p.error;
    EXPECT_FALSE(p.options->tcp);
    EXPECT_EQ(p.options->tncs, 1);
    EXPECT_EQ(p.options->tnc.channels, 10);
    EXPECT_EQ(p.options->tnc.call, "NOCALL");
    EXPECT_TRUE(p.options->tnc.extendedPoll);
    EXPECT_FALSE(p.options->tnc.sendBeforeDisconnect);
    EXPECT_EQ(p.options->stations, std::vector<std::string>{"DB0SIM"});
}

TEST(CommandLine, OptionsSetTheirValues) {
    auto p = parse({"--tcp", "4000", "--tncs", "2", "--channels", "50", "--call", "dl1aaa",
                    "--station", "DB0ABC", "--station", "db0xyz", "--no-ext-poll",
                    "--frame-interval", "100", "--fragment", "1", "--fragment-gap", "2",
                    "--link-failure", "500", "--send-before-disconnect"});
    ASSERT_TRUE(p.options) << p.error;
    const ProgramOptions& o = *p.options;
    EXPECT_TRUE(o.tcp);
    EXPECT_EQ(o.tcpPort, 4000);
    EXPECT_EQ(o.tncs, 2);
    EXPECT_EQ(o.tnc.channels, 50);
    EXPECT_EQ(o.calls, std::vector<std::string>{"DL1AAA"});
    EXPECT_EQ(o.stations, (std::vector<std::string>{"DB0ABC", "DB0XYZ"}));
    EXPECT_FALSE(o.tnc.extendedPoll);
    EXPECT_EQ(o.tnc.frameIntervalMs, 100u);
    EXPECT_EQ(o.tnc.fragmentSize, 1u);
    EXPECT_EQ(o.tnc.fragmentGapMs, 2u);
    EXPECT_EQ(o.radio.linkFailureMs, 500u);
    EXPECT_TRUE(o.tnc.sendBeforeDisconnect);

    auto links = parse({"--pty", "--tncs", "2", "--link", "/tmp/a", "--link", "/tmp/b", "--no-station"});
    ASSERT_TRUE(links.options) << links.error;
    EXPECT_EQ(links.options->links.size(), 2u);
    EXPECT_TRUE(links.options->stations.empty());
}

TEST(CommandLine, BadInputGivesAClearError) {
    EXPECT_FALSE(parse({"--channels", "0"}).options);
    EXPECT_FALSE(parse({"--channels", "255"}).options);
    EXPECT_FALSE(parse({"--channels", "ten"}).options);
    EXPECT_FALSE(parse({"--tcp"}).options);
    EXPECT_FALSE(parse({"--tcp", "70000"}).options);
    EXPECT_FALSE(parse({"--call", "not/a/call"}).options);
    EXPECT_FALSE(parse({"--pty", "--tcp", "1"}).options);
    EXPECT_FALSE(parse({"--call", "A", "--call", "B"}).options);
    EXPECT_FALSE(parse({"--tcp", "0", "--link", "/tmp/x"}).options);
    auto p = parse({"--bogus"});
    EXPECT_FALSE(p.options);
    EXPECT_NE(p.error.find("--bogus"), std::string::npos);
    EXPECT_TRUE(parse({"--help"}).options->help);
}

}  // namespace
}  // namespace tncsim
