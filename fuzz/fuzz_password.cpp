// libFuzzer target: texts a node or mailbox sends as a password challenge,
// stored LOGIN: lines and hand-made password files. Every answer stays
// within its bounds and no code character comes from outside the block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "station/PasswordFile.h"
#include "station/PasswordJob.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // The first bytes double as the secret so both sides vary.
    const std::string_view password = text.substr(0, std::min<std::size_t>(size, 16));

    if (norva::theNetAnswer(text, password).size() > 20) std::abort();
    if (const auto challenge = norva::flexNetChallenge(text)) {
        if (challenge->empty() || challenge->find('>') != std::string::npos) std::abort();
        if (const auto answer = norva::flexNetAnswer(*challenge, *challenge)) {
            if (answer->empty() || answer->find_first_not_of("0123456789") != std::string::npos) std::abort();
        }
    }
    if (const auto login = norva::parseDieBoxLogin(text)) {
        if (norva::dieBoxIndex(*login) >= norva::kDieBoxBlockLength) std::abort();
    }

    const std::string block = norva::dieBoxBlockFromBytes(text);
    if (block.size() > norva::kDieBoxStoredLimit || block.find_first_of(std::string_view(" \x1a\xcd", 3)) != std::string::npos)
        std::abort();
    std::string secret = norva::dieBoxSecret(block);
    secret.resize(norva::kDieBoxBlockLength, '#');
    for (std::size_t index : {std::size_t{0}, std::size_t{1617}, std::size_t{1619}}) {
        const auto code = norva::dieBoxCode(secret, index);
        if (!code || code->size() != 4) std::abort();
    }

    norva::DieBoxPasswordEntry entry;
    entry.loginText = std::string(text.substr(0, 200));
    entry.block = std::string(text);
    const std::string bytes = norva::dieBoxFileBytes(entry);
    if (!text.empty() && norva::dieBoxBlockFromBytes(bytes).size() > norva::kDieBoxStoredLimit) std::abort();
    return 0;
}
