// CHostMode: the poll engine. It owns the TNC table (1..4 configured, 5 the
// dummy) and the in-process TNC, and runs one poll step per engine tick:
// pick the current TNC, ask which channels have something pending (extended
// poll) or walk them in turn, and poll the chosen channels.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "hostmode/VirtualTnc.h"

namespace norva {

// What the settings dialog edits for one TNC (section n of the profile).
struct TncSettings {
    std::string tncName;
    int channels = 10;
    std::string qrg = "438.425";
    int baudrate = 9600;
    std::string comPort = "com1";
    std::string myCall = "NOCALL";
    bool connected = true;
    int delayTime = 250;
    bool tfpcrWarning = true;
    int minFreeBuffer = 500;
};

class CHostMode {
public:
    // Creates the in-process TNC; the context's virtualTnc is pointed at it.
    explicit CHostMode(HostContext& ctx);
    ~CHostMode();

    // Creates TNC n for every key n = "1" of section "Tnc", and the dummy;
    // each starts when its Connected key is set.
    void createTncs();
    void destroyTncs();
    // The stop sequence of every existing TNC 1..4 (program exit).
    void stopAll();

    // One poll step (one engine tick). Tells the engine how soon the next
    // one is worth running.
    static constexpr int kStepNoPort = 0;   // no TNC port was touched (dummy, closed, held)
    static constexpr int kStepIdle = 1;     // a TNC was asked and had nothing
    static constexpr int kStepTraffic = 2;  // data, link status or monitor frames came in
    int pollStep();

    CTnc* tnc(int n) const;
    CVirtualTnc& virtualTnc() { return *virtualTnc_; }
    HostContext& context() { return ctx_; }
    int currentTnc() const { return current_; }

    // The TNC settings flow as engine operations (the dialog only calls them).
    // Stops every TNC 1..4 and holds polling until applySettings().
    void beginSettings();
    // Lines of the "Tnc einstellen" list: "n\tname\tactiv" / "nicht activ".
    std::vector<std::string> settingsList() const;
    TncSettings loadSettings(int n) const;
    // "Sichern / Ende": writes key n of section "Tnc" and every key of section n.
    void saveSettings(int n, const TncSettings& s, bool noExtHostMode, bool yield);
    // "Löschen / Ende": removes key n and the TNC's keys.
    void deleteSettings(int n);
    // First n whose "Tnc" key is missing or empty, 0 when all four are taken.
    int firstFreeTnc() const;
    // "&Ende": creates wanted TNCs, restarts existing ones, destroys unwanted;
    // polling resumes.
    void applySettings(const std::vector<int>& wanted);
    bool pollingHeld() const { return held_; }

private:
    void nextTnc();
    void plainStep(CTnc& tnc);
    void extendedStep(CTnc& tnc, const std::string& list);
    void statusRound(CTnc& tnc);
    void reinitialise(CTnc& tnc);
    void resetRoundRobin();
    std::unique_ptr<CTnc> makeTnc(int n);

    HostContext& ctx_;
    std::unique_ptr<CVirtualTnc> virtualTnc_;
    std::array<std::unique_ptr<CTnc>, 6> tncs_{};
    bool busy_ = false;
    bool held_ = false;
    int current_ = 1;
    int sequential_ = 0;
    int listChannel_ = 0;
};

}  // namespace norva
