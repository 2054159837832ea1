// The 7Plus codec against files of the 7PLUS 2.25 program: both vectors
// encoded and decoded byte for byte, the damaged set's error report and
// correction exactly as the program wrote them, the one-character repair,
// and what the air can do to parts, headers and reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>

#include "SevenPlusVectors.h"
#include "transfer/SevenPlusCodec.h"
#include "transfer/SevenPlusDecoder.h"
#include "transfer/SevenPlusParts.h"
#include "transfer/SevenPlusReports.h"

namespace norva::test {
namespace {

std::vector<SevenPlusPart> encodeVector(const std::string& input, const std::string& name, int linesPerPart) {
    SevenPlusEncodeOptions options;
    options.linesPerPart = linesPerPart;
    options.stamp = kVectorStamp;
    auto parts = encodeSevenPlus(sevenPlusVector(input), name, options);
    return parts ? *parts : std::vector<SevenPlusPart>{};
}

std::array<unsigned char, kSevenPlusLineBytes> someBytes(int seed) {
    std::array<unsigned char, kSevenPlusLineBytes> b{};
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<unsigned char>((i * 37 + static_cast<std::size_t>(seed) * 11) % 256);
    return b;
}

// A part of a file: header, data lines, stop line, lines ended by CR LF.
std::string partText(const SevenPlusHeader& h, const std::vector<std::string>& dataLines) {
    std::string text = sevenPlusHeaderLine(h) + "\r\n";
    for (const std::string& line : dataLines) text += line + "\r\n";
    return text + sevenPlusStopLine(h, "X", 0) + "\r\n";
}

TEST(SevenPlusCodec, CrcCodeTableAndTheFirstLineOfVectorA) {
    EXPECT_EQ(sevenPlusCrc("123456789"), 0xBEEF);
    EXPECT_EQ(sevenPlusCrc(" go_7+. "), 0x93E8);
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(sevenPlusCrc(all), 0x33FC);
    EXPECT_EQ(sevenPlusCrc("6789", sevenPlusCrc("12345")), 0xBEEF) << "a running CRC";

    int used = 0;
    for (int b = 0; b < 256; ++b) {
        const int v = sevenPlusValue(static_cast<unsigned char>(b));
        if (v < 0) continue;
        ++used;
        EXPECT_EQ(sevenPlusCode(v), b);
    }
    EXPECT_EQ(used, 216);
    for (unsigned char unused : {0x00, 0x20, 0x2A, 0x7F, 0x91, 0x93, 0xFD, 0xFF}) EXPECT_EQ(sevenPlusValue(unused), -1);

    std::array<unsigned char, kSevenPlusLineBytes> first{};
    for (std::size_t i = 0; i < first.size(); ++i) first[i] = static_cast<unsigned char>(i);
    const std::string part = sevenPlusVector("a/allbytes.7pl");
    const auto lines = sevenPlusLines(part);
    ASSERT_GT(lines.size(), 3u);
    EXPECT_EQ(encodeSevenPlusLine(first, 0), lines[2]);
    const auto decoded = decodeSevenPlusLine(lines[2]);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->bytes, first);
    EXPECT_EQ(decoded->index, 0);
    EXPECT_FALSE(decoded->repaired);
}

TEST(SevenPlusVectors, OnePartBothWays) {
    const auto parts = encodeVector("a/allbytes.bin", "allbytes.bin", kSevenPlusDefaultLinesPerPart);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].fileName, "allbytes.7pl");
    EXPECT_EQ(parts[0].text, sevenPlusVector("a/allbytes.7pl"));

    SevenPlusDecoder decoder;
    const auto results = decoder.addText(sevenPlusVector("a/allbytes.7pl"));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, SevenPlusPartOutcome::Taken);
    ASSERT_TRUE(decoder.complete());
    EXPECT_EQ(decoder.data(), sevenPlusVector("a/allbytes.bin"));
    EXPECT_EQ(decoder.longName(), "allbytes.bin");
    EXPECT_EQ(decoder.stamp(), kVectorStamp);
    EXPECT_EQ(decoder.file()->name, "ALLBYTES.BIN");
}

