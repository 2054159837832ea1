// The answer computations of the password procedures and the job that runs
// one of them on a channel.
#include "station/PasswordJob.h"

#include <algorithm>

#include "channel/TncChannel.h"
#include "platform/Text.h"
#include "platform/UiPort.h"
#include "station/PasswordFile.h"

namespace norva {

namespace {

constexpr std::size_t kTheNetNumbers = 10;
constexpr std::size_t kDieBoxCodeLength = 4;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
int digit(char c) { return isDigit(c) ? c - '0' : 0; }

// A node's line often starts with the CR that ended the one before it.
std::string_view skipLineBreaks(std::string_view text) {
    const auto first = text.find_first_not_of("\r\n");
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

// The leading digits of a field; nothing when it does not start with one.
std::optional<long> leadingNumber(std::string_view field) {
    if (field.empty() || !isDigit(field.front())) return std::nullopt;
    return static_cast<long>(leadingInt(field));
}

}  // namespace

std::optional<PasswordProcedure> procedureForMode(std::string_view stationMode) {
    const std::string mode = toUpper(trim(stationMode));
    if (mode == "THENET" || mode == "NORVA") return PasswordProcedure::TheNet;
    if (mode == "FLEXNET" || mode == "SP") return PasswordProcedure::FlexNet;
    if (mode == "DIEBOX") return PasswordProcedure::DieBox;
    if (mode == "FBB") return PasswordProcedure::Fbb;
    return std::nullopt;
}

std::string theNetAnswer(std::string_view challengeText, std::string_view password) {
    std::string_view line = skipLineBreaks(challengeText);
    line = line.substr(0, line.find('\r'));
    const std::vector<std::string_view> words = splitBlanks(line);
    // The node's prompt ("DB0XYZ:DL1ABC>") comes before the numbers.
    std::size_t at = line.find_first_of(":>") != std::string_view::npos ? 1 : 0;
    std::string answer;
    for (std::size_t taken = 0; at < words.size() && taken < kTheNetNumbers; ++at, ++taken) {
        const int n = leadingInt(words[at]);
        if (n < 1 || static_cast<std::size_t>(n) > password.size()) break;
        answer.push_back(password[static_cast<std::size_t>(n) - 1]);
        answer.push_back(' ');
    }
    return answer;
}

std::string fbbAnswer(std::string_view challengeText, std::string_view password) {
    std::string answer = theNetAnswer(challengeText, password);
    std::erase(answer, ' ');
    return answer;
}

std::optional<std::string> flexNetChallenge(std::string_view text) {
    const auto gt = text.find('>');
    if (gt == std::string_view::npos) return std::nullopt;
    const std::string_view before = text.substr(0, gt);
    const auto blank = before.rfind(' ');
    if (blank == std::string_view::npos || blank == 0) return std::nullopt;
    const std::string_view challenge = before.substr(blank + 1);
    if (challenge.empty()) return std::nullopt;
    return std::string(challenge);
}

std::optional<std::string> flexNetAnswer(std::string_view challenge, std::string_view password) {
    if (challenge.size() != password.size()) return std::nullopt;
    unsigned long long sum = 0;
    for (std::size_t i = 0; i < password.size(); ++i)
        sum += static_cast<unsigned long long>(digit(password[i]) * digit(challenge[i]));
    return std::to_string(sum);
}

std::optional<DieBoxLogin> parseDieBoxLogin(std::string_view loginText) {
    // "LOGIN: 31.12.96 23:59 ...": a first word, the date, the time.
    const auto firstEnd = loginText.find_first_of(" :.");
    if (firstEnd == std::string_view::npos) return std::nullopt;
    const std::vector<std::string_view> words = splitBlanks(loginText.substr(firstEnd + 1));
    if (words.size() < 2) return std::nullopt;
    const std::string_view date = words[0];
    const std::string_view time = words[1];
    const auto colon = time.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto day = leadingNumber(date.substr(0, date.find('.')));
    const auto hour = leadingNumber(time.substr(0, colon));
    const auto minute = leadingNumber(time.substr(colon + 1));
    if (!day || !hour || !minute) return std::nullopt;
    return DieBoxLogin{*day, *hour, *minute};
}

std::size_t dieBoxIndex(const DieBoxLogin& login) {
    const auto part = [](long v) { return static_cast<unsigned long long>(std::max(v, 0L)); };
    unsigned long long index = part(login.minute) * 27 + part(login.hour) + part(login.day) * 27;
    if (index >= kDieBoxBlockLength) index -= kDieBoxBlockLength;
    // Only a forged login line gets here: the code still comes from inside the block.
    return static_cast<std::size_t>(index % kDieBoxBlockLength);
}

std::optional<std::string> dieBoxCode(std::string_view secret, std::size_t index) {
    if (secret.size() < kDieBoxBlockLength) return std::nullopt;
    std::string code;
    for (std::size_t k = 0; k < kDieBoxCodeLength; ++k) code.push_back(secret[(index + k) % kDieBoxBlockLength]);
    return code;
}

// ---- the job ----

CPasswordJob::CPasswordJob(CTncChannel& channel, PasswordProcedure procedure, std::filesystem::path passwordFile,
                           PasswordTrace trace)
    : channel_(channel), procedure_(procedure), file_(std::move(passwordFile)), trace_(std::move(trace)) {}

std::string_view CPasswordJob::stateName(State s) {
    switch (s) {
        case State::Start: return "start";
        case State::AwaitChallenge: return "await challenge";
        case State::Answered: return "answered";
        case State::Refused: return "refused";
    }
    return "?";
}

void CPasswordJob::enter(State next) {
    if (trace_) {
        trace_("password job " + std::to_string(channel_.slot()) + ": " + std::string(stateName(state_)) + " -> " +
               std::string(stateName(next)));
    }
    state_ = next;
}

int CPasswordJob::tick() {
    switch (state_) {
        case State::Start:
            if (procedure_ == PasswordProcedure::DieBox) {
                answerDieBox();
                return 0;
            }
            sendSysopCommand();
            enter(State::AwaitChallenge);
            return 1;
        case State::AwaitChallenge:
            return 1;
        case State::Answered:
        case State::Refused:
            return 0;
    }
    return 0;
}

int CPasswordJob::receive(const ReceiveRecord& record) {
    if (state_ != State::AwaitChallenge || record.kind != kKindConnected) return 1;
    // Only this record is looked at: a challenge that never comes costs nothing.
    const auto answer = answerFor(record.text());
    if (!answer) return 1;
    insertAnswer(*answer);
    enter(State::Answered);
    return 1;
}

void CPasswordJob::sendSysopCommand() {
    const std::string line = readPasswordFile(file_).sysopCommand + "\r";
    channel_.sendOperation(FrameRecord{kKindInfo, line});
    channel_.show(line, kClassInputEcho);
}

std::optional<std::string> CPasswordJob::answerFor(std::string_view text) const {
    if (procedure_ == PasswordProcedure::TheNet || procedure_ == PasswordProcedure::Fbb) {
        if (trim(skipLineBreaks(text)).empty()) return std::nullopt;
        const std::string password = readPasswordFile(file_).password;
        return procedure_ == PasswordProcedure::Fbb ? fbbAnswer(text, password) : theNetAnswer(text, password);
    }
    const auto challenge = flexNetChallenge(text);
    if (!challenge) return std::nullopt;
    return flexNetAnswer(*challenge, readPasswordFile(file_).password);
}

void CPasswordJob::answerDieBox() {
    const PasswordSettings settings = readPasswordFile(file_);
    const auto login = parseDieBoxLogin(settings.loginText);
    const auto code = dieBoxCode(dieBoxSecret(readDieBoxBlock(file_)), login ? dieBoxIndex(*login) : 0);
    if (!code) {
        // Refused once; the operator fixes the block and asks again.
        channel_.show(kDieBoxBlockTooShort, kClassTncEcho);
        enter(State::Refused);
        return;
    }
    insertAnswer(settings.sysopCommand + " " + (login ? *code : std::string()));
    enter(State::Answered);
}

void CPasswordJob::insertAnswer(std::string_view answer) {
    UiPort& ui = channel_.ui();
    ui.insertInput(channel_.slot(), "\r");
    ui.insertInput(channel_.slot(), answer);
}

}  // namespace norva
