// A script on station A drives station B over the simulated radio: it
// connects, asks B's remote server for its directory, waits for the prompt
// and disconnects, all without the operator.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "channel/StationRig.h"
#include "script/ScriptFiles.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

TEST(ScriptStation, ConnectListWaitForThePromptDisconnect) {
    TwoStations two;
    ASSERT_TRUE(two.start());
    Station& a = two.a;
    Station& b = two.b;

    const fs::path area = b.dir.path() / "area";
    fs::create_directories(area);
    writeFile(area / "Logbuch.txt", "x\r");
    b.engine->call([&] { return b.profile->writeString("frame", "RemoteDir", area.string()); });
    // The script lives in A's ScriptDir under a name in another case.
    const fs::path scripts = a.dir.path() / "scripts";
    fs::create_directories(scripts);
    writeFile(scripts / "Visit.SCR",
              "; visit DB1BBB\r\n**C DB1BBB\r\n**WAITFOR connected\r\n**WAITFOR >\r\n"
              "//dir\r\n**WAITFOR de db1bbb (\r\n**PRINT listed\r\n**LOGOFF\r\n");
    a.engine->call([&] { return a.profile->writeString("frame", "ScriptDir", scripts.string()); });

    std::string error;
    ASSERT_TRUE(a.onChannel(1, [&](CTncChannel& c) { return startScript(c, "visit", &error); })) << error;
    ASSERT_TRUE(eventually([&] { return a.output().find("LOGBUCH.TXT") != std::string::npos ||
                                        a.output().find("Logbuch.txt") != std::string::npos; }, 20000))
        << a.output();
    // The echoed PRINT line, then the printed text (upper case, colour class 3).
    EXPECT_TRUE(eventually([&] { return a.output().find("listedLISTED") != std::string::npos; })) << a.output();
    EXPECT_TRUE(eventually([&] { return a.linkState(1) == 0 && b.linkState(1) == 0; }, 20000)) << a.output();
    EXPECT_TRUE(eventually([&] {
        return a.onChannel(1, [](CTncChannel& c) { return c.job(JobSlot::Script) == nullptr; });
    }));
}

}  // namespace
}  // namespace norva::test
