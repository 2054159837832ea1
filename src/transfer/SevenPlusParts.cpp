// 7Plus parts: names, header, extended-name and stop lines, the encoder.
#include "transfer/SevenPlusParts.h"

#include <algorithm>
#include <cstdio>

#include "transfer/SevenPlusCodec.h"

namespace norva {

namespace {

// Bytes 62..64 of every framing line; their loss of bit 8 shows a 7-bit channel.
constexpr std::string_view kHighMark = "\xB0\xB1\xB2";
constexpr char kLongNameMark = '*';
constexpr char kNoLongNameMark = '\xDB';

bool dosForbidden(unsigned char c) {
    return c < 0x20 || c > 0x7E || std::string_view(" <>=,';:*?&[]{}|^()/.\\\"~+@").find(static_cast<char>(c)) !=
                                       std::string_view::npos;
}

std::string dosPart(std::string_view s, std::size_t limit) {
    std::string out;
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        out += dosForbidden(c) ? '_' : static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    if (out.size() > limit) out.resize(limit);
    return out;
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::vector<std::string_view> blankFields(std::string_view s) {
    std::vector<std::string_view> out;
    for (std::size_t at = 0; at < s.size();) {
        while (at < s.size() && s[at] == ' ') ++at;
        const std::size_t end = std::min(s.find(' ', at), s.size());
        if (end > at) out.push_back(s.substr(at, end - at));
        at = end;
    }
    return out;
}

// Digits of a base, at most maxDigits of them; nothing for anything else.
std::optional<std::int64_t> number(std::string_view s, int base, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) return std::nullopt;
    std::int64_t v = 0;
    for (char c : s) {
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        if (d < 0) return std::nullopt;
        v = v * base + d;
    }
    return v;
}

std::string hex(std::int64_t v, int width) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%0*llX", width, static_cast<unsigned long long>(v));
    return buf;
}

std::optional<SevenPlusHeader> headerFields(std::string_view line) {
    const auto f = blankFields(line.substr(std::min<std::size_t>(8, line.size()), 54));
    if (f.size() < 7 || f[1] != "of") return std::nullopt;
    const auto part = number(f[0], 10, 3);
    const auto parts = number(f[2], 10, 3);
    const auto size = number(f[4], 10, 7);
    const auto perPart = number(f[6], 16, 3);
    if (!part || !parts || !size || !perPart || f[3].size() > 12) return std::nullopt;
    SevenPlusHeader h{static_cast<int>(*part), static_cast<int>(*parts), std::string(f[3]), *size,
                      static_cast<int>(*perPart), line.size() > 65 && line[65] == kLongNameMark};
    // Zeros once made the decoder divide by zero; every field must fit the others.
    if (h.part < 1 || h.part > h.parts || h.parts > kSevenPlusMaxParts || h.size < 1 || h.linesPerPart < 1 ||
        h.linesPerPart > kSevenPlusMaxLinesPerPart)
        return std::nullopt;
    const std::int64_t lines = sevenPlusLineCount(h.size);
    if ((lines + h.linesPerPart - 1) / h.linesPerPart != h.parts) return std::nullopt;
    return h;
}

}  // namespace

std::string SevenPlusNames::headerName() const { return upper(extension.empty() ? base : base + "." + extension); }

std::string SevenPlusNames::shortName() const { return extension.empty() ? base : base + "." + extension; }

SevenPlusNames sevenPlusNames(std::string_view originalName) {
    const std::size_t dot = originalName.rfind('.');
    const std::string_view base = originalName.substr(0, dot);
    const std::string_view ext = dot == std::string_view::npos ? std::string_view() : originalName.substr(dot + 1);
    SevenPlusNames names{dosPart(base, 8), dosPart(ext, 3)};
    // ".profile" has no base: the parts still need a name.
    if (names.base.empty()) names.base = "7plus";
    return names;
}

SevenPlusNames sevenPlusNamesOfHeader(std::string_view headerName) { return sevenPlusNames(headerName); }

std::string sevenPlusLongName(std::string_view originalName) {
    std::string name;
    for (char c : originalName) name += static_cast<unsigned char>(c) < 0x20 || c == '/' ? '_' : c;
    if (name.size() <= kSevenPlusMaxLongName) return name;
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return name.substr(0, kSevenPlusMaxLongName);
    return name.substr(0, std::min<std::size_t>(dot, 56)) + "." + name.substr(dot + 1, 3);
}

std::int64_t sevenPlusLineCount(std::int64_t size) {
    return (size + static_cast<std::int64_t>(kSevenPlusLineBytes) - 1) / static_cast<std::int64_t>(kSevenPlusLineBytes);
}

int SevenPlusHeader::lines() const {
    const std::int64_t total = sevenPlusLineCount(size);
    if (part < parts) return linesPerPart;
    return static_cast<int>(total - static_cast<std::int64_t>(parts - 1) * linesPerPart);
}

ParsedSevenPlusHeader parseSevenPlusHeader(std::string_view line) {
    ParsedSevenPlusHeader out;
    const auto checked = checkedSevenPlusLine(line);
    const std::string_view text = checked ? std::string_view(*checked) : line;
    if (line.size() > 64 && line.substr(62, 3) == "012") {
        out.error = SevenPlusHeaderError::EightBitStripped;
        return out;
    }
    if (!checked || !text.starts_with(kSevenPlusStart)) {
        out.error = SevenPlusHeaderError::Corrupted;
        return out;
    }
    out.header = headerFields(text);
    out.repaired = text != line.substr(0, text.size());
    if (!out.header) out.error = SevenPlusHeaderError::BadFields;
    return out;
}

