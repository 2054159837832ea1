// Two headless stations on simulated TNCs joined by the simulated radio:
// the operator of one types ":send7p", the other, with AutoBin on, collects
// the parts and decodes the file when the last one is in.
#include <gtest/gtest.h>

#include "StationRig.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

TEST(SevenPlusStations, SendSevenPlusArrivesDecodedAtTheOtherStation) {
    TwoStations two;
    two.a.extraIni = "[7Plus]\r\nSplitLines=20\r\n";
    two.b.extraIni = "[Link2]\r\nAutoBin=1\r\n";
    ASSERT_TRUE(two.start());
    Station& a = two.a;
    Station& b = two.b;
    std::string data(3000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 13 + i / 256) % 256);
    a.dir.write("Bild 1.bin", data);

    a.console->line(":ch 1/1");
    a.console->line("\\e c db1bbb");
    ASSERT_TRUE(eventually([&] { return a.linkState(1) == 4 && b.linkState(1) == 4; })) << a.output();
    a.console->line(":send7p Bild 1.bin");
    // 49 lines in parts of 20: three parts, collected into B's receive folder, decoded there.
    const fs::path decoded = b.dir.path() / "received" / "Bild 1.bin";
    ASSERT_TRUE(eventually([&] { return fs::exists(decoded) && fs::file_size(decoded) == data.size(); }, 60000))
        << a.errors() << b.output();
    EXPECT_TRUE(b.dir.read("received/Bild 1.bin") == data);
    for (const char* part : {"BILD_1.P01", "BILD_1.P02", "BILD_1.P03"})
        EXPECT_TRUE(fs::exists(b.dir.path() / "received" / part)) << part;
    EXPECT_NE(b.output().find("7Plus Datei " + decoded.string() + " dekodiert, 3000 Bytes."), std::string::npos)
        << b.output();

    a.console->line(":send7p missing.bin");
    EXPECT_TRUE(eventually([&] { return a.errors().find("missing.bin lässt sich nicht verwenden") != std::string::npos; }))
        << a.errors();
}

}  // namespace
}  // namespace norva::test
