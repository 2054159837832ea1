// files.log lines, sf.log and queueing the unsent files of the outgoing directory.
#include "transfer/TransferLog.h"

#include <algorithm>
#include <cstdio>

#include "channel/TncChannel.h"
#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "platform/Profile.h"
#include "platform/SystemLog.h"
#include "platform/Text.h"
#include "transfer/FileArea.h"
#include "transfer/Transfers.h"

namespace norva {

std::string filesLogLine(const LocalTime& when, std::string_view displayName, std::string_view arrow,
                         std::string_view remoteCall, std::int64_t fileLength, std::int64_t rate,
                         std::string_view outcome) {
    char figures[64];
    std::snprintf(figures, sizeof figures, "%6lld Byte  %5lld Byte / min", static_cast<long long>(fileLength),
                  static_cast<long long>(rate));
    std::string line = logHead(when);
    line += padRight(displayName, 15);
    line += arrow;
    line += padRight(remoteCall, 10);
    line += figures;
    line += outcome;
    line += "\r\n";
    return line;
}

namespace {

std::filesystem::path sendDirectory(CTncChannel& channel) {
    const HostContext& ctx = channel.tnc().context();
    return frameDirectory(ctx.profile, "SendFileDir", ctx.programDir);
}

std::vector<std::string> filesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        std::error_code ec2;
        if (entry.is_directory(ec2)) continue;
        names.push_back(entry.path().filename().string());
    }
    return names;
}

bool sameDirectory(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec1;
    std::error_code ec2;
    const auto ca = std::filesystem::weakly_canonical(a, ec1);
    const auto cb = std::filesystem::weakly_canonical(b, ec2);
    if (ec1 || ec2) return a == b;
    return ca == cb;
}

}  // namespace

SendAllPlan planSendAll(CTncChannel& channel) {
    SendAllPlan plan;
    plan.directory = sendDirectory(channel);
    if (sameDirectory(plan.directory, channel.tnc().context().programDir)) {
        plan.check = SendAllCheck::NoOwnDirectory;
        return plan;
    }
    plan.files = filesIn(plan.directory);
    plan.check = plan.files.empty() ? SendAllCheck::NoFiles : SendAllCheck::Ready;
    return plan;
}

SendAllResult queueAllUnsentFiles(CTncChannel& channel, bool fresh) {
    const HostContext& ctx = channel.tnc().context();
    const std::filesystem::path sfLog = ctx.programDir / "sf.log";
    const std::filesystem::path dir = sendDirectory(channel);
    std::error_code ec;
    if (fresh) std::filesystem::remove(sfLog, ec);
    Profile marks(sfLog);
    const std::vector<std::string> files = filesIn(dir);

    // Marks of files that left the directory go.
    for (const std::string& key : marks.keys("data"))
        if (std::none_of(files.begin(), files.end(), [&](const std::string& f) { return f == key; }))
            marks.deleteKey("data", key);

    SendAllResult result;
    for (const std::string& name : files) {
        if (toLower(marks.getString("data", name, "")) == "ok") continue;
        auto job = makeTextFileSendJob(channel, dir / name, true, false);
        if (!job) continue;
        if (!channel.transferQueue().add(std::move(job))) {
            result.queueFull = true;
            break;
        }
        marks.writeString("data", name, "ok");
        ++result.queued;
    }
    return result;
}

}  // namespace norva