TEST(SevenPlusVectors, SixtyFivePartsBothWaysInAnyOrderAndAsSentOnTheAir) {
    const auto parts = encodeVector("b/random40k.bin", "random40k.bin", 10);
    const auto names = randomPartNames();
    ASSERT_EQ(parts.size(), names.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        EXPECT_EQ(parts[i].fileName, names[i]);
        EXPECT_EQ(parts[i].text, sevenPlusVector("b/" + names[i])) << names[i];
    }

    // Last part first, one part twice: the set is the same.
    SevenPlusDecoder decoder;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        ASSERT_FALSE(decoder.complete());
        decoder.addText(sevenPlusVector("b/" + *it));
    }
    decoder.addText(sevenPlusVector("b/random40.p07"));
    ASSERT_TRUE(decoder.complete());
    EXPECT_EQ(decoder.data(), sevenPlusVector("b/random40k.bin"));
    EXPECT_EQ(decoder.longName(), "random40k.bin");

    // On the air: every part in one text, lines ended by CR, chatter between the parts.
    SevenPlusEncodeOptions air;
    air.linesPerPart = 10;
    air.lineEnd = "\r";
    std::string text = "de DB0BOX> sp all\r";
    const auto onAir = encodeSevenPlus(sevenPlusVector("b/random40k.bin"), "random40k.bin", air);
    ASSERT_TRUE(onAir);
    for (const auto& part : *onAir) text += part.text + "73\r";
    SevenPlusDecoder joined;
    const auto results = joined.addText(text);
    EXPECT_EQ(results.size(), 65u);
    ASSERT_TRUE(joined.complete());
    EXPECT_EQ(joined.data(), sevenPlusVector("b/random40k.bin"));
}

TEST(SevenPlusVectors, DamagedSetGivesTheProgramsErrorReportAndItsCorrectionMendsIt) {
    SevenPlusDecoder decoder;
    int badLines = 0;
    for (const std::string& name : randomPartNames())
        for (const auto& r : decoder.addText(damagedPart(name))) {
            EXPECT_EQ(r.outcome, SevenPlusPartOutcome::Taken) << name;
            badLines += r.badLines;
        }
    EXPECT_FALSE(decoder.complete());
    EXPECT_EQ(decoder.missing(), (std::vector<SevenPlusMissingPart>{{2, {3}}, {10, {0}}, {65, {5}}}));
    EXPECT_EQ(decoder.missingCount(), 3) << "7PLUS: 3 lines corrupted";
    EXPECT_EQ(decoder.rebuilt(), 1) << "7PLUS: 1 line rebuilt";
    EXPECT_EQ(badLines, 2) << "two lines fail their check; the third is gone";
    const std::string err = writeSevenPlusErrorReport(decoder.errorReport());
    EXPECT_EQ(err, sevenPlusVector("c-errcor/random40.err"));
    EXPECT_EQ(sevenPlusErrorReportName("RANDOM40.BIN"), "random40.err");

    // The originator's side: from the report and the original file, the program's correction.
    std::string error;
    const auto report = parseSevenPlusErrorReport(err, &error);
    ASSERT_TRUE(report) << error;
    EXPECT_EQ(report->longName, "random40k.bin");
    EXPECT_EQ(report->stamp, kVectorStamp);
    const auto cor = writeSevenPlusCorrection(*report, sevenPlusVector("b/random40k.bin"), "random40k.bin",
                                              kVectorStamp, "\n", &error);
    ASSERT_TRUE(cor) << error;
    EXPECT_EQ(*cor, sevenPlusVector("c-errcor/random40.cor"));

    // The receiver applies it: the original, byte for byte.
    const auto correction = parseSevenPlusCorrection(sevenPlusVector("c-errcor/random40.cor"), &error);
    ASSERT_TRUE(correction) << error;
    const auto applied = decoder.addCorrection(*correction);
    EXPECT_TRUE(applied.applied) << applied.error;
    EXPECT_EQ(applied.filled, 3);
    ASSERT_TRUE(decoder.complete());
    EXPECT_EQ(decoder.data(), sevenPlusVector("b/random40k.bin"));
}

