// Answering a node's or mailbox's sysop password challenge. The answer
// computations of the procedures (TheNet, FlexNet, DieBox, F6FBB) are plain
// functions; CPasswordJob runs one of them on a channel: it sends the sysop
// command where the procedure needs one, reads the challenge from the next
// received text and puts the answer into the operator's input pane. Nothing
// is ever sent by the job except the sysop command.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "channel/ChannelJob.h"

namespace norva {

class CTncChannel;

enum class PasswordProcedure { TheNet, FlexNet, DieBox, Fbb };

// The procedure of a StationMode ("TheNet", "Norva", "FlexNet", "SP",
// "DieBox", "FBB", any case); nothing for "no Password" and anything else.
std::optional<PasswordProcedure> procedureForMode(std::string_view stationMode);

// TheNet: the challenge line (up to its first CR) holds up to 10 numbers,
// after the node's prompt word when the line has ":" or ">". Each number n
// picks the password's n-th character (from 1), followed by a blank; the
// first number outside 1..length ends the answer.
std::string theNetAnswer(std::string_view challengeText, std::string_view password);

// F6FBB: "DB0FBB-0>  6 16 7 15 10 [1796787269]" asks for the password's
// letters at those positions, given together without blanks; the number
// in brackets is the BBS's clock, not a position.
std::string fbbAnswer(std::string_view challengeText, std::string_view password);

// FlexNet/SP: the challenge is the word before the first ">" of the text.
// Nothing when the text holds no challenge (no ">", no word).
std::optional<std::string> flexNetChallenge(std::string_view text);
// The sum of digit(password[i]) * digit(challenge[i]) in decimal: the node
// pairs the digits in the same order. Nothing when the lengths differ.
std::optional<std::string> flexNetAnswer(std::string_view challenge, std::string_view password);

// DieBox: the time of the last login, from a stored "LOGIN: 31.12.96 23:59" line.
struct DieBoxLogin {
    long day = 0;
    long hour = 0;
    long minute = 0;
};
// Nothing when the date or time is missing or has no digits.
std::optional<DieBoxLogin> parseDieBoxLogin(std::string_view loginText);
// Where the code starts in the 1620-character secret (always inside it).
std::size_t dieBoxIndex(const DieBoxLogin& login);
// The 4 characters of the secret from index on, wrapping to its start.
// Nothing when the secret is shorter than 1620 characters.
std::optional<std::string> dieBoxCode(std::string_view secret, std::size_t index);

// Shown (once) instead of a DieBox answer when the stored block is too short.
inline constexpr std::string_view kDieBoxBlockTooShort =
    "\rDieBox Passwort zu kurz: weniger als 1620 Zeichen gespeichert\r";

// Receives "password job <slot>: <from> -> <to>" for every state change.
using PasswordTrace = std::function<void(std::string_view)>;

class CPasswordJob final : public CChannelJob {
public:
    enum class State { Start, AwaitChallenge, Answered, Refused };

    // The password file is read when needed (its values may change while
    // the job waits).
    CPasswordJob(CTncChannel& channel, PasswordProcedure procedure, std::filesystem::path passwordFile,
                 PasswordTrace trace = {});

    int tick() override;
    int receive(const ReceiveRecord& record) override;
    std::string captionName() const override { return {}; }

    State state() const { return state_; }
    PasswordProcedure procedure() const { return procedure_; }
    static std::string_view stateName(State s);

private:
    void enter(State next);
    void sendSysopCommand();
    void answerDieBox();
    std::optional<std::string> answerFor(std::string_view text) const;
    void insertAnswer(std::string_view answer);

    CTncChannel& channel_;
    PasswordProcedure procedure_;
    std::filesystem::path file_;
    PasswordTrace trace_;
    State state_ = State::Start;
};

}  // namespace norva
