// The channel's calls into subsystems that come later (remote commands,
// password answering, station files, the map program, DDE, the standing
// jobs). Each is a small interface whose base class does nothing, so a
// channel works fully before those subsystems exist; a subsystem installs
// its own object in the registry's ChannelHooks and restores the default
// before it goes away.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "channel/ChannelJob.h"

namespace norva {

class CTncChannel;

// The DDE item state of one channel.
class ChannelDdeObject {
public:
    virtual ~ChannelDdeObject() = default;
    // True while some client has an advise loop on the channel.
    virtual bool active() const { return false; }
    virtual void advise(const ReceiveRecord& /*record*/) {}
    virtual void updateItems(const ReceiveRecord& /*record*/) {}
};

// Makes the jobs a channel creates for itself, and its DDE object. A null
// result means "none": the slot stays empty.
class ChannelJobFactory {
public:
    virtual ~ChannelJobFactory() = default;
    // The capture into the channel's LogFile, started when the channel is created.
    virtual std::unique_ptr<CChannelJob> captureJob(CTncChannel&, std::string_view /*path*/) {
        return nullptr;
    }
    virtual std::unique_ptr<CMapLinkJob> mapLinkJob(CTncChannel&) { return nullptr; }
    virtual std::unique_ptr<CChannelJob> mailboxJob(CTncChannel&) { return nullptr; }
    virtual std::unique_ptr<CChannelJob> companionHook(CTncChannel&) { return nullptr; }
    virtual std::unique_ptr<CChannelJob> schedulerHook(CTncChannel&) { return nullptr; }
    virtual std::unique_ptr<ChannelDdeObject> ddeObject(CTncChannel&) { return nullptr; }
};

// The remote-command server.
class RemoteCommandHook {
public:
    virtual ~RemoteCommandHook() = default;
    // Looks at received text for remote commands (not while a send or
    // file-receive job runs: the channel does not call it then).
    virtual void scan(CTncChannel&, const ReceiveRecord& /*record*/) {}
    // Text the operator typed on the converse console that is not a "/" command.
    virtual void converseLine(CTncChannel&, std::string_view /*text*/) {}
    // Another station connected to us: send the greeting.
    virtual void greet(CTncChannel&) {}
};

// Automatic password answering.
class PasswordHook {
public:
    virtual ~PasswordHook() = default;
    // True when the line is taken over (the sysop command of the station's
    // node type) and must not be sent by the channel.
    virtual bool takesOver(CTncChannel&, int /*kind*/, std::string_view /*text*/) { return false; }
    // The local command PWD with what followed it.
    virtual void pwdCommand(CTncChannel&, std::string_view /*args*/) {}
};

// Station files and the alias list.
class StationHook {
public:
    virtual ~StationHook() = default;
    virtual void updateStationFile(CTncChannel&, std::string_view /*destCall*/) {}
    virtual void aliasPair(std::string_view /*alias*/, std::string_view /*call*/) {}
};

// The external map program.
class MapProgramHook {
public:
    virtual ~MapProgramHook() = default;
    // Its station information record for a call; empty when unavailable.
    virtual std::string stationInfo(std::string_view /*call*/) { return {}; }
};

// The installed hooks; every pointer is valid (the defaults do nothing).
class ChannelHooks {
public:
    ChannelHooks() = default;
    ChannelHooks(const ChannelHooks&) = delete;
    ChannelHooks& operator=(const ChannelHooks&) = delete;

    ChannelJobFactory& jobs() { return *jobs_; }
    RemoteCommandHook& remote() { return *remote_; }
    PasswordHook& password() { return *password_; }
    StationHook& station() { return *station_; }
    MapProgramHook& map() { return *map_; }

    // Null restores the default.
    void setJobs(ChannelJobFactory* f) { jobs_ = f ? f : &defaultJobs_; }
    void setRemote(RemoteCommandHook* h) { remote_ = h ? h : &defaultRemote_; }
    void setPassword(PasswordHook* h) { password_ = h ? h : &defaultPassword_; }
    void setStation(StationHook* h) { station_ = h ? h : &defaultStation_; }
    void setMap(MapProgramHook* h) { map_ = h ? h : &defaultMap_; }

private:
    ChannelJobFactory defaultJobs_;
    RemoteCommandHook defaultRemote_;
    PasswordHook defaultPassword_;
    StationHook defaultStation_;
    MapProgramHook defaultMap_;
    ChannelJobFactory* jobs_ = &defaultJobs_;
    RemoteCommandHook* remote_ = &defaultRemote_;
    PasswordHook* password_ = &defaultPassword_;
    StationHook* station_ = &defaultStation_;
    MapProgramHook* map_ = &defaultMap_;
};

}  // namespace norva
