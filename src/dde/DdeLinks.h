// A channel's outgoing links: up to five other programs that receive every
// monitor line, command reply, connect and disconnect, received text and
// status reply of the channel as one formatted line, by Poke to the link's
// item or by Execute when it has none. Links are defined by name in section
// DdeLinks ("service topic [item]"), opened automatically from the
// channel's Dde list, or by the CDDE/DDDE commands.
//
// On the bus a connect cannot be answered at once: opening a link takes a
// slot and asks the bus whether the service is there; the "successful" or
// "failed" notice follows when the bus answers. A link whose line is not
// delivered (time-out, peer gone, error) is dropped with the error notice,
// and so is a link with too many lines still unanswered: a peer slower than
// the channel cannot make the engine hold an ever-growing backlog.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace norva {

class DdeClient;
class Profile;

struct DdeLinkTarget {
    std::string service;
    std::string topic;
    std::string item;  // empty: the link sends executes
};

// Words of a link definition: blank-separated, a word also ends at CR or
// LF. Fewer than two words: nullopt.
std::optional<DdeLinkTarget> parseLinkDefinition(std::string_view text);

// The line a record becomes on a link (CP437 bytes), nullopt for kinds that
// are not forwarded.
std::optional<std::string> formatLinkLine(int tnc, int channel, int kind, std::string_view text);

// How lines reach the other program; the bus implementation is below.
class DdeLinkTransport {
public:
    virtual ~DdeLinkTransport() = default;
    // Asks whether the target's service is there; done(answer) later.
    // False when the question cannot be asked.
    virtual bool probe(const DdeLinkTarget& target, std::function<void(bool)> done) = 0;
    // Sends one UTF-8 line; done("") when the peer answered, done(reason)
    // when it did not. False when it cannot be sent at all.
    virtual bool send(const DdeLinkTarget& target, std::string_view line,
                      std::function<void(const std::string& reason)> done) = 0;
};

class BusLinkTransport final : public DdeLinkTransport {
public:
    explicit BusLinkTransport(DdeClient& client, std::uint64_t timeoutUsec = 5'000'000)
        : client_(client), timeoutUsec_(timeoutUsec) {}
    bool probe(const DdeLinkTarget& target, std::function<void(bool)> done) override;
    bool send(const DdeLinkTarget& target, std::string_view line,
              std::function<void(const std::string& reason)> done) override;

private:
    DdeClient& client_;
    std::uint64_t timeoutUsec_;
};

class ChannelDdeLinks {
public:
    static constexpr int kSlots = 5;
    // Lines sent on one link and not yet answered before it is dropped.
    static constexpr int kMaxUnanswered = 1024;
    // Shows a notice in the channel's pane (CP437 bytes, colour class 2).
    using Notice = std::function<void(std::string_view oemText)>;

    ChannelDdeLinks(int tnc, int channel, DdeLinkTransport& transport, Notice notice);
    ~ChannelDdeLinks();
    ChannelDdeLinks(const ChannelDdeLinks&) = delete;
    ChannelDdeLinks& operator=(const ChannelDdeLinks&) = delete;

    // linkText is a definition ("service topic [item]", UTF-8). True when a
    // slot was taken and the service asked for.
    bool open(std::string_view linkText);
    // Closes the first link whose service and topic match (case ignored).
    bool close(std::string_view linkText);
    // An open (or opening) link with this service, topic and item.
    bool exists(std::string_view linkText) const;
    bool anyOpen() const;
    int openCount() const;
    // Formats the record and sends it on every open link, in slot order.
    void forward(int kind, std::string_view text);

    // The CDDE and DDDE commands: a link by its name in section DdeLinks.
    bool connectNamed(std::string_view name, const Profile& profile);
    bool disconnectNamed(std::string_view name, const Profile& profile);
    // The channel's Dde list ("a,b,c"): each defined name is opened, up to
    // the first empty one.
    void openAutomatic(std::string_view list, const Profile& profile);

private:
    enum class State { Free, Opening, Open };
    struct Slot {
        State state = State::Free;
        std::uint64_t generation = 0;
        DdeLinkTarget target;
        std::string text;
        int unanswered = 0;
        bool byCommand = false;
    };

    void show(const std::string& utf8);
    void setState(int i, State s);
    void opened(int i, std::uint64_t generation, bool ok);
    void drop(int i, const std::string& reason);
    void answered(int i, std::uint64_t generation, const std::string& reason);
    bool openSlot(std::string_view linkText, bool byCommand);

    int tnc_;
    int channel_;
    DdeLinkTransport& transport_;
    Notice notice_;
    std::array<Slot, kSlots> slots_{};
    std::uint64_t nextGeneration_ = 1;
    // Answers that arrive after the links are gone find this expired.
    std::shared_ptr<ChannelDdeLinks*> self_;
};

}  // namespace norva
