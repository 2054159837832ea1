// StationServices: the remote command server wired to the transfer jobs,
// the station files kept on every connect, the password answering.
#include "app/StationServices.h"

#include "app/IpcService.h"
#include "dde/ChannelDdeCommands.h"
#include "dde/CompanionHook.h"
#include "dde/DdeLinks.h"
#include "map/MapLinkJob.h"
#include "map/MapProgram.h"
#include "map/StationInfoCache.h"
#include "script/ScriptFiles.h"

#include "channel/ChannelContext.h"
#include "channel/ChannelHooks.h"
#include "channel/Gateway.h"
#include "channel/TncChannel.h"
#include "platform/SystemLog.h"
#include "platform/UiPort.h"
#include "mailbox/BoxDirWatcher.h"
#include "remote/RemoteSeams.h"
#include "remote/RemoteServer.h"
#include "script/ScheduleJob.h"
#include "station/PasswordAnswering.h"
#include "station/PasswordFile.h"
#include "station/StationPaths.h"
#include "station/StationUpdate.h"
#include "transfer/SevenPlusJob.h"
#include "transfer/TextJobs.h"
#include "transfer/TransferJob.h"
#include "transfer/Transfers.h"

namespace norva {

namespace {

// A job a remote command starts must not take the command's own record.
std::unique_ptr<CChannelJob> fromNextTick(std::unique_ptr<CChannelJob> job) {
    if (auto* t = dynamic_cast<CTransferJob*>(job.get())) t->takeRecordsAfterFirstTick();
    return job;
}

// The remote commands' transfers, made by the transfer subsystem.
class TransferAdapter final : public RemoteTransfers {
public:
    bool sendTextFile(CTncChannel& ch, const std::filesystem::path& file, Place where,
                      bool promptAfter) override {
        auto job = makeTextFileSendJob(ch, file, false, promptAfter);
        if (!job) return false;
        if (where == Place::Queue) return enqueueTransfer(ch, std::move(job));
        return ch.setJob(JobSlot::Send, std::move(job));
    }
    bool sendMemoryText(CTncChannel& ch, std::string_view name, std::string oemText,
                        bool promptAfter) override {
        auto job = makeMemoryTextJob(ch, std::move(oemText), std::string(name), promptAfter);
        return job && ch.setJob(JobSlot::Send, std::move(job));
    }
    bool sendBinFile(CTncChannel& ch, const std::filesystem::path& file, bool promptAfter) override {
        auto job = makeBinSendJob(ch, file, promptAfter);
        return job && enqueueTransfer(ch, std::move(job));
    }
    bool receiveBinFile(CTncChannel& ch, const std::filesystem::path& file, bool promptAfter) override {
        auto job = makeBinReceiveJob(ch, file, promptAfter);
        return job && ch.setJob(JobSlot::FileReceive, fromNextTick(std::move(job)));
    }
    bool sendYappFile(CTncChannel& ch, const std::filesystem::path& file, bool promptAfter) override {
        auto job = makeYappSendJob(ch, file, promptAfter);
        return job && enqueueTransfer(ch, std::move(job));
    }
    bool receiveYappFile(CTncChannel& ch, const std::filesystem::path& file, bool promptAfter) override {
        auto job = makeYappReceiveJob(ch, file, promptAfter);
        return job && ch.setJob(JobSlot::FileReceive, fromNextTick(std::move(job)));
    }
    bool captureMessage(CTncChannel& ch, const std::filesystem::path& file,
                        std::string_view oemHeading) override {
        auto job = makeCaptureJob(ch, file, true, true);
        auto* capture = dynamic_cast<CTextCaptureJob*>(job.get());
        if (!capture || capture->cancelled()) return false;
        capture->write(oemHeading);
        return ch.setJob(JobSlot::RemoteInput, fromNextTick(std::move(job)));
    }
    bool autoBin(CTncChannel& ch, std::string_view receivedText) override {
        const AutoBinOutcome outcome = norva::autoBin(ch, receivedText);
        // Only the operator can pick a file for a name that cannot be used.
        if (outcome == AutoBinOutcome::AskOperator) ch.ui().askBinaryReceive(ch.slot());
        return outcome == AutoBinOutcome::Started;
    }
};

// //Connect: the gateway pair between channels.
class GatewayAdapter final : public RemoteGateway {
public:
    std::unique_ptr<CGatewayJob> makeGateway(CTncChannel& home, std::string_view destination) override {
        return CGatewayLink::start(home, destination);
    }
};

// In-band markers the remote scanner finds for other subsystems.
class MarkerAdapter final : public RemoteMarkers {
public:
    explicit MarkerAdapter(const StationPaths& paths) : paths_(paths) {}
    // A mailbox's login line: the time the next DieBox answer is built from.
    void loginText(CTncChannel& ch, std::string_view text) override {
        storeLoginText(paths_, ch.linkState().destCall(), text);
    }
    void sevenPlus(CTncChannel& ch, std::string_view receivedText) override {
        CSevenPlusJob::startCapture(ch, receivedText);
    }

private:
    const StationPaths& paths_;
};

// What IPC clients start on a channel: transfers, scripts, the log-off.
class DdeRunner final : public DdeJobRunner {
public:
    explicit DdeRunner(RemoteServer& server) : server_(server) {}
    bool sendText(CTncChannel& ch, std::string_view oemText) override {
        auto job = makeMemoryTextJob(ch, std::string(oemText), "DDE", false);
        return job && ch.setJob(JobSlot::Send, std::move(job));
    }
    bool sendFile(CTncChannel& ch, std::string_view path, bool binary) override {
        const std::filesystem::path file(path);
        auto job = binary ? makeBinSendJob(ch, file, false) : makeTextFileSendJob(ch, file, false, false);
        return job && enqueueTransfer(ch, std::move(job));
    }
    bool receiveFile(CTncChannel& ch, std::string_view path, bool binary) override {
        const JobSlot slot = binary ? JobSlot::FileReceive : JobSlot::Capture;
        if (path.empty()) {
            if (!ch.job(slot)) return false;
            ch.destroyJob(slot);
            return true;
        }
        if (ch.job(slot)) return false;
        auto job = binary ? makeBinReceiveJob(ch, std::filesystem::path(path), false)
                          : makeCaptureJob(ch, std::filesystem::path(path), false, true);
        return job && ch.setJob(slot, std::move(job));
    }
    bool script(CTncChannel& ch, std::string_view path) override {
        if (path.empty()) return stopScript(ch);
        return !ch.job(JobSlot::Script) && startScript(ch, path);
    }
    void logoff(CTncChannel& ch) override { server_.quit(ch); }

private:
    RemoteServer& server_;
};

// The jobs every channel makes for itself.
class StandingJobs final : public ChannelJobFactory {
public:
    StandingJobs(IpcService& ipc, DdeJobRunner& runner, MapProgram& map, DdeLinkTransport* travo)
        : ipc_(ipc), runner_(runner), map_(map), travo_(travo) {}
    std::unique_ptr<ChannelDdeObject> ddeObject(CTncChannel& ch) override { return ipc_.channelObject(ch, &runner_); }
    std::unique_ptr<CMapLinkJob> mapLinkJob(CTncChannel& ch) override { return makeMapLinkJob(ch, map_); }
    std::unique_ptr<CChannelJob> companionHook(CTncChannel& ch) override { return makeTravoHook(ch, travo_); }