std::string sevenPlusHeaderLine(const SevenPlusHeader& h) {
    char text[80];
    std::snprintf(text, sizeof text, " go_7+. %03d of %03d %-12s %07lld %s %s (7PLUS v2.2) ", h.part, h.parts,
                  h.name.c_str(), static_cast<long long>(h.size), hex(h.lines() * 64LL, 4).c_str(),
                  hex(h.linesPerPart, 3).c_str());
    return withSevenPlusChecks(std::string(text) + std::string(kHighMark) +
                               (h.longNameFollows ? kLongNameMark : kNoLongNameMark));
}

std::optional<std::string> parseSevenPlusLongName(std::string_view line) {
    const auto checked = checkedSevenPlusLine(line);
    if (!checked || !checked->starts_with('/')) return std::nullopt;
    const std::size_t end = checked->find('/', 1);
    const std::string name = checked->substr(1, std::min(end, kSevenPlusMaxLongName + 1) - 1);
    if (name.empty()) return std::nullopt;
    return name;
}

std::string sevenPlusLongNameLine(std::string_view longName) {
    std::string text = "/" + sevenPlusLongName(longName);
    text.resize(62, '/');
    return withSevenPlusChecks(text + std::string(kHighMark) + kLongNameMark);
}

std::optional<std::uint32_t> parseSevenPlusStop(std::string_view line) {
    const auto checked = checkedSevenPlusLine(line);
    if (!checked || !checked->starts_with(kSevenPlusStop)) return std::nullopt;
    const std::string_view text = std::string_view(*checked).substr(0, 62);
    const std::size_t open = text.find('[');
    const std::size_t close = open == text.npos ? open : text.find(']', open);
    if (close == text.npos) return 0u;
    // A 64-bit build of 7PLUS puts garbage above the 32 bits of the stamp.
    std::uint32_t stamp = 0;
    for (char c : text.substr(open + 1, close - open - 1)) {
        const auto d = number(std::string_view(&c, 1), 16, 1);
        if (!d) return 0u;
        stamp = (stamp << 4) | static_cast<std::uint32_t>(*d);
    }
    return stamp;
}

std::string sevenPlusStampText(std::uint32_t stamp) {
    char buf[12];
    std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(stamp));
    return buf;
}

std::string sevenPlusStopLine(const SevenPlusHeader& h, std::string_view base, std::uint32_t stamp) {
    std::string text = " stop_7+. (" + upper(std::string(base));
    text += h.parts == 1 ? ".7PL" : ".P" + hex(h.part, 2) + "/" + hex(h.parts, 2);
    text += ") [" + sevenPlusStampText(stamp) + "]";
    text.resize(62, ' ');
    return withSevenPlusChecks(text + std::string(kHighMark) + kNoLongNameMark);
}

std::uint32_t sevenPlusDosTime(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1980 || year > 2107) return 0;
    const auto date = static_cast<std::uint32_t>(((year - 1980) << 9) | (month << 5) | day);
    const auto time = static_cast<std::uint32_t>((hour << 11) | (minute << 5) | (second / 2));
    return (date << 16) | time;
}

std::optional<std::vector<SevenPlusPart>> encodeSevenPlus(std::string_view data, std::string_view originalName,
                                                          const SevenPlusEncodeOptions& options, std::string* error) {
    auto fail = [error](const char* why) {
        if (error) *error = why;
        return std::nullopt;
    };
    const auto size = static_cast<std::int64_t>(data.size());
    if (size == 0) return fail("Die Datei ist leer.");
    if (size > kSevenPlusMaxSize) return fail("Die Datei ist für 7Plus zu groß (höchstens 255 Teile).");
    const std::int64_t total = sevenPlusLineCount(size);
    std::int64_t perPart = std::clamp(options.linesPerPart, 1, kSevenPlusMaxLinesPerPart);
    if (perPart >= total) perPart = total;
    const std::int64_t parts = (total + perPart - 1) / perPart;
    if (parts > kSevenPlusMaxParts) return fail("Die Datei ist für 7Plus zu groß (höchstens 255 Teile).");

    const SevenPlusNames names = sevenPlusNames(originalName);
    SevenPlusHeader h{1, static_cast<int>(parts), names.headerName(), size, static_cast<int>(perPart), true};
    std::vector<SevenPlusPart> out;
    std::array<unsigned char, kSevenPlusLineBytes> line{};
    for (h.part = 1; h.part <= h.parts; ++h.part) {
        SevenPlusPart part{names.base + (parts == 1 ? ".7pl" : ".p" + hex(h.part, 2)), {}};
        for (char& c : part.fileName) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        part.text = sevenPlusHeaderLine(h) + options.lineEnd;
        if (h.part == 1) part.text += sevenPlusLongNameLine(originalName) + options.lineEnd;
        for (int i = 0; i < h.lines(); ++i) {
            const std::int64_t offset = ((h.part - 1) * perPart + i) * static_cast<std::int64_t>(kSevenPlusLineBytes);
            line.fill(0);
            const std::string_view chunk = data.substr(static_cast<std::size_t>(offset), kSevenPlusLineBytes);
            std::copy(chunk.begin(), chunk.end(), line.begin());
            part.text += encodeSevenPlusLine(line, i) + options.lineEnd;
        }
        part.text += sevenPlusStopLine(h, names.base, options.stamp) + options.lineEnd;
        out.push_back(std::move(part));
    }
    return out;
}

}  // namespace norva