TEST(SevenPlusRepair, OneCharacterChangedLostOrAddedIsMendedTwoAreNot) {
    const auto bytes = someBytes(3);
    const std::string line = encodeSevenPlusLine(bytes, 137);
    ASSERT_EQ(line.size(), kSevenPlusLineChars);
    for (std::size_t at : {0u, 17u, 31u, 32u, 63u, 64u, 66u}) {
        std::string changed = line;
        changed[at] = changed[at] == '!' ? '#' : '!';
        const auto fixed = decodeSevenPlusLine(changed);
        ASSERT_TRUE(fixed) << "changed at " << at;
        EXPECT_TRUE(fixed->repaired);
        EXPECT_EQ(fixed->bytes, bytes);
        EXPECT_EQ(fixed->index, 137);

        const auto lost = decodeSevenPlusLine(std::string(line).erase(at, 1));
        ASSERT_TRUE(lost) << "lost at " << at;
        EXPECT_EQ(lost->bytes, bytes);

        const auto added = decodeSevenPlusLine(std::string(line).insert(at, "x"));
        ASSERT_TRUE(added) << "added at " << at;
        EXPECT_EQ(added->bytes, bytes);
    }
    std::string twice = line;
    twice[5] = twice[5] == '!' ? '#' : '!';
    twice[40] = twice[40] == '!' ? '#' : '!';
    EXPECT_FALSE(decodeSevenPlusLine(twice));
    EXPECT_FALSE(decodeSevenPlusLine(line.substr(0, 60)));
    EXPECT_FALSE(decodeSevenPlusLine(std::string(69, '!')));
    // The backward check alone may be hit: the line is still good.
    std::string tail = line;
    tail[68] = ' ';
    EXPECT_TRUE(decodeSevenPlusLine(tail));

    // Header lines hold blanks: a garbled or lost blank is mended too.
    const std::string header(sevenPlusLines(sevenPlusVector("b/random40.p01"))[0]);
    std::string garbled = header;
    garbled[18] = 'Q';
    const auto parsed = parseSevenPlusHeader(garbled);
    ASSERT_TRUE(parsed.header);
    EXPECT_TRUE(parsed.repaired);
    EXPECT_EQ(parsed.header->parts, 65);
    const auto lostBlank = parseSevenPlusHeader(std::string(header).erase(31, 1));
    ASSERT_TRUE(lostBlank.header);
    EXPECT_EQ(lostBlank.header->size, 40000);
}

TEST(SevenPlusHostile, HeadersThatLieAreRefused) {
    auto header = [](const std::string& fields) {
        std::string text = " go_7+. " + fields;
        text.resize(62, ' ');
        return withSevenPlusChecks(text + "\xB0\xB1\xB2*");
    };
    EXPECT_TRUE(parseSevenPlusHeader(header("001 of 002 X.BIN 0000100 0040 001 (7PLUS v2.2)")).header);
    for (const char* lie : {
             "000 of 002 X.BIN 0000100 0040 001",  // part 0
             "003 of 002 X.BIN 0000100 0040 001",  // beyond the last part
             "001 of 000 X.BIN 0000100 0040 001",  // no parts
             "001 of 002 X.BIN 0000000 0040 001",  // empty file
             "001 of 002 X.BIN 0000100 0040 000",  // zero lines per part: once a division by zero
             "001 of 002 X.BIN 0000100 0040 FFF",  // more than 512 lines per part
             "001 of 999 X.BIN 9999999 0040 001",  // more than 255 parts
             "001 of 003 X.BIN 0000100 0040 001",  // two lines make two parts, not three
             "001 of 255 X.BIN 9999999 0040 200",  // 161291 lines need 316 parts of 512
             "001 of 002 X.BIN 00001x0 0040 001",  // no number
             "001 to 002 X.BIN 0000100 0040 001",
             "001 of 002",
         })
        EXPECT_EQ(parseSevenPlusHeader(header(lie)).error, SevenPlusHeaderError::BadFields) << lie;

    const std::string good = header("001 of 002 X.BIN 0000100 0040 001 (7PLUS v2.2)");
    std::string seven = good;
    for (char& c : seven) c = static_cast<char>(c & 0x7F);
    EXPECT_EQ(parseSevenPlusHeader(seven).error, SevenPlusHeaderError::EightBitStripped);
    std::string forged = good;
    forged[8] = '2';
    forged[20] = 'Y';
    EXPECT_EQ(parseSevenPlusHeader(forged).error, SevenPlusHeaderError::Corrupted) << "two changes: never believed";

    SevenPlusDecoder decoder;
    EXPECT_EQ(decoder.addText("no 7plus here\r\n").at(0).outcome, SevenPlusPartOutcome::NoHeader);
    EXPECT_EQ(decoder.addText(seven + "\r\n").at(0).outcome, SevenPlusPartOutcome::EightBitStripped);
    EXPECT_FALSE(decoder.file());
    decoder.addText(sevenPlusVector("b/random40.p02"));
    EXPECT_EQ(decoder.addText(sevenPlusVector("a/allbytes.7pl")).at(0).outcome, SevenPlusPartOutcome::OtherFile);
    EXPECT_EQ(decoder.file()->name, "RANDOM40.BIN");
}

