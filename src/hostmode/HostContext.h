// The services every part of the TNC link needs, handed in through
// constructors instead of being looked up globally.
#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

#include "hostmode/HostChannel.h"
#include "hostmode/TncPort.h"

namespace norva {

class Clock;
class Profile;
class SystemLog;
class UiPort;
class CVirtualTnc;

// Program-wide switches of the poll engine, read once at start-up.
struct HostSettings {
    bool noExtHostMode = false;  // never use the extended poll
    bool yield = true;           // give up the processor while waiting for bytes
};

struct HostContext {
    Profile& profile;
    Clock& clock;
    UiPort& ui;
    SystemLog& log;
    std::filesystem::path programDir;
    HostSettings settings;
    StreamOpener openStream;
    CVirtualTnc* virtualTnc = nullptr;
    // Receives a line for every change of a TNC's link state (open, in sync,
    // out of sync, closed) when set; for diagnosis and tests.
    std::function<void(std::string_view)> trace{};
    // Makes the channel objects of every TNC (the layer above supplies them).
    ChannelFactory makeChannel{};
};

}  // namespace norva
