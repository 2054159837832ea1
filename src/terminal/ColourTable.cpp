// ColourTable: colour classes, keys, defaults and the "r,g,b" text form.
#include "terminal/ColourTable.h"

// std
#include <cstdio>

namespace norva {

namespace {

constexpr std::array<std::string_view, ColourTable::kClasses> kKeys = {
    "Input",   "Command", "TncEcho", "InputEcho",   "LinkStatus", "MonHead1",
    "MonHead2", "MonInfo", "DDEEcho", "ChannelInfo", "BackGround",
};

bool validClass(int colourClass)
{
    return colourClass >= 0 && colourClass < ColourTable::kClasses;
}

// One number 0..255 with optional blanks around it; advances `text`.
std::optional<std::uint8_t> takeNumber(std::string_view& text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    const std::size_t digitsAt = i;
    int value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - digitsAt < 4) {
        value = value * 10 + (text[i] - '0');
        ++i;
    }
    if (i == digitsAt || value > 255)
        return std::nullopt;
    while (i < text.size() && text[i] == ' ')
        ++i;
    text.remove_prefix(i);
    return static_cast<std::uint8_t>(value);
}

}  // namespace

std::optional<Rgb> parseRgb(std::string_view text)
{
    std::array<std::uint8_t, 3> parts{};
    for (std::size_t n = 0; n < parts.size(); ++n) {
        if (n > 0) {
            if (text.empty() || text.front() != ',')
                return std::nullopt;
            text.remove_prefix(1);
        }
        const auto value = takeNumber(text);
        if (!value)
            return std::nullopt;
        parts[n] = *value;
    }
    if (!text.empty())
        return std::nullopt;
    return Rgb{parts[0], parts[1], parts[2]};
}

std::string formatRgb(Rgb colour)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%i,%i,%i", colour.red, colour.green, colour.blue);
    return buffer;
}

ColourTable::ColourTable()
{
    for (int c = 0; c < kClasses; ++c)
        colours_[c] = defaultOf(c);
}

std::string_view ColourTable::keyOf(int colourClass)
{
    return validClass(colourClass) ? kKeys[colourClass] : std::string_view{};
}

Rgb ColourTable::defaultOf(int colourClass)
{
    return colourClass == kBackGround ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
}

Rgb ColourTable::colour(int colourClass) const
{
    return colours_[validClass(colourClass) ? colourClass : 0];
}

void ColourTable::setColour(int colourClass, Rgb colour)
{
    if (validClass(colourClass))
        colours_[colourClass] = colour;
}

bool ColourTable::setFromText(int colourClass, std::string_view text)
{
    if (!validClass(colourClass))
        return false;
    const auto parsed = parseRgb(text);
    colours_[colourClass] = parsed ? *parsed : defaultOf(colourClass);
    return parsed.has_value();
}

std::vector<ColourError> ColourTable::load(
    const std::function<std::optional<std::string>(std::string_view key)>& valueOf)
{
    std::vector<ColourError> errors;
    for (int c = 0; c < kClasses; ++c) {
        const auto text = valueOf(kKeys[c]);
        if (!text) {
            colours_[c] = defaultOf(c);
            continue;
        }
        if (!setFromText(c, *text))
            errors.push_back({std::string(kKeys[c]), *text});
    }
    return errors;
}

void ColourTable::save(
    const std::function<void(std::string_view key, std::string_view text)>& write) const
{
    for (int c = 0; c < kClasses; ++c)
        write(kKeys[c], formatRgb(colours_[c]));
}

}  // namespace norva
