// ColourTable: the eleven colours of the text windows, indexed by colour class
// (0..9 line classes, 10 the background), with their profile keys, defaults,
// and the "r,g,b" text form they are stored in.
#pragma once

// std
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norva {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

// Three decimal numbers 0..255 separated by commas; blanks around a number
// are allowed. Anything else ("red", "300,20", "1,2,3,4", "1,,3", "-1,2,3")
// is invalid.
std::optional<Rgb> parseRgb(std::string_view text);
// "%i,%i,%i".
std::string formatRgb(Rgb colour);

// A colour text that could not be used; the class got its default instead.
struct ColourError {
    std::string key;
    std::string text;
};

class ColourTable {
public:
    static constexpr int kClasses = 11;
    static constexpr int kBackGround = 10;
    static constexpr std::string_view kSection = "Color";

    ColourTable();  // every class at its default

    // Key of a class ("Input" .. "BackGround"); empty for an invalid class.
    static std::string_view keyOf(int colourClass);
    static Rgb defaultOf(int colourClass);

    // Colour of a class; an invalid class gives the Input colour.
    Rgb colour(int colourClass) const;
    void setColour(int colourClass, Rgb colour);
    // Sets a class from its text; an invalid text sets the default and
    // returns false.
    bool setFromText(int colourClass, std::string_view text);

    // Reads every class through `valueOf(key)` (nullopt: key missing, the
    // default is taken silently) and returns the texts that were invalid.
    std::vector<ColourError> load(
        const std::function<std::optional<std::string>(std::string_view key)>& valueOf);
    // Writes every class as "%i,%i,%i" through `write(key, text)`.
    void save(const std::function<void(std::string_view key, std::string_view text)>& write) const;

private:
    std::array<Rgb, kClasses> colours_{};
};

}  // namespace norva
