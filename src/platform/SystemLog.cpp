// Plain-text log lines: the date/time head every log line starts with, and an
// append that opens, writes and closes the file each time (no handle is held,
// so an editor or a rotate tool may touch the file at any moment).
#include "platform/SystemLog.h"

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
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = true;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0)
        ok = false;
    return ok;
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
