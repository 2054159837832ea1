// The TNC settings flow as engine operations: list, load, save, delete,
// new TNC numbers, and applying the result to the running TNC table.
#include <gtest/gtest.h>

#include "support/HostRig.h"

namespace norva::test {
namespace {

TEST(SettingsFlow, ListShowsNamedTncsWithTheirState) {
    HostRig rig;
    rig.configure(1, 4, "/dev/a", 1, "Kurz");
    rig.configure(3, 4, "/dev/b", 0, "Lang");
    rig.create();
    EXPECT_EQ(rig.host->settingsList(),
              (std::vector<std::string>{"1\tKurz\tactiv", "3\tLang\tnicht activ"}));
    EXPECT_EQ(rig.host->firstFreeTnc(), 2);
}

TEST(SettingsFlow, DialogDefaultsForAMissingTncAndSavingWritesEveryKey) {
    HostRig rig;
    rig.create();
    TncSettings s = rig.host->loadSettings(2);
    EXPECT_EQ(s.channels, 10);
    EXPECT_EQ(s.qrg, "438.425");
    EXPECT_EQ(s.comPort, "com1");
    EXPECT_EQ(s.myCall, "NOCALL");
    EXPECT_TRUE(s.connected);
    s.tncName = "VeryLongName";
    s.myCall = "dl1abc";
    s.channels = 99;
    s.delayTime = 5;
    rig.host->saveSettings(2, s, true, false);
    EXPECT_EQ(rig.profile.getString("Tnc", "2"), "1");
    EXPECT_EQ(rig.profile.getString("2", "TncName"), "VeryLongN");
    EXPECT_EQ(rig.profile.getString("2", "MyCall"), "DL1ABC");
    EXPECT_EQ(rig.profile.getInt("2", "Channels", 0), 20);
    EXPECT_EQ(rig.profile.getInt("2", "DelayTime", 0), 25);
    EXPECT_EQ(rig.profile.getInt("2", "TncNumber", 0), 2);
    EXPECT_EQ(rig.profile.getInt("2", "MinFreeBuffer", 0), 500);
    EXPECT_TRUE(rig.ctx.settings.noExtHostMode);
    EXPECT_FALSE(rig.ctx.settings.yield);
}

TEST(SettingsFlow, DeleteRemovesTheTncAndItsKeys) {
    HostRig rig;
    rig.configure(1, 4);
    rig.profile.writeInt("1", "DelayTime", 100);
    rig.create();
    rig.host->deleteSettings(1);
    EXPECT_FALSE(rig.profile.find("Tnc", "1"));
    EXPECT_FALSE(rig.profile.find("1", "TncName"));
    EXPECT_FALSE(rig.profile.find("1", "ComPort"));
    EXPECT_EQ(rig.profile.getInt("1", "DelayTime", 0), 100) << "not among the deleted keys";
}

TEST(SettingsFlow, AllFourTakenLeavesNoNewNumber) {
    HostRig rig;
    for (int n = 1; n <= 4; ++n) rig.configure(n, 2, "/dev/x" + std::to_string(n), 0);
    rig.create();
    EXPECT_EQ(rig.host->firstFreeTnc(), 0);
}

TEST(SettingsFlow, ApplyCreatesRestartsAndDestroys) {
    HostRig rig;
    rig.configure(1, 2, "/dev/a");
    rig.configure(2, 2, "/dev/b");
    rig.create();
    ASSERT_TRUE(rig.host->tnc(1)->isOpen());

    rig.host->beginSettings();
    EXPECT_TRUE(rig.host->pollingHeld());
    EXPECT_FALSE(rig.host->tnc(1)->isOpen()) << "stopped while the dialog is open";
    rig.state->writes.clear();
    EXPECT_EQ(rig.host->pollStep(), CHostMode::kStepNoPort);
    EXPECT_TRUE(rig.state->writes.empty()) << "no polling while held";

    rig.configure(3, 2, "/dev/c");
    rig.host->applySettings({1, 3});
    EXPECT_FALSE(rig.host->pollingHeld());
    EXPECT_TRUE(rig.host->tnc(1)->isOpen()) << "restarted";
    EXPECT_EQ(rig.host->tnc(2), nullptr) << "not wanted any more";
    ASSERT_NE(rig.host->tnc(3), nullptr);
    EXPECT_TRUE(rig.host->tnc(3)->isOpen()) << "created and started";
}

TEST(SettingsFlow, RestartThatFailsClearsConnected) {
    HostRig rig;
    rig.configure(1, 2, "/dev/a");
    rig.create();
    rig.host->beginSettings();
    rig.state->failOpen = true;
    rig.host->applySettings({1});
    EXPECT_FALSE(rig.host->tnc(1)->isOpen());
    EXPECT_EQ(rig.profile.getInt("1", "Connected", 9), 0);
}

TEST(Profile, GarbageLinesAroundTncSectionsAreSkipped) {
    HostRig rig;
    rig.dir.write("norva.ini",
                  "garbage without equals\r\n[Tnc\r\n[Tnc]\r\n1=1\r\n=novalue\r\n\x01\x02\xff\r\n"
                  "[1]\r\nChannels=3x\r\nComPort=/dev/ttyFAKE0\r\nConnected=1\r\n");
    rig.create();
    ASSERT_NE(rig.host->tnc(1), nullptr);
    EXPECT_EQ(rig.host->tnc(1)->channelCount(), 3);
    EXPECT_TRUE(rig.host->tnc(1)->isOpen());
}

}  // namespace
}  // namespace norva::test
