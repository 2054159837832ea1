// An automatic #BIN# reception whose header names a file that cannot be used
// opens "Binärdatei empfangen" with its file chooser in the running program.
#include <filesystem>

#include "GuiTestUtil.h"
#include "support/EngineSync.h"
#include "channel/TncChannel.h"
#include "gui/EngineLink.h"
#include "gui/TransferCommands.h"
#include "hostmode/HostMode.h"
#include "hostmode/VirtualTnc.h"

namespace norva::test {
namespace {

class AskBinaryReceiveTest : public GuiTest {
protected:
    static constexpr int kSlot = 2;  // TNC 1, channel 1

    void startStation() {
        in = dir.path() / "in";
        std::filesystem::create_directories(in);
        dir.write("norva.ini",
                  "[Frame]\r\nAutoArrange=0\r\nTopLink=2\r\nShowBitmap=0\r\nBinReadFileDir=" + in.string() +
                      "\r\n[Tnc]\r\n1=1\r\n[1]\r\nTncName=Demo\r\nChannels=4\r\nComPort=dde\r\n"
                      "MyCall=DL1ABC\r\nConnected=1\r\n[Link2]\r\nAutoBin=1\r\n");
        start();
        frame()->transfers().setFileChooser([this](QWidget*, const FileRequest& r) {
            asked.push_back(r);
            return QString::fromStdString((in / "gewaehlt.bin").string());
        });
    }
    void receive(const std::string& text) {
        session->engineLink()->call([text](CHostMode& hm) { hm.virtualTnc().queueItem(1, 7, text); });
    }
    bool receiving() {
        EngineLink* link = session->engineLink();
        return link->call([link](CHostMode&) {
            CTncChannel* channel = link->channelOf(kSlot);
            return channel && channel->job(JobSlot::FileReceive) != nullptr;
        });
    }

    std::filesystem::path in;
    std::vector<FileRequest> asked;
};

TEST_F(AskBinaryReceiveTest, AnUnusableNameOpensTheReceiveCommandAndAUsableOneDoesNot) {
    startStation();
    receive("#BIN#4#|1234#$5A2B3C4D#KURZ.BIN\r");
    ASSERT_TRUE(waitFor([&] { return receiving(); }));
    // The reception has ticked, and whatever it asked of the GUI has been carried out.
    ASSERT_TRUE(channelsPolled(*session->engineLink()));
    ASSERT_TRUE(uiCaughtUp(*session->engineLink(), *frame()));
    EXPECT_TRUE(asked.empty()) << "a usable name is received without asking";
    session->engineLink()->call([](CHostMode& hm) {
        hm.virtualTnc().queueItem(1, 7, "\r#ABORT#\r");
        return 0;
    });
    ASSERT_TRUE(waitFor([&] { return !receiving(); }));

    receive("#BIN#4#|1234#$5A2B3C4D#EINSEHRLANGERNAME\r");
    ASSERT_TRUE(waitFor([&] { return !asked.empty(); }));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title.toStdString(), "Binärdatei empfangen");
    EXPECT_EQ(asked[0].mode, FileRequest::Mode::Save);
    EXPECT_EQ(asked[0].directory.toStdString(), in.string());
    // The chosen file waits for the header.
    ASSERT_TRUE(waitFor([&] { return receiving(); }));
    EXPECT_TRUE(std::filesystem::exists(in / "gewaehlt.bin"));
}

}  // namespace
}  // namespace norva::test
