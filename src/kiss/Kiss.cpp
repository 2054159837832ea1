// KISS escaping and the byte-wise decoder.
#include "kiss/Kiss.h"

#include <algorithm>

namespace norva::kiss {

std::string encodeKiss(int port, KissCommand command, std::string_view data) {
    std::string out;
    out.reserve(data.size() + data.size() / 8 + 3);
    out.push_back(static_cast<char>(kFend));
    out.push_back(static_cast<char>(((port & 0x0F) << 4) | static_cast<int>(command)));
    for (char c : data) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b == kFend) {
            out.push_back(static_cast<char>(kFesc));
            out.push_back(static_cast<char>(kTfend));
        } else if (b == kFesc) {
            out.push_back(static_cast<char>(kFesc));
            out.push_back(static_cast<char>(kTfesc));
        } else {
            out.push_back(c);
        }
    }
    out.push_back(static_cast<char>(kFend));
    return out;
}

std::string kissParameterFrames(const KissSettings& s) {
    auto one = [&](KissCommand cmd, int value) {
        return encodeKiss(s.port, cmd, std::string(1, static_cast<char>(std::clamp(value, 0, 255))));
    };
    return one(KissCommand::TxDelay, s.txDelay) + one(KissCommand::Persist, s.persist) +
           one(KissCommand::SlotTime, s.slotTime) + one(KissCommand::TxTail, s.txTail) +
           one(KissCommand::FullDuplex, s.fullDuplex ? 1 : 0);
}

void KissDecoder::reset() {
    buf_.clear();
    inFrame_ = escape_ = bad_ = false;
}

void KissDecoder::finish(std::vector<KissFrame>& out) {
    if (bad_ || buf_.empty()) return;  // back-to-back FENDs are only fill
    const auto type = static_cast<std::uint8_t>(buf_[0]);
    if ((type & 0x0F) != 0) {
        ++counters_.nonData;
        return;
    }
    ++counters_.frames;
    out.push_back(KissFrame{type >> 4, buf_.substr(1)});
}

void KissDecoder::feed(std::string_view bytes, std::vector<KissFrame>& out) {
    for (char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b == kFend) {
            if (inFrame_ && escape_)
                ++counters_.badEscapes;  // FESC FEND: the frame is broken
            else if (inFrame_)
                finish(out);
            buf_.clear();
            inFrame_ = true;
            escape_ = bad_ = false;
            continue;
        }
        if (!inFrame_) {
            ++counters_.garbage;
            continue;
        }
        if (bad_) continue;
        if (escape_) {
            escape_ = false;
            if (b == kTfend) {
                buf_.push_back(static_cast<char>(kFend));
            } else if (b == kTfesc) {
                buf_.push_back(static_cast<char>(kFesc));
            } else {
                ++counters_.badEscapes;
                bad_ = true;
                buf_.clear();
                continue;
            }
        } else if (b == kFesc) {
            escape_ = true;
            continue;
        } else {
            buf_.push_back(c);
        }
        if (buf_.size() > maxFrame_) {
            ++counters_.oversize;
            bad_ = true;
            buf_.clear();
        }
    }
}

}  // namespace norva::kiss
