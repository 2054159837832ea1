// A channel of a scripted TNC link, connected to DB1BBB, for the transfer
// job tests: what the channel sent on the air, what it showed, and helpers
// to feed received text and to tick.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ChannelRig.h"
#include "channel/TncChannel.h"

namespace norva::test {

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        rig.configure(1, 4, "DA1AAA");
        rig.create();
        ch = &rig.channel(1, 2);
        rig.queueStatus(2, "(2) CONNECTED to DB1BBB");
        rig.poll(2);
        ASSERT_EQ(ch->linkState().destCall(), "DB1BBB");
        clearAir();
    }

    // Info bytes written to channel 2 since the last clearAir(), joined.
    std::string air() const {
        std::string out;
        for (const auto& w : rig.state->writes)
            if (w.size() >= 3 && w[0] == 2 && w[1] == 0) out += w.substr(3);
        return out;
    }
    void clearAir() {
        rig.state->writes.clear();
        rig.ui.texts.clear();
    }
    // What the channel window showed in a colour class since clearAir().
    std::string shown(int colourClass) const {
        std::string out;
        for (const auto& [slot, cls, text] : rig.ui.texts)
            if (slot == ch->slot() && cls == colourClass) out += text;
        return out;
    }
    // Connected text from the station, as the poll delivers it.
    void receive(std::string_view text, int kind = kKindConnected) {
        ch->receiveEntry(kind, text);
        ch->dispatch();
        ch->flushToOutput();
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) ch->tick();
    }
    std::string file(const std::string& name) const { return rig.dir.read(name); }
    bool exists(const std::string& name) const { return std::filesystem::exists(rig.dir.path() / name); }
    std::string filesLog() const { return rig.dir.read("files.log"); }
    // Bytes 0..255 repeated to n bytes.
    static std::string everyByte(std::size_t n) {
        std::string s(n, '\0');
        for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 % 256);
        return s;
    }

    ChannelRig rig;
    CTncChannel* ch = nullptr;
};

}  // namespace norva::test
