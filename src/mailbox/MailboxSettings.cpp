// Reading the mailbox reader's settings.
#include "mailbox/MailboxSettings.h"

#include "platform/FileNames.h"
#include "platform/Profile.h"
#include "platform/Text.h"

namespace norva {

std::string squeezedUpper(std::string_view text) {
    std::string out;
    for (char c : toUpper(text))
        if (c != ' ') out += c;
    return out;
}

MailboxSettings MailboxSettings::read(const Profile& profile, const std::filesystem::path& programDir,
                                      std::string_view checkDefault) {
    MailboxSettings s;
    s.dir = frameDirectory(profile, "DieBoxDir", programDir);
    s.userHeading = squeezedUpper(profile.getString("DieBox", "DirUserString", "User-File:"));
    s.infoHeading = squeezedUpper(profile.getString("DieBox", "DirInfoString", "Info-File:"));
    s.checkHeading = squeezedUpper(profile.getString("DieBox", "DirCheckString", checkDefault));
    s.prompt = toUpper(profile.getString("DieBox", "DirBoxPrompt", "()de>"));
    s.pattern = profile.getString("DieBoxDir", "DirExt", "*.b0?");
    return s;
}

}  // namespace norva
