// Test doubles for the KISS TNC: an in-memory modem line (what the TNC
// writes can be read back, bytes can be injected, the line can be cut), a
// host that talks host-mode frames to a TNC, and a pair of TNCs joined by a
// loss-free in-memory radio, all on a manual clock.
#pragma once

#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "kiss/Ax25Frame.h"
#include "kiss/Kiss.h"
#include "kiss/KissTnc.h"
#include "platform/ByteStream.h"
#include "platform/Clock.h"

namespace norva::test {

// Bytes waiting in each direction of one modem line.
struct ModemLine {
    std::string toTnc;    // the modem's output
    std::string fromTnc;  // what the TNC wrote
    bool broken = false;
    int opens = 0;
    bool refuseOpen = false;
};

class MemStream final : public ByteStream {
public:
    explicit MemStream(std::shared_ptr<ModemLine> line) : line_(std::move(line)) {}
    int read(std::span<std::uint8_t> buf) override {
        const std::size_t n = std::min(buf.size(), line_->toTnc.size());
        std::copy_n(line_->toTnc.begin(), n, buf.begin());
        line_->toTnc.erase(0, n);
        return static_cast<int>(n);
    }
    int write(std::span<const std::uint8_t> data) override {
        if (line_->broken) return 0;
        line_->fromTnc.append(reinterpret_cast<const char*>(data.data()), data.size());
        return static_cast<int>(data.size());
    }
    bool waitReadable(int) override { return !line_->toTnc.empty(); }
    bool broken() const override { return line_->broken; }

private:
    std::shared_ptr<ModemLine> line_;
};

inline kiss::ModemOpener memOpener(std::shared_ptr<ModemLine> line) {
    return [line](std::string* error) -> std::unique_ptr<ByteStream> {
        if (line->refuseOpen) {
            if (error) *error = "refused";
            return nullptr;
        }
        ++line->opens;
        line->broken = false;
        return std::make_unique<MemStream>(line);
    };
}

// The AX.25 frames a TNC sent (parameter frames skipped).
inline std::vector<kiss::Ax25Frame> sentFrames(ModemLine& line) {
    kiss::KissDecoder d;
    std::vector<kiss::KissFrame> frames;
    d.feed(line.fromTnc, frames);
    line.fromTnc.clear();
    std::vector<kiss::Ax25Frame> out;
    for (const auto& f : frames)
        if (auto a = kiss::decodeAx25(f.data)) out.push_back(*a);
    return out;
}

inline std::string hostFrame(int channel, bool command, std::string_view data) {
    std::string out{static_cast<char>(channel), static_cast<char>(command ? 1 : 0),
                    static_cast<char>(data.size() - 1)};
    out.append(data);
    return out;
}

// Writes one host frame and returns every byte the TNC answered.
inline std::string ask(ByteStream& tnc, int channel, bool command, std::string_view data) {
    const std::string f = hostFrame(channel, command, data);
    tnc.write({reinterpret_cast<const std::uint8_t*>(f.data()), f.size()});
    std::string out;
    std::uint8_t buf[512];
    for (int n; (n = tnc.read(buf)) > 0;) out.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(n));
    return out;
}
inline std::string cmd(ByteStream& tnc, int channel, std::string_view text) { return ask(tnc, channel, true, text); }

// Two KISS TNCs on one loss-free in-memory radio.
struct KissPair {
    ManualClock clock;
    std::shared_ptr<ModemLine> lineA = std::make_shared<ModemLine>();
    std::shared_ptr<ModemLine> lineB = std::make_shared<ModemLine>();
    std::vector<std::string> traces;
    std::unique_ptr<kiss::KissTnc> a;
    std::unique_ptr<kiss::KissTnc> b;
    bool bOnAir = true;
    int lossPercent = 0;  // each KISS frame is lost with this chance, both ways
    int dupPercent = 0;   // ... or arrives twice
    std::mt19937 rng{7};
    std::uint64_t lost = 0;

    explicit KissPair(kiss::KissSettings sa = {}, kiss::KissSettings sb = {}) {
        if (sa.myCall == "NOCALL") sa.myCall = "DA1AAA";
        if (sb.myCall == "NOCALL") sb.myCall = "DB1BBB";
        auto tr = [this](std::string_view l) { traces.emplace_back(l); };
        a = std::make_unique<kiss::KissTnc>(memOpener(lineA), sa, clock, tr);
        b = std::make_unique<kiss::KissTnc>(memOpener(lineB), sb, clock, tr);
        a->open(nullptr);
        b->open(nullptr);
    }
    // Carries what each modem got to the other side, until the air is quiet.
    void air() {
        for (int i = 0; i < 50; ++i) {
            a->service();
            b->service();
            if (lineA->fromTnc.empty() && lineB->fromTnc.empty()) return;
            if (bOnAir) {  // a vanished B neither hears nor is heard
                lineB->toTnc += carry(lineA->fromTnc);
                lineA->toTnc += carry(lineB->fromTnc);
            }
            lineA->fromTnc.clear();
            lineB->fromTnc.clear();
        }
    }
    // The frames of one direction that survive the loss, KISS-encoded again.
    std::string carry(const std::string& bytes) {
        if (lossPercent == 0 && dupPercent == 0) return bytes;
        kiss::KissDecoder d;
        std::vector<kiss::KissFrame> frames;
        d.feed(bytes, frames);
        std::string out;
        for (const auto& f : frames) {
            if (static_cast<int>(rng() % 100) < lossPercent) {
                ++lost;
                continue;
            }
            out += kiss::encodeKiss(f.port, kiss::KissCommand::Data, f.data);
            if (static_cast<int>(rng() % 100) < dupPercent) out += kiss::encodeKiss(f.port, kiss::KissCommand::Data, f.data);
        }
        return out;
    }
    // Lets time pass in small steps, the air carried after each.
    void run(int ms, int step = 10) {
        for (int t = 0; t < ms; t += step) {
            clock.advanceMs(step);
            air();
        }
    }
};

}  // namespace norva::test
