// The simulated radio channel: joins SimTncs and SimStations, carries
// connects, info frames and disconnects between them with small delays, and
// shows the frames to every TNC whose monitor is on. Time only moves through
// advance(); everything here runs under mutex() once a server thread is involved.
#pragma once

// std
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// tncsim
#include "tncsim/SimConfig.h"
#include "tncsim/SimStation.h"
#include "tncsim/SimTnc.h"

namespace tncsim {

class Radio {
public:
    explicit Radio(RadioConfig config = {});
    Radio(const Radio&) = delete;
    Radio& operator=(const Radio&) = delete;
    ~Radio();

    SimTnc& addTnc(TncConfig config = {});
    SimStation& addStation(std::string_view call);
    std::size_t tncCount() const { return tncs_.size(); }
    SimTnc& tnc(std::size_t index) { return *tncs_.at(index); }
    SimStation* findStation(std::string_view call);

    // Runs every scheduled event up to nowMs (time never goes back).
    void advance(std::uint64_t nowMs);
    std::uint64_t nowMs() const { return now_; }
    const RadioConfig& config() const { return config_; }
    void setConfig(const RadioConfig& config) { config_ = config; }
    // The lock the servers hold while they touch anything on this radio.
    std::mutex& mutex() { return mutex_; }

    // Station control for tests, benchmarks and the program.
    // Sends text on every link of the station; returns the number of links.
    std::size_t stationSend(std::string_view call, std::string_view text);
    // Connects the station to a TNC channel whose call is targetCall; false
    // when no station of that name or no free channel with that call exists now.
    bool stationConnect(std::string_view stationCall, std::string_view targetCall);
    // Disconnects every link of the station; returns the number of links.
    std::size_t stationDisconnect(std::string_view call);
    std::size_t stationLinks(std::string_view call) const;

private:
    friend class SimTnc;

    struct Side {
        SimTnc* tnc = nullptr;
        int channel = 0;
        SimStation* station = nullptr;
        std::string call;
        int sent = 0;                // I frames sent, for N(S)/N(R) in monitor headers
        std::uint64_t txFreeAt = 0;  // when the sender's last frame is on the air
    };
    struct Link {
        std::uint64_t id = 0;
        Side a;  // the side that called
        Side b;
        std::vector<std::string> digis;
        bool up = false;
        std::uint64_t startedAt = 0;
    };

    // Called by SimTnc for its host commands.
    void connectRequest(SimTnc& tnc, int channel, const std::string& target,
                        const std::vector<std::string>& digis);
    void disconnectRequest(SimTnc& tnc, int channel);
    void frameQueued(SimTnc& tnc, int channel);
    void sendUnproto(SimTnc& tnc, const std::string& dest, std::string_view data);

    // Link life (Radio.cpp).
    void schedule(std::uint64_t atMs, std::function<void()> fn);
    void resolveConnect(std::uint64_t id);
    bool findTncTarget(Link& link, bool& busy);
    void linkUp(Link& link);
    void linkFailed(std::uint64_t id, const std::string& why);
    void beginDisconnect(Link& link, bool fromA);
    void disconnectIfSent(SimTnc& tnc, int channel);
    void finishDisconnect(std::uint64_t id);
    void tncSideDown(const Side& side, const std::string& other);

    // Frames (RadioFrames.cpp).
    void scheduleTncFrame(std::uint64_t id, bool fromA);
    void sendTncFrame(std::uint64_t id, bool fromA);
    void stationTransmit(std::uint64_t id, bool fromA, std::string_view text, bool thenDisconnect);
    void deliver(std::uint64_t id, bool toA, const std::string& bytes);
    void monitor(const std::string& from, const std::string& to,
                 const std::vector<std::string>& digis, const std::string& ctl,
                 std::string_view info, char kind);
    Link* findLink(std::uint64_t id);
    static std::string statusPrefix(int channel);

    RadioConfig config_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<SimTnc>> tncs_;
    std::vector<std::unique_ptr<SimStation>> stations_;
    std::map<std::uint64_t, Link> links_;
    std::multimap<std::uint64_t, std::function<void()>> events_;
    std::uint64_t now_ = 0;
    std::uint64_t nextLinkId_ = 1;
};

}  // namespace tncsim
