// A script on station A drives station B over the simulated radio: it
// connects, asks B's remote server for its directory, fetches a file by
// #BIN#, waits for the prompt and disconnects, all without the operator;
// once started by hand, once by the scheduler when A's clock reaches 03:00.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "channel/StationRig.h"
#include "script/ConnectWithScript.h"
#include "script/ScriptFiles.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

// Real monotonic time, but a local calendar that starts at a chosen moment:
// the scheduler sees 03:00 arrive a few seconds after the start.
class ShiftedClock final : public Clock {
public:
    explicit ShiftedClock(const LocalTime& startAt)
        : startMs_(real_.monotonicMs()), startSeconds_(secondsOf(startAt)) {}
    std::int64_t monotonicMs() const override { return real_.monotonicMs(); }
    std::int64_t wallSeconds() const override { return real_.wallSeconds(); }
    LocalTime localTime() const override {
        return civilFromSeconds(startSeconds_ + (real_.monotonicMs() - startMs_) / 1000);
    }
    void sleepMs(int ms) override { real_.sleepMs(ms); }

private:
    RealClock real_;
    std::int64_t startMs_;
    std::int64_t startSeconds_;
};

std::string everyByte(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 13 + i / 256) % 256);
    return s;
}

class ScriptStation : public ::testing::Test {
protected:
    // Before the stations start: the scheduler reads A's clock from the first tick.
    void start() {
        ASSERT_TRUE(two.start());
        area = two.b.dir.path() / "area";
        inbox = two.a.dir.path() / "in";
        scripts = two.a.dir.path() / "scripts";
        for (const fs::path& d : {area, inbox, scripts}) fs::create_directories(d);
        writeFile(area / "Logbuch.txt", "x\r");
        writeFile(area / "mail.bin", binary);
        two.b.engine->call([&] { return two.b.profile->writeString("frame", "RemoteDir", area.string()); });
        two.a.engine->call([&] {
            return two.a.profile->writeString("frame", "ScriptDir", scripts.string()) &&
                   two.a.profile->writeString("frame", "BinReadFileDir", inbox.string());
        });
        two.a.onChannel(1, [](CTncChannel& c) { return c.settings().autoBin = true; });
        // The script lives in A's ScriptDir under a name in another case.
        writeFile(scripts / "Visit.SCR",
                  "; fetch the mail of DB1BBB\r\n**C DB1BBB\r\n**WAITFOR connected\r\n**WAITFOR >\r\n"
                  "//dir\r\n**WAITFOR de db1bbb (\r\n//rbin mail.bin\r\n**WAITFOR de db1bbb (\r\n"
                  "**PRINT fetched\r\n**LOGOFF\r\n");
    }
    // The whole visit happened: listed, fetched intact, logged off, script ended.
    void expectVisit() {
        Station& a = two.a;
        Station& b = two.b;
        ASSERT_TRUE(eventually([&] { return a.output().find("LOGBUCH.TXT") != std::string::npos ||
                                            a.output().find("Logbuch.txt") != std::string::npos; }, 20000))
            << a.output();
        ASSERT_TRUE(eventually([&] { return readFile(inbox / "MAIL.BIN") == binary; }, 30000))
            << a.output() << b.output();
        // The echoed PRINT line, then the printed text (upper case, colour class 3).
        EXPECT_TRUE(eventually([&] { return a.output().find("fetchedFETCHED") != std::string::npos; }, 20000))
            << a.output();
        EXPECT_TRUE(eventually([&] { return a.linkState(1) == 0 && b.linkState(1) == 0; }, 20000)) << a.output();
        EXPECT_TRUE(eventually([&] {
            return a.onChannel(1, [](CTncChannel& c) { return c.job(JobSlot::Script) == nullptr; });
        }));
    }

    // Outlives the stations that read it.
    ShiftedClock threeSoon{{2026, 12, 8, 2, 59, 52}};
    TwoStations two;
    fs::path area, inbox, scripts;
    const std::string binary = everyByte(2500);
};

TEST_F(ScriptStation, ConnectListFetchWaitForThePromptDisconnect) {
    start();
    Station& a = two.a;
    const auto connect = [&](int tnc, std::string_view script) {
        return a.engine->call([&] { return connectWithScript(a.engine->hostMode(), tnc, script); });
    };
    EXPECT_EQ(connect(5, "visit").message, kWrongTncNumber);
    EXPECT_EQ(connect(2, "visit").message, kWrongTncNumber) << "TNC 2 is not configured";
    EXPECT_EQ(connect(1, "absent").message, kScriptNotFound);
    EXPECT_EQ(connect(1, "").message, kScriptNotFound);
    // The first free channel gets the script.
    const ConnectWithScriptResult started = connect(1, "visit");
    EXPECT_EQ(started.slot, 2) << started.message;
    EXPECT_NE(a.output().find("Setup connection with script visit..."), std::string::npos);
    expectVisit();
}

TEST_F(ScriptStation, TheSchedulerRunsTheVisitAtThree) {
    two.a.clockOverride = &threeSoon;
    start();
    two.a.engine->call([&] {
        return two.a.profile->writeString("SCHEDULE", "0", "1 1 t\xC3\xA4gl. 03:00 einf. visit.scr");
    });
    EXPECT_EQ(two.a.output().find("C DB1BBB"), std::string::npos) << "nothing before 03:00";
    expectVisit();
    const std::string log = two.a.dir.read("system.log");
    EXPECT_NE(log.find("08.12.2026 03:00  Start Script:      visit.scr"), std::string::npos) << log;
}

}  // namespace
}  // namespace norva::test
