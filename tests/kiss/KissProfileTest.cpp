// KissSettings from norva.ini: the TNC section is found by its ComPort, the
// KISS keys are read with their defaults, and values out of range are clamped.
#include <gtest/gtest.h>

#include "kiss/KissProfile.h"
#include "platform/Profile.h"
#include "support/TempDir.h"

namespace norva::test {
namespace {

TEST(KissProfile, SectionByPortAndKeysWithDefaultsAndLimits) {
    TempDir dir;
    dir.write("norva.ini",
              "[1]\r\nComPort=/dev/ttyS0\r\n[2]\r\nComPort=kiss:tcp:localhost\r\nMyCall=dl1abc-7\r\nChannels=6\r\n"
              "KissTxDelay=25\r\nKissPersist=300\r\nKissSlotTime=-4\r\nKissFullDup=1\r\nMaxFrame=9\r\n"
              "Paclen=128\r\n[3]\r\nComPort=kiss:/dev/ttyUSB0\r\n");
    Profile p(dir.path() / "norva.ini");
    EXPECT_EQ(kiss::tncSectionOfPort(p, "kiss:tcp:localhost"), "2");
    EXPECT_EQ(kiss::tncSectionOfPort(p, "kiss:/dev/ttyUSB0"), "3");
    EXPECT_EQ(kiss::tncSectionOfPort(p, "kiss:/dev/ttyUSB1"), "");
    const kiss::KissSettings s = kiss::readKissSettings(p, "2");
    EXPECT_EQ(s.myCall, "DL1ABC-7");
    EXPECT_EQ(s.channels, 6);
    EXPECT_EQ(s.txDelay, 25);
    EXPECT_EQ(s.persist, 255);
    EXPECT_EQ(s.slotTime, 0);
    EXPECT_TRUE(s.fullDuplex);
    EXPECT_EQ(s.maxFrame, 7);
    EXPECT_EQ(s.paclen, 128);
    const kiss::KissSettings d = kiss::readKissSettings(p, "3");
    EXPECT_EQ(d.myCall, "NOCALL");
    EXPECT_EQ(d.txDelay, kiss::KissSettings{}.txDelay);
    EXPECT_EQ(d.maxFrame, 4);
}

}  // namespace
}  // namespace norva::test
