// The gateway between channels: a remote user on one TNC asks for another TNC
// by name (//Connect) and is put onto a free channel of it, from where he
// connects onward; his text then flows between the two channels until he
// leaves. Two jobs of one class form the pair: the home side in the user's
// gateway slot, the outgoing side in the chosen channel's gateway slot. Each
// names its partner by slot, so neither keeps a pointer the other may outlive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "channel/ChannelJob.h"

namespace norva {

class CTncChannel;

// The call the user gets on the outgoing channel: his SSID n becomes 15 - n,
// no SSID counts as 15, and a result of 0 (or below) means no SSID.
std::string gatewayCall(std::string_view userCall);

// A connect attempt that has not come up after this long is given up.
inline constexpr std::int64_t kGatewayConnectTimeout = 120;

class CGatewayLink final : public CGatewayJob {
public:
    enum class Side { Home, Outgoing };
    // Home: waiting for gateway commands -> connecting -> linked -> back to
    // waiting when the onward link ends; finished after "q" or when no
    // partner was found. Outgoing: waiting (idle) <-> linked.
    enum class State { Waiting, Connecting, Linked, Finished };

    // The home side for "//Connect <tncName>": finds the partner channel,
    // puts the outgoing side into its gateway slot and greets the user, or
    // tells the user there is none (the job then ends on its first tick).
    static std::unique_ptr<CGatewayLink> start(CTncChannel& home, std::string_view tncName);
    ~CGatewayLink() override;
    CGatewayLink(const CGatewayLink&) = delete;
    CGatewayLink& operator=(const CGatewayLink&) = delete;

    int tick() override;
    int receive(const ReceiveRecord& record) override;
    int partnerSlot() const override { return side_ == Side::Home ? outSlot_ : homeSlot_; }
    bool homeSide() const override { return side_ == Side::Home; }

    State state() const { return state_; }
    static std::string_view stateName(State s);

private:
    class FileSender;

    CGatewayLink(CTncChannel& channel, Side side, int homeSlot, int outSlot);

    // The single place a state changes (traced when the host context traces).
    void setState(State next, std::string_view why);

    // Partner lookup through the channel table: the channel and its job,
    // only while that job is still coupled to this one.
    CTncChannel* partnerChannel() const;
    CGatewayLink* partnerJob() const;
    CTncChannel* homeChannel() const;
    CTncChannel* outChannel() const;
    bool onwardLinkUp() const;

    // Home side.
    void gatewayCommand(std::string_view line);
    void passConnect(std::string_view line);
    void sendFile(std::string_view dirKey, std::string_view name);
    void checkConnectTimeout();
    void releasePartner();
    // Outgoing side.
    void greetUser(CTncChannel& homeCh);
    void followOnwardLink();
    void relayToUser(const ReceiveRecord& record);

    // Text for the user: sent on the home channel and echoed in its window.
    void tellUser(std::string_view oemText, bool prompt);
    static void tell(CTncChannel& home, std::string_view oemText, bool prompt);
    std::int64_t now() const;

    CTncChannel& channel_;
    Side side_;
    State state_ = State::Waiting;
    int homeSlot_ = 0;
    int outSlot_ = 0;
    bool wasLinked_ = false;
    std::int64_t connectStarted_ = 0;
    std::string savedCall_;  // outgoing side: the channel's own call before the gateway
    std::string userCall_;   // outgoing side: the call the user appears with
    std::unique_ptr<FileSender> file_;
};

}  // namespace norva
