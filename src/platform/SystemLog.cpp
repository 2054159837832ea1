// Plain-text log lines: the date/time head every log line starts with, and an
// append that opens, writes and closes the file each time (no handle is held,
// so an editor or a rotate tool may touch the file at any moment).
#include "platform/SystemLog.h"

#include "platform/Files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace norva {

std::string logHead(const LocalTime& t)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "  %02d.%02d.%04d %02d:%02d  ", t.day, t.month, t.year, t.hour,
                  t.minute);
    return buf;
}

std::string padRight(std::string_view text, std::size_t width)
{
    std::string out(text);
    if (out.size() < width)
        out.append(width - out.size(), ' ');
    return out;
}

bool appendToFile(const std::filesystem::path& file, std::string_view bytes)
{
    UniqueFd fd = openForWriting(file, CreateMode::Append);
    if (!fd)
        return false;
    const bool ok = writeAll(fd.get(), bytes);
    return fd.close() && ok;
}

SystemLog::SystemLog(std::filesystem::path programDir, const Clock& clock)
    : file_(std::move(programDir) / "system.log"), clock_(clock)
{
}

void SystemLog::event(std::string_view text)
{
    std::string line = logHead(clock_.localTime());
    line += text;
    // A log that cannot be written must not stop the station.
    appendToFile(file_, line);
}

}  // namespace norva
