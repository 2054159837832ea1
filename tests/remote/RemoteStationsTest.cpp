// Two headless engines on the simulated radio: A connects to B, whose remote
// server greets it and answers //DIR, //Read and a hostile //Read over the
// air. B's transfers are a small stand-in that sends texts from its send
// slot and its transfer queue.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../channel/StationRig.h"
#include "remote/RemoteServer.h"
#include "remote/RemoteText.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;
using tncsim::SimTnc;

// Sends a whole text on its first tick, then the prompt when asked for.
class TextJob : public CChannelJob {
public:
    TextJob(CTncChannel& ch, std::string text, bool prompt) : ch_(ch), text_(std::move(text)), prompt_(prompt) {}
    int tick() override {
        ch_.sendOperation({kKindInfo, text_});
        if (prompt_) sendRemotePrompt(ch_);
        return 0;
    }

private:
    CTncChannel& ch_;
    std::string text_;
    bool prompt_;
};

struct AirTransfers : NullRemoteTransfers {
    bool sendTextFile(CTncChannel& ch, const fs::path& file, Place where, bool prompt) override {
        std::ifstream in(file, std::ios::binary);
        if (!in) return false;
        auto job = std::make_unique<TextJob>(ch, std::string(std::istreambuf_iterator<char>(in), {}), prompt);
        if (where == Place::Queue) return ch.transferQueue().add(std::move(job));
        return ch.setJob(JobSlot::Send, std::move(job));
    }
    bool sendMemoryText(CTncChannel& ch, std::string_view, std::string text, bool prompt) override {
        return ch.setJob(JobSlot::Send, std::make_unique<TextJob>(ch, std::move(text), prompt));
    }
};

TEST(RemoteStations, AStationDrivesTheOtherOverTheAir) {
    tncsim::Radio radio;
    tncsim::PtyServer serverA(radio.addTnc({}));
    tncsim::PtyServer serverB(radio.addTnc({}));
    ASSERT_TRUE(serverA.start()) << serverA.error();
    ASSERT_TRUE(serverB.start()) << serverB.error();

    AirTransfers transfers;
    RemoteGateway gateway;
    RemoteMarkers markers;
    RemoteServer server(transfers, gateway, markers);

    Station a;
    Station b;
    a.start(serverA.slavePath(), "DA1AAA");
    b.start(serverB.slavePath(), "DB1BBB");
    const fs::path area = b.dir.path() / "Area";
    fs::create_directory(area);
    std::ofstream(area / "Hello.TXT", std::ios::binary) << "Gruss aus dem Bereich von DB1BBB\r";
    b.engine->call([&] {
        b.profile->writeString("frame", "RemoteDir", area.string());
        b.engine->context().channels.hooks().setRemote(&server);
    });
    ASSERT_TRUE(eventually([&] { return a.tncOpen() && b.tncOpen(); })) << a.errors() << b.errors();
    ASSERT_TRUE(eventually([&] {
        return serverB.withTnc([](SimTnc& t) { return t.channelCall(1); }) == "DB1BBB";
    }));

    a.console->line(":ch 1/1");
    a.console->line("\\e c db1bbb");
    ASSERT_TRUE(eventually([&] {
        return a.output().find("9: Connected to DB1BBB Port 1 on Tnc 1.") != std::string::npos;
    })) << a.output() << b.output();
    EXPECT_TRUE(eventually([&] { return a.output().find("9:      //h fuer Hilfe") != std::string::npos; }))
        << a.output();

    a.console->line("//dir");
    ASSERT_TRUE(eventually([&] { return a.output().find(" Hello.TXT") != std::string::npos; })) << a.output();
    EXPECT_NE(a.output().find("9:  Verzeichnis von  /"), std::string::npos) << a.output();
    EXPECT_EQ(a.output().find(fs::canonical(area).string()), std::string::npos) << "no host path" << a.output();
    EXPECT_NE(a.output().find("9: DA1AAA-1 de DB1BBB ("), std::string::npos) << "the prompt" << a.output();

    a.console->line("//read hello");
    ASSERT_TRUE(eventually([&] {
        // The line follows the prompt, which ends without a CR.
        return a.output().find(")>Gruss aus dem Bereich von DB1BBB") != std::string::npos;
    })) << a.output();

    a.console->line("//read ../../etc/passwd");
    ASSERT_TRUE(eventually([&] {
        return a.output().find("9: Diese Kommando ist fuer normale Benutzer nicht erlaubt.") != std::string::npos;
    })) << a.output();
    EXPECT_EQ(a.output().find("root:"), std::string::npos);

    // B shows the session: the commands as received, its answers as its own text.
    EXPECT_NE(b.output().find(")>//read hello"), std::string::npos) << b.output();
    EXPECT_LT(b.output().find("4: (1) CONNECTED to DA1AAA-1"), b.output().find("3: *** Norva 4.26"))
        << "the connect text stands before the greeting" << b.output();
    EXPECT_NE(b.output().find("3: Diese Kommando ist fuer normale Benutzer nicht erlaubt."), std::string::npos)
        << b.output();

    b.engine->call([&] { b.engine->context().channels.hooks().setRemote(nullptr); });
}

}  // namespace
}  // namespace norva::test