TEST(SevenPlusHostile, TruncatedGarbledAndStrayLinesOnlyMakeLinesMissing) {
    const SevenPlusHeader h{1, 1, "X.BIN", 5 * 62, 5, false};
    std::vector<std::string> lines;
    for (int i = 0; i < 5; ++i) lines.push_back(encodeSevenPlusLine(someBytes(i), i));

    // Cut in the middle of its third line, no stop line.
    const std::string full = partText(h, lines);
    SevenPlusDecoder cut;
    cut.addText(full.substr(0, full.find(lines[2]) + 30));
    EXPECT_EQ(cut.missing(), (std::vector<SevenPlusMissingPart>{{1, {2, 3, 4}}}));
    EXPECT_TRUE(cut.data().empty()) << "nothing before it is complete";

    // Out of order, repeated, beyond the part, an index from another part, garbage between.
    const std::vector<std::string> stray{lines[0],
                                         lines[3],
                                         lines[1],  // back: skipped
                                         lines[3],
                                         encodeSevenPlusLine(someBytes(9), 5),  // no line 5 in this part
                                         std::string(300, '\xE6'),
                                         std::string("\x00\x01\x02", 3),
                                         lines[4]};
    SevenPlusDecoder decoder;
    const auto r = decoder.addText(partText(h, stray));
    EXPECT_EQ(decoder.missing(), (std::vector<SevenPlusMissingPart>{{1, {1, 2}}}));
    EXPECT_EQ(r.at(0).badLines, 2);

    // The gaps filled by the part sent again: the file.
    decoder.addText(full);
    ASSERT_TRUE(decoder.complete());
    std::string expected;
    for (int i = 0; i < 5; ++i) expected.append(reinterpret_cast<const char*>(someBytes(i).data()), kSevenPlusLineBytes);
    EXPECT_EQ(decoder.data(), expected);
}

TEST(SevenPlusReports, ListsBreakAfterEighteenLinesAndBadReportsAreRefused) {
    SevenPlusErrorReport r{"NAME.TXT", 40, "Name.txt", 62 * 40 * 2, {{1, {}}, {2, {}}}, 0};
    for (int i = 0; i < 18; ++i) r.missing[0].lines.push_back(i);
    for (int i = 0; i < 20; ++i) r.missing[1].lines.push_back(i + 20);
    const std::string text = writeSevenPlusErrorReport(r);
    const auto lines = sevenPlusLines(text);
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[0], " go_text. NAME.ERR");
    EXPECT_EQ(lines[1], "7PLUS error report: NAME.TXT 028 /Name.txt/ 4960");
    EXPECT_EQ(lines[2], "01");
    EXPECT_EQ(lines[3], "000 001 002 003 004 005 006 007 008 009 00A 00B 00C 00D 00E 00F 010 011");
    EXPECT_EQ(lines[4], "FFF") << "the 18th index ended the line";
    EXPECT_EQ(lines[5], "02");
    EXPECT_EQ(lines[7], "026 027 FFF");
    EXPECT_EQ(lines[8], "[0]");
    std::string error;
    const auto back = parseSevenPlusErrorReport(text, &error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->missing, r.missing);

    r.longName = "name.txt";
    EXPECT_EQ(sevenPlusLines(writeSevenPlusErrorReport(r))[1], "7PLUS error report: NAME.TXT 028 4960")
        << "a long name equal to the 8.3 name is left out";

    std::string badCrc = sevenPlusVector("c-errcor/random40.err");
    badCrc.replace(badCrc.find("003 FFF"), 7, "004 FFF");
    EXPECT_FALSE(parseSevenPlusErrorReport(badCrc, &error));
    auto forged = [](const std::string& body) {
        // A well-formed CRC over a body whose numbers lie.
        std::vector<std::string_view> lines = sevenPlusLines(body);
        std::uint16_t crc = 0;
        for (std::string_view l : lines) crc = sevenPlusCrc("\n", sevenPlusCrc(l, crc));
        char line[16];
        std::snprintf(line, sizeof line, "CRC %04X\n", crc);
        return " go_text. X.ERR\n" + body + line + " stop_text.\n";
    };
    EXPECT_TRUE(parseSevenPlusErrorReport(forged("7PLUS error report: X.BIN 00A 1240\n01\n009 FFF\n[0]\n00\n")));
    for (const char* lie : {"7PLUS error report: X.BIN 00A 1240\n01\n00A FFF\n[0]\n00\n",   // line 10 of 10
                            "7PLUS error report: X.BIN 00A 1240\n03\n001 FFF\n[0]\n00\n",   // part 3 of 2
                            "7PLUS error report: X.BIN 000 1240\n01\n001 FFF\n[0]\n00\n",   // no lines per part
                            "7PLUS error report: X.BIN 00A 9999999\n01\n001 FFF\n[0]\n00\n",
                            "7PLUS error report: X.BIN 00A 1240\n02\n001 FFF\n01\n001 FFF\n[0]\n00\n",
                            "7PLUS error report: X.BIN 00A 1240\n01\n001\n[0]\n00\n"})
        EXPECT_FALSE(parseSevenPlusErrorReport(forged(lie))) << lie;

    // A correction for another file, or for another version of it, changes nothing.
    const auto cor = parseSevenPlusCorrection(sevenPlusVector("c-errcor/random40.cor"));
    ASSERT_TRUE(cor);
    SevenPlusDecoder other;
    other.addText(sevenPlusVector("a/allbytes.7pl"));
    EXPECT_FALSE(other.addCorrection(*cor).applied);
    SevenPlusDecoder later;
    later.addText(damagedPart("random40.p02"));
    SevenPlusCorrection newer = *cor;
    newer.stamp = kVectorStamp + 2;
    EXPECT_FALSE(later.addCorrection(newer).applied);
    EXPECT_EQ(later.missing().at(0).lines.size(), 10u) << "part 1 never came";
    // A correction line whose index is not the one it claims is not taken.
    SevenPlusCorrection shifted = *cor;
    shifted.lines[0].index = 4;
    EXPECT_EQ(later.addCorrection(shifted).filled, 2);
}

