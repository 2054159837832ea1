// The whole station as a remote user meets it: engine A connects to engine B
// over the simulated radio and drives B's remote command server, whose file
// commands run on B's real transfer jobs (listing, text read, #BIN# both
// ways with A receiving automatically).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "channel/StationRig.h"
#include "transfer/Transfers.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

std::string everyByte(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 13 + i / 256) % 256);
    return s;
}

TEST(RemoteStation, FileCommandsRunOnTheRealTransfers) {
    TwoStations two;
    ASSERT_TRUE(two.start());
    Station& a = two.a;
    Station& b = two.b;

    // B serves an area of its own; A receives #BIN# files automatically.
    const fs::path area = b.dir.path() / "area";
    const fs::path inbox = a.dir.path() / "in";
    fs::create_directories(area);
    fs::create_directories(inbox);
    writeFile(area / "Hello.txt", "Gruss aus dem Bereich\r");
    const std::string binary = everyByte(3000);
    writeFile(area / "data.bin", binary);
    b.engine->call([&] { return b.profile->writeString("frame", "RemoteDir", area.string()); });
    a.engine->call([&] { return a.profile->writeString("frame", "BinReadFileDir", inbox.string()); });
    a.onChannel(1, [](CTncChannel& c) { return c.settings().autoBin = true; });

    a.console->line(":ch 1/1");
    a.console->line("\\e c db1bbb");
    ASSERT_TRUE(eventually([&] { return a.linkState(1) == 4 && b.linkState(1) == 4; }));
    ASSERT_TRUE(eventually([&] { return a.output().find("//h fuer Hilfe") != std::string::npos; }))
        << "greeting";

    a.console->line("//dir");
    EXPECT_TRUE(eventually([&] { return a.output().find("data.bin") != std::string::npos; })) << a.output();
    a.console->line("//read hello.txt");
    EXPECT_TRUE(eventually([&] { return a.output().find("Gruss aus dem Bereich") != std::string::npos; }));
    // Outside the area: answered with a refusal and the prompt, never the file.
    const auto prompts = [&] {
        const std::string out = a.output();
        std::size_t n = 0;
        for (std::size_t at = out.find(" de DB1BBB ("); at != std::string::npos; at = out.find(" de DB1BBB (", at + 1))
            ++n;
        return n;
    };
    const std::size_t before = prompts();
    a.console->line("//read ../norva.ini");
    EXPECT_TRUE(eventually([&] { return prompts() > before; }));
    EXPECT_EQ(a.output().find("ComPort="), std::string::npos);

    // B sends the file by #BIN#; A's automatic reception stores it whole.
    a.console->line("//rbin data.bin");
    ASSERT_TRUE(eventually([&] { return readFile(inbox / "DATA.BIN") == binary; }, 30000))
        << a.output() << b.output();

    // A delivers a file into B's area.
    const std::string upload = everyByte(2000).substr(7);
    writeFile(a.dir.path() / "up.bin", upload);
    a.console->line("//sbin up.bin");
    ASSERT_TRUE(eventually([&] { return fs::exists(area / "up.bin"); }));
    ASSERT_TRUE(a.onChannel(1, [&](CTncChannel& c) {
        return enqueueTransfer(c, makeBinSendJob(c, a.dir.path() / "up.bin", false));
    }));
    EXPECT_TRUE(eventually([&] { return readFile(area / "up.bin") == upload; }, 30000)) << b.output();
    EXPECT_TRUE(eventually([&] { return b.dir.read("files.log").find("up.bin") != std::string::npos; }))
        << b.dir.read("files.log");
}

}  // namespace
}  // namespace norva::test
