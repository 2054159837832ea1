// The program's plain-text logs (system.log, norva.log, files.log): one line
// appended per event, each starting with the date/time head.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace norva {

// "  DD.MM.YYYY HH:MM  " : two blanks, date, one blank, time, two blanks.
std::string logHead(const LocalTime& t);

// Pads with blanks to width; longer text is kept whole.
std::string padRight(std::string_view text, std::size_t width);

// Appends bytes to a file (created when missing). False when it cannot be written.
bool appendToFile(const std::filesystem::path& file, std::string_view bytes);

// system.log in the program directory.
class SystemLog {
public:
    SystemLog(std::filesystem::path programDir, const Clock& clock);
    // Appends logHead(now) + text; text carries its own "\r\n".
    void event(std::string_view text);
    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
    const Clock& clock_;
};

}  // namespace norva