    std::unique_ptr<CChannelJob> captureJob(CTncChannel& ch, std::string_view path) override {
        return makeLogCaptureJob(ch, path);
    }
    std::unique_ptr<CChannelJob> schedulerHook(CTncChannel& ch) override {
        return std::make_unique<CSchedulerJob>(ch);
    }
    std::unique_ptr<CChannelJob> mailboxJob(CTncChannel& ch) override {
        if (ch.number() == 0) return nullptr;
        return std::make_unique<CBoxDirWatcher>(ch);
    }

private:
    IpcService& ipc_;
    DdeJobRunner& runner_;
    MapProgram& map_;
    DdeLinkTransport* travo_;
};

}  // namespace

struct StationServices::Parts {
    Parts(ChannelContext& ctx, const std::string& busAddress)
        : ipc(ctx, busAddress, [&ctx](const std::string& path) { ctx.ui.openStationFile(path); }),
          stationPaths(ctx.profile, ctx.programDir),
          password([&ctx](std::string_view t) {
              if (ctx.trace) ctx.trace(t);
          }) {}
    // First made, last gone: the channels' IPC objects use it until the end.
    IpcService ipc;
    StationPaths stationPaths;
    // The map program and the companion are reached through the IPC client.
    MapProgram map{ipc.client(), MapAvailability::fromProfile(ipc.context().profile), stationPaths.aliasFile(),
                   [&log = ipc.context().log](std::string_view line) { log.event(line); }};
    StationInfoCache stationInfo{map};
    std::unique_ptr<BusLinkTransport> travoProbe =
        ipc.client() ? std::make_unique<BusLinkTransport>(*ipc.client()) : nullptr;
    StationUpdate stationUpdate{stationPaths};
    PasswordAnswering password;
    TransferAdapter transfers;
    GatewayAdapter gateway;
    MarkerAdapter markers{stationPaths};
    RemoteServer server{transfers, gateway, markers};
    DdeRunner ddeRunner{server};
    StandingJobs jobs{ipc, ddeRunner, map, travoProbe.get()};
};

StationServices::StationServices(ChannelContext& ctx, const std::string& busAddress)
    : ctx_(ctx), parts_(std::make_unique<Parts>(ctx, busAddress)) {
    ChannelHooks& hooks = ctx_.channels.hooks();
    // Before any station can send a file: where received files go, and whether //DOS may run.
    ctx_.receiveFolders.checkAtStart();
    parts_->stationUpdate.aliases().ensureExists();
    hooks.setStation(&parts_->stationUpdate);
    hooks.setPassword(&parts_->password);
    hooks.setMap(&parts_->stationInfo);
    parts_->map.setTrace(ctx.trace);
    hooks.setRemote(&parts_->server);
    hooks.setJobs(&parts_->jobs);
}

StationServices::~StationServices() {
    ChannelHooks& hooks = ctx_.channels.hooks();
    hooks.setRemote(nullptr);
    hooks.setJobs(nullptr);
    hooks.setStation(nullptr);
    hooks.setPassword(nullptr);
    hooks.setMap(nullptr);
    // The map flag is program-wide: a map not found stays off for the next start.
    parts_->map.availability().save(ctx_.profile);
}

IpcService& StationServices::ipc() { return parts_->ipc; }

MapProgram& StationServices::map() { return parts_->map; }

}  // namespace norva
