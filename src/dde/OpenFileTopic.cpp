// Handing a station file to the running program.
#include "dde/OpenFileTopic.h"

namespace norva {

std::string openCommandPath(std::string_view command) {
    const std::size_t wordStart = command.find_first_not_of(' ');
    if (wordStart == std::string_view::npos) return {};
    const std::size_t wordEnd = command.find(' ', wordStart);
    if (wordEnd == std::string_view::npos) return {};
    const std::size_t pathStart = command.find_first_not_of(' ', wordEnd);
    if (pathStart == std::string_view::npos) return {};
    std::string_view path = command.substr(pathStart);
    // A line end a shell or script left on the command is no part of the name.
    while (!path.empty() && (path.back() == '\r' || path.back() == '\n')) path.remove_suffix(1);
    return std::string(path);
}

bool OpenFileTopic::execute(std::string_view command) {
    const std::string path = openCommandPath(command);
    if (!path.empty() && open_) open_(path);
    return true;
}

bool handOffOpen(DdeClient& client, std::string_view service, std::string_view path, std::function<void(bool)> done,
                 std::uint64_t timeoutUsec) {
    return client.execute(
        service, kOpenFileTopic, "open " + std::string(path),
        [done = std::move(done)](const DdeCallResult& r) {
            if (done) done(r.status == DdeCallResult::Status::Done && r.processed);
        },
        timeoutUsec);
}

}  // namespace norva
