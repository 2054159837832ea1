// KissSettings from norva.ini: the TNC's section ("1".."4") holds ComPort,
// MyCall and Channels like every TNC, and the KISS keys KissTxDelay,
// KissPersist, KissSlotTime (KISS units), KissTxTail, KissFullDup, KissPort,
// MaxFrame and Paclen.
#pragma once

#include <string>
#include <string_view>

#include "kiss/Kiss.h"

namespace norva {
class Profile;
}

namespace norva::kiss {

// The section of the TNC whose ComPort is portName ("" when none is).
std::string tncSectionOfPort(const Profile& profile, std::string_view portName);
// The settings of that section; missing keys keep their defaults, values
// outside their range are clamped.
KissSettings readKissSettings(const Profile& profile, std::string_view section);

}  // namespace norva::kiss
