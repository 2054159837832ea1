// The mailbox reader's settings: where captured DieBox listings go, the
// headings that start them and the prompt that ends them.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace norva {

class Profile;

struct MailboxSettings {
    std::filesystem::path dir;      // DieBoxDir of section frame (program directory when empty)
    std::string userHeading;        // DirUserString, upper case, blanks removed
    std::string infoHeading;        // DirInfoString, likewise
    std::string checkHeading;       // DirCheckString, likewise
    std::string prompt;             // DirBoxPrompt, upper case
    std::string pattern = "*.b0?";  // DirExt of section DieBoxDir

    // checkDefault: the capture's default "#  Call", the window's "#  Call    File".
    static MailboxSettings read(const Profile& profile, const std::filesystem::path& programDir,
                                std::string_view checkDefault);
};

inline constexpr std::string_view kCheckHeadingCapture = "#  Call";
inline constexpr std::string_view kCheckHeadingWindow = "#  Call    File";

// Upper case without blanks: how headings are compared.
std::string squeezedUpper(std::string_view text);

}  // namespace norva
