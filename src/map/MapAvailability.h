// Whether the map program is to be used: one flag for the whole program,
// held in KartexDde (section Frame). A map that could not be reached
// switches it off, and it stays off (also in the saved settings) until the
// operator uses a map command again, which switches it on first.
#pragma once

namespace norva {

class Profile;

class MapAvailability {
public:
    explicit MapAvailability(bool on = true) : on_(on) {}
    // KartexDde of section Frame, default 1.
    static MapAvailability fromProfile(const Profile& profile);
    // Writes KartexDde back (at shut-down).
    void save(Profile& profile) const;

    bool available() const { return on_; }
    // Every map command of the operator tries again.
    void switchOn() { on_ = true; }
    // A connect found no map: the flag goes off. True only for the first
    // failure of this run, so the failure is reported once.
    bool connectFailed();

private:
    bool on_;
    bool reported_ = false;
};

}  // namespace norva