TEST(SevenPlusEncoder, NamesLimitsAndTheStamp) {
    EXPECT_EQ(sevenPlusNames("Held-Out_12345.DAT").headerName(), "HELD-OUT.DAT");
    EXPECT_EQ(sevenPlusNames("my file (1).tar.gz").headerName(), "MY_FILE_.GZ");
    EXPECT_EQ(sevenPlusNames("README").headerName(), "README");
    EXPECT_EQ(sevenPlusNames("archive.tar.bz2").shortName(), "archive_.bz2");
    EXPECT_EQ(sevenPlusLongName(std::string(70, 'a') + ".jpeg"), std::string(56, 'a') + ".jpe");
    EXPECT_EQ(sevenPlusLongName(std::string(70, 'b')), std::string(60, 'b'));
    EXPECT_EQ(sevenPlusDosTime(2023, 11, 5, 7, 8, 9), 0x57653904u);
    EXPECT_EQ(sevenPlusDosTime(1979, 12, 31, 0, 0, 0), 0u);

    std::string error;
    EXPECT_FALSE(encodeSevenPlus("", "x", {}, &error));
    EXPECT_FALSE(error.empty());
    SevenPlusEncodeOptions one;
    one.linesPerPart = 1;
    EXPECT_TRUE(encodeSevenPlus(std::string(255 * 62, 'x'), "x", one));
    EXPECT_FALSE(encodeSevenPlus(std::string(255 * 62 + 1, 'x'), "x", one)) << "256 parts";
    SevenPlusEncodeOptions huge;
    huge.linesPerPart = 100000;
    const auto capped = encodeSevenPlus(std::string(600 * 62, 'y'), "y.bin", huge);
    ASSERT_TRUE(capped);
    EXPECT_EQ(capped->size(), 2u) << "at most 512 lines per part";

    // A long name with a path and odd bytes travels in the name line; it decodes as it came.
    const std::string name = "dir\\..\\\x01name with blanks.txt";
    const auto parts = encodeSevenPlus("payload", name, {});
    ASSERT_TRUE(parts);
    SevenPlusDecoder decoder;
    decoder.addText(parts->at(0).text);
    ASSERT_TRUE(decoder.complete());
    EXPECT_EQ(decoder.data(), "payload");
    EXPECT_EQ(decoder.longName(), "dir\\..\\_name with blanks.txt");
}

}  // namespace
}  // namespace norva::test
