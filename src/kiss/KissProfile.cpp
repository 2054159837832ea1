// KissSettings read from the TNC's section of norva.ini.
#include "kiss/KissProfile.h"

#include <algorithm>

#include "platform/Profile.h"
#include "platform/Text.h"

namespace norva::kiss {

std::string tncSectionOfPort(const Profile& profile, std::string_view portName) {
    for (int n = 1; n <= 4; ++n) {
        const std::string sec = std::to_string(n);
        if (trim(profile.getString(sec, "ComPort", "")) == trim(portName)) return sec;
    }
    return {};
}

KissSettings readKissSettings(const Profile& profile, std::string_view section) {
    KissSettings s;
    auto get = [&](const char* key, int def, int lo, int hi) {
        return std::clamp(profile.getInt(section, key, def), lo, hi);
    };
    s.myCall = toUpper(cut(trim(profile.getString(section, "MyCall", "NOCALL")), 9));
    s.channels = get("Channels", 10, 1, 254);
    s.port = get("KissPort", 0, 0, 15);
    s.txDelay = get("KissTxDelay", s.txDelay, 0, 255);
    s.persist = get("KissPersist", s.persist, 0, 255);
    s.slotTime = get("KissSlotTime", s.slotTime, 0, 255);
    s.txTail = get("KissTxTail", s.txTail, 0, 255);
    s.fullDuplex = get("KissFullDup", 0, 0, 1) != 0;
    s.maxFrame = get("MaxFrame", s.maxFrame, 1, 7);
    s.paclen = get("Paclen", s.paclen, 1, 256);
    return s;
}

}  // namespace norva::kiss
