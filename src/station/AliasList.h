// alias.dat: which alias a callsign announces itself under (section "call",
// key = callsign, value = alias). Written on every connect, read to turn an
// alias back into a call. The keys become station file names later, so only
// callsigns are stored as keys.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/Profile.h"

namespace norva {

class AliasList {
public:
    explicit AliasList(std::filesystem::path file);
    AliasList(const AliasList&) = delete;
    AliasList& operator=(const AliasList&) = delete;

    const std::filesystem::path& path() const { return profile_.path(); }

    // alias.dat grows by a line per station ever met: it may be far larger
    // than a station file, but a file beyond this is no alias list. Like a
    // link, a FIFO or a device in its place it is neither read nor written.
    static constexpr std::size_t kFileLimit = 1024 * 1024;

    // Creates the file holding only "[call]\r\n" when it does not exist.
    // False when it could not be created or something refused is there.
    bool ensureExists() const;

    // Stores call = alias when both are non-empty and differ (case counts as
    // the air gives it). The call must be a callsign; the alias is cut to 80
    // characters and loses control characters. A missing file is created
    // with its section and the entry in one write. False when nothing was
    // written.
    bool write(std::string_view call, std::string_view alias);

    // The alias stored for a call, in upper case; empty for an empty call.
    std::string byCall(std::string_view call) const;
    // The first call (upper case) whose alias contains the given alias,
    // upper-cased and cut before its "-". Empty for an empty alias (an empty
    // text would be found in every entry).
    std::string byAlias(std::string_view alias) const;
    // By call first, then by alias.
    std::string lookup(std::string_view callOrAlias) const;

private:
    bool usable() const;

    Profile profile_;
};

}  // namespace norva
