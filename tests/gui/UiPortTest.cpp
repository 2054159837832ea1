// QtUiPort: order across request kinds, joined appends, work in slices so a
// flood never holds the GUI thread long, and questions after closing.
#include <thread>

#include "GuiTestUtil.h"
#include "gui/QtUiPort.h"

namespace norva::test {
namespace {

// Records what reaches the GUI thread.
class Recorder : public UiTarget {
public:
    void uiStatusMessage(const std::string& t) override { log.push_back("status " + t); }
    void uiMessageBox(const std::string& c, const std::string& t) override { log.push_back("box " + c + " " + t); }
    bool uiAsk(const std::string&, const std::string& t, const std::string&, bool* checked) override {
        log.push_back("ask " + t);
        if (checked)
            *checked = !*checked;
        return true;
    }
    void uiAppendText(int slot, int cls, std::string_view b) override {
        log.push_back("append " + std::to_string(slot) + "/" + std::to_string(cls) + " " + std::string(b));
        bytes += b.size();
        ++appends;
    }
    void uiWindowTitle(int slot, const std::string& t) override { log.push_back("title " + std::to_string(slot) + " " + t); }
    void uiJumpToEnd(int) override {}
    void uiStatusField(StatusField, const std::string&) override {}
    void uiChannelButton(int, const std::string&) override {}
    void uiPlaySound(const std::string& e, bool) override { log.push_back("sound " + e); }
    void uiConnectNotice(int) override {}
    void uiSliceDone() override { ++slices; }

    std::vector<std::string> log;
    std::size_t bytes = 0;
    int appends = 0;
    int slices = 0;
};

TEST(QtUiPort, KeepsOrderAndJoinsAppendsOfOneSlotAndClass) {
    Recorder r;
    QtUiPort port(r);
    std::thread([&] {
        port.appendText(2, 9, "ab");
        port.appendText(2, 9, "cd");
        port.appendText(2, 4, "ef");
        port.windowTitle(2, "[1/1]");
        port.appendText(2, 4, "gh");
        port.playSound("Klingel", true);
    }).join();
    ASSERT_TRUE(waitFor([&] { return r.log.size() == 5; }));
    EXPECT_EQ(r.log, (std::vector<std::string>{"append 2/9 abcd", "append 2/4 ef", "title 2 [1/1]",
                                               "append 2/4 gh", "sound Klingel"}));
}

TEST(QtUiPort, AFloodIsWorkedOffInShortSlices) {
    Recorder r;
    QtUiPort port(r);
    port.setSliceMs(1);
    const std::string chunk(200, 'x');
    std::thread producer([&] {
        for (int i = 0; i < 20000; ++i)
            port.appendText(1 + i % 3, 7, chunk);  // three slots: nothing joins
    });
    producer.join();
    ASSERT_TRUE(waitFor([&] { return r.bytes == 20000 * chunk.size(); }, 20000));
    EXPECT_EQ(r.appends, 20000);
    EXPECT_GT(r.slices, 1) << "the GUI thread got back control in between";
}

TEST(QtUiPort, QuestionsBlockTheAskerUntilAnsweredAndAfterCloseAreCancelled) {
    Recorder r;
    QtUiPort port(r);
    bool checked = false;
    bool answer = false;
    std::thread asker([&] { answer = port.ask("Norva", "Frage?", "box", &checked); });
    ASSERT_TRUE(waitFor([&] { return !r.log.empty(); }));
    asker.join();
    EXPECT_TRUE(answer);
    EXPECT_TRUE(checked) << "the check box state comes back";

    port.close();
    bool late = true;
    std::thread([&] { late = port.ask("Norva", "zu spät", "", nullptr); }).join();
    EXPECT_FALSE(late);
    port.appendText(1, 9, "dropped");
    QTest::qWait(20);
    EXPECT_EQ(r.log.size(), 1u);
}

}  // namespace
}  // namespace norva::test
