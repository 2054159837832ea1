// AX.25 frames: exact bytes of the address and control fields, round trips
// of every frame type, the monitor header as TF prints it, and hostile
// frames (too many digipeaters, bad callsigns, cut frames) refused with a reason.
#include <gtest/gtest.h>

#include "kiss/Ax25Frame.h"

namespace norva::kiss {
namespace {

std::string bytes(std::initializer_list<int> v) {
    std::string s;
    for (int b : v) s.push_back(static_cast<char>(b));
    return s;
}

Ax25Address addr(const char* text, bool bit = false) {
    Ax25Address a = *parseAddress(text);
    a.bit = bit;
    return a;
}

Ax25Frame make(FrameType t, bool command, bool pf, int nr = 0, int ns = 0, std::string info = {}) {
    Ax25Frame f;
    f.dest = addr("DB1BBB");
    f.src = addr("DA1AAA-1");
    f.type = t;
    f.command = command;
    f.pf = pf;
    f.nr = nr;
    f.ns = ns;
    f.info = std::move(info);
    return f;
}

TEST(Ax25Frame, SabmHasShiftedCallsSsidAndCommandBits) {
    EXPECT_EQ(encodeAx25(make(FrameType::SABM, true, true)),
              bytes({0x88, 0x84, 0x62, 0x84, 0x84, 0x84, 0xE0,    // DB1BBB, C=1
                     0x88, 0x82, 0x62, 0x82, 0x82, 0x82, 0x63,    // DA1AAA-1, C=0, last
                     0x3F}));                                     // SABM with P
    Ax25Frame i = make(FrameType::I, true, false, 2, 1, "hi");
    i.digis = {addr("DB0XX", true), addr("DB0YY-15")};
    EXPECT_EQ(encodeAx25(i), bytes({0x88, 0x84, 0x62, 0x84, 0x84, 0x84, 0xE0, 0x88, 0x82, 0x62, 0x82, 0x82, 0x82,
                                    0x62,                                                // not last
                                    0x88, 0x84, 0x60, 0xB0, 0xB0, 0x40, 0xE0,            // DB0XX, H
                                    0x88, 0x84, 0x60, 0xB2, 0xB2, 0x40, 0x7F,            // DB0YY-15, last
                                    0x42, 0xF0, 'h', 'i'}));                             // I21, PID F0
}

TEST(Ax25Frame, EveryTypeSurvivesARoundTrip) {
    const FrameType types[] = {FrameType::I,    FrameType::RR,   FrameType::RNR, FrameType::REJ,
                               FrameType::SABM, FrameType::DISC, FrameType::DM,  FrameType::UA,
                               FrameType::FRMR, FrameType::UI};
    for (FrameType t : types) {
        for (int pf = 0; pf < 2; ++pf) {
            Ax25Frame f = make(t, pf == 0, pf == 1, 5, 3, t == FrameType::I || t == FrameType::UI ? "data\xC0" : "");
            if (t == FrameType::FRMR) f.info = bytes({1, 2, 3});
            f.digis = {addr("DB0XX-3", true), addr("DB0YY"), addr("A1"), addr("B2"), addr("C3"),
                       addr("D4"),            addr("E5"),   addr("F6")};
            const auto back = decodeAx25(encodeAx25(f));
            ASSERT_TRUE(back) << static_cast<int>(t);
            EXPECT_EQ(back->type, t);
            EXPECT_EQ(back->pf, pf == 1);
            EXPECT_EQ(back->command, pf == 0);
            EXPECT_EQ(back->info, f.info);
            ASSERT_EQ(back->digis.size(), 8u);
            EXPECT_EQ(addressText(back->digis[0]), "DB0XX-3");
            EXPECT_TRUE(back->digis[0].bit);
            EXPECT_FALSE(back->digis[1].bit);
            if (t == FrameType::I || t == FrameType::RR || t == FrameType::REJ) {
                EXPECT_EQ(back->nr, 5);
            }
            if (t == FrameType::I) {
                EXPECT_EQ(back->ns, 3);
            }
        }
    }
}

TEST(Ax25Frame, CallsignsAreCheckedAsTheyAreTyped) {
    struct Case {
        const char* text;
        const char* result;  // null: refused
    } cases[] = {
        {"db1bbb", "DB1BBB"}, {" DL1ABC-7 ", "DL1ABC-7"}, {"DL1ABC-0", "DL1ABC"}, {"X-15", "X-15"},
        {"DL1ABC-16", nullptr}, {"DL1ABCD", nullptr}, {"DL1AB-", nullptr}, {"DL/ABC", nullptr},
        {"", nullptr},          {"-3", nullptr},      {"DL1AB-1x", nullptr}, {"DL1ABC-123", nullptr},
    };
    for (const auto& c : cases) {
        const auto a = parseAddress(c.text);
        if (!c.result) {
            EXPECT_FALSE(a) << c.text;
            continue;
        }
        ASSERT_TRUE(a) << c.text;
        EXPECT_EQ(addressText(*a), c.result);
    }
}

TEST(Ax25Frame, MonitorHeaderIsWrittenAsTfPrintsIt) {
    Ax25Frame i = make(FrameType::I, true, false, 2, 1, "hi");
    i.digis = {addr("DB0XX", true), addr("DB0YY", true), addr("DB0ZZ")};
    EXPECT_EQ(monitorHeader(i), "fm DA1AAA-1 to DB1BBB via DB0XX DB0YY* DB0ZZ ctl I21^ pid F0");
    EXPECT_EQ(monitorHeader(make(FrameType::SABM, true, true)), "fm DA1AAA-1 to DB1BBB ctl SABM+");
    EXPECT_EQ(monitorHeader(make(FrameType::UA, false, true)), "fm DA1AAA-1 to DB1BBB ctl UA-");
    EXPECT_EQ(monitorHeader(make(FrameType::RR, false, false, 3)), "fm DA1AAA-1 to DB1BBB ctl RR3v");
    EXPECT_EQ(monitorHeader(make(FrameType::REJ, true, true, 7)), "fm DA1AAA-1 to DB1BBB ctl REJ7+");
    EXPECT_EQ(monitorHeader(make(FrameType::UI, true, false, 0, 0, "beacon")), "fm DA1AAA-1 to DB1BBB ctl UI^ pid F0");
    EXPECT_EQ(monitorKind(make(FrameType::UI, true, false)), 'U');
    EXPECT_EQ(monitorKind(make(FrameType::I, true, false)), 'I');
    EXPECT_EQ(monitorKind(make(FrameType::DISC, true, false)), 'S');
}

TEST(Ax25Frame, HostileFramesAreRefusedWithTheirReason) {
    const std::string good = encodeAx25(make(FrameType::I, true, false, 1, 1, "x"));
    // Every cut of a good frame short of its PID is refused, none crashes.
    for (std::size_t n = 0; n < 16; ++n) EXPECT_FALSE(decodeAx25(good.substr(0, n))) << n;
    EXPECT_TRUE(decodeAx25(good.substr(0, 16)));

    DecodeError why = DecodeError::None;
    // 100 digipeaters: the address field never ends within ten addresses.
    std::string many = good.substr(0, 14);
    many[13] = static_cast<char>(many[13] & ~1);
    for (int i = 0; i < 100; ++i) many += bytes({0x88, 0x84, 0x60, 0xB0, 0xB0, 0x40, i == 99 ? 0x61 : 0x60});
    many += bytes({0x03, 0xF0});
    EXPECT_FALSE(decodeAx25(many, &why));
    EXPECT_EQ(why, DecodeError::TooManyDigis);

    std::string badChar = good;
    badChar[2] = static_cast<char>('a' << 1);  // lower case is no callsign character
    EXPECT_FALSE(decodeAx25(badChar, &why));
    EXPECT_EQ(why, DecodeError::BadCallsign);

    std::string extInCall = good;
    extInCall[3] |= 1;  // an extension bit inside the callsign
    EXPECT_FALSE(decodeAx25(extInCall, &why));
    EXPECT_EQ(why, DecodeError::BadCallsign);

    std::string innerBlank = good;
    innerBlank[1] = static_cast<char>(' ' << 1);  // "D B1BBB"
    EXPECT_FALSE(decodeAx25(innerBlank, &why));
    EXPECT_EQ(why, DecodeError::BadCallsign);

    std::string destLast = good;
    destLast[6] |= 1;  // the address field ends after the destination
    EXPECT_FALSE(decodeAx25(destLast, &why));

    std::string unknownU = good.substr(0, 14) + bytes({0xFF});
    EXPECT_FALSE(decodeAx25(unknownU, &why));
    EXPECT_EQ(why, DecodeError::BadControl);

    EXPECT_FALSE(decodeAx25(good.substr(0, 15), &why)) << "an I frame without PID";
    EXPECT_EQ(why, DecodeError::BadControl);
}

}  // namespace
}  // namespace norva::kiss
