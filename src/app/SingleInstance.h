// One Norva per station: a second start with station files hands them to
// the Norva already serving the IPC bus name of this program directory's
// MyName, and ends. Without such a Norva (or without a bus) it starts itself.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace norva {

// True when a running Norva took every file ("open PATH" on its
// OpenChannelFile topic). Waits at most timeoutMs; never starts a service.
bool handOffToRunningNorva(const std::string& busAddress, const std::string& myName,
                           const std::vector<std::filesystem::path>& files, int timeoutMs = 3000);

}  // namespace norva
