// Error reports and corrections: writing them as 7PLUS does, reading them back.
#include "transfer/SevenPlusReports.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "transfer/SevenPlusCodec.h"
#include "transfer/SevenPlusParts.h"

namespace norva {

namespace {

constexpr std::string_view kReportTag = "7PLUS error report: ";
constexpr std::string_view kCorrectionTag = "7PLUS correction: ";
constexpr std::string_view kTextStart = " go_text. ";
constexpr std::string_view kTextStop = " stop_text.";
constexpr std::string_view kPartEnd = "FFF";
constexpr std::string_view kCorrectionEnd = " P00:";
constexpr std::size_t kMaxLines = 255 * 512;

std::string hex(long long v, int width, bool lower = false) {
    char buf[24];
    std::snprintf(buf, sizeof buf, lower ? "%0*llx" : "%0*llX", width, v);
    return buf;
}

std::optional<long long> number(std::string_view s, int base, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) return std::nullopt;
    long long v = 0;
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

std::vector<std::string_view> tokens(std::string_view s) {
    std::vector<std::string_view> out;
    for (std::size_t at = 0; at < s.size();) {
        while (at < s.size() && (s[at] == ' ' || s[at] == '\t')) ++at;
        std::size_t end = at;
        while (end < s.size() && s[end] != ' ' && s[end] != '\t') ++end;
        if (end > at) out.push_back(s.substr(at, end - at));
        at = end;
    }
    return out;
}

// The file CRC: each line followed by one LF, whatever the file uses.
std::uint16_t linesCrc(const std::vector<std::string_view>& lines, std::size_t from, std::size_t to) {
    std::uint16_t crc = 0;
    for (std::size_t i = from; i <= to; ++i) crc = sevenPlusCrc("\n", sevenPlusCrc(lines[i], crc));
    return crc;
}

// " go_text. NAME", the lines, "CRC XXXX", " stop_text.".
std::string framed(std::string_view name, const std::vector<std::string>& body, std::string_view lineEnd) {
    std::vector<std::string_view> views(body.begin(), body.end());
    std::string out = std::string(kTextStart) + std::string(name) + std::string(lineEnd);
    for (const std::string& line : body) out += line + std::string(lineEnd);
    out += "CRC " + hex(linesCrc(views, 0, views.size() - 1), 4) + std::string(lineEnd);
    return out + std::string(kTextStop) + std::string(lineEnd);
}

template <class T>
std::optional<T> refuse(std::string* error, const char* why) {
    if (error) *error = why;
    return std::nullopt;
}

// The line after `last` must be "CRC XXXX" over the lines first..last.
bool crcHolds(const std::vector<std::string_view>& lines, std::size_t first, std::size_t last) {
    if (last + 1 >= lines.size() || !lines[last + 1].starts_with("CRC ")) return false;
    const auto field = tokens(lines[last + 1].substr(4));
    const auto stored = field.size() == 1 ? number(field[0], 16, 4) : std::nullopt;
    return stored && *stored == linesCrc(lines, first, last);
}

// "RANDOM40.ERR" for "RANDOM40.BIN".
std::string textName(std::string_view headerName, std::string_view extension) {
    std::string name = sevenPlusNamesOfHeader(headerName).base + "." + std::string(extension);
    for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return name;
}

std::optional<std::size_t> findTag(const std::vector<std::string_view>& lines, std::string_view tag) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].starts_with(tag)) return i;
    return std::nullopt;
}

std::int64_t partsOf(std::int64_t size, int linesPerPart) {
    return (sevenPlusLineCount(size) + linesPerPart - 1) / linesPerPart;
}

int linesInPart(std::int64_t size, int linesPerPart, int part) {
    SevenPlusHeader h;
    h.part = part;
    h.parts = static_cast<int>(partsOf(size, linesPerPart));
    h.size = size;
    h.linesPerPart = linesPerPart;
    return h.lines();
}

bool sizesUsable(std::int64_t size, long long linesPerPart) {
    return size >= 1 && size <= kSevenPlusMaxSize && linesPerPart >= 1 && linesPerPart <= kSevenPlusMaxLinesPerPart &&
           partsOf(size, static_cast<int>(linesPerPart)) <= kSevenPlusMaxParts;
}

// "RANDOM40.BIN 00A /random40k.bin/ 40000" (the long name may hold blanks).
bool reportHead(std::string_view rest, SevenPlusErrorReport& r) {
    const auto first = tokens(rest);
    if (first.size() < 3) return false;
    r.headerName = std::string(first[0]);
    const auto perPart = number(first[1], 16, 3);
    std::string_view tail = rest.substr(static_cast<std::size_t>(first[1].data() + first[1].size() - rest.data()));
    while (tail.starts_with(' ')) tail.remove_prefix(1);
    if (tail.starts_with('/')) {
        const std::size_t close = tail.find('/', 1);
        if (close == tail.npos) return false;
        r.longName = std::string(tail.substr(1, close - 1));
        tail.remove_prefix(close + 1);
    }
    const auto rest2 = tokens(tail);
    const auto size = rest2.size() == 1 ? number(rest2[0], 10, 7) : std::nullopt;
    if (!perPart || !size || !sizesUsable(*size, *perPart)) return false;
    r.linesPerPart = static_cast<int>(*perPart);
    r.size = *size;
    return true;
}

// The body: part, its lines up to FFF, ..., then [TIME]. Returns the index of the "00" line.
std::optional<std::size_t> reportBody(const std::vector<std::string_view>& lines, std::size_t from,
                                      SevenPlusErrorReport& r) {
    SevenPlusMissingPart* current = nullptr;
    std::size_t total = 0;
    for (std::size_t i = from; i < lines.size(); ++i) {
        for (std::string_view t : tokens(lines[i])) {
            if (t.starts_with('[')) {
                const auto stamp = t.ends_with(']') ? number(t.substr(1, t.size() - 2), 16, 8) : std::nullopt;
                if (!stamp || current) return std::nullopt;
                r.stamp = static_cast<std::uint32_t>(*stamp);
                if (i + 1 < lines.size() && lines[i + 1] == "00") return i + 1;
                return std::nullopt;
            }
            const auto v = number(t, 16, 3);
            if (!v) return std::nullopt;
            if (!current) {
                if (*v < 1 || *v > partsOf(r.size, r.linesPerPart) || (!r.missing.empty() && *v <= r.missing.back().part))
                    return std::nullopt;
                current = &r.missing.emplace_back(SevenPlusMissingPart{static_cast<int>(*v), {}});
            } else if (t == kPartEnd) {
                current = nullptr;
            } else {
                if (*v >= linesInPart(r.size, r.linesPerPart, current->part) || ++total > kMaxLines) return std::nullopt;
                current->lines.push_back(static_cast<int>(*v));
            }
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::string_view> sevenPlusLines(std::string_view text) {
    std::vector<std::string_view> out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find_first_of("\r\n", at), text.size());
        out.push_back(text.substr(at, end - at));
        at = end;
        if (at < text.size() && text[at] == '\r') ++at;
        if (at < text.size() && text[at] == '\n') ++at;
    }
    return out;
}

std::string sevenPlusErrorReportName(std::string_view headerName) {
    return sevenPlusNamesOfHeader(headerName).base + ".err";
}

std::string writeSevenPlusErrorReport(const SevenPlusErrorReport& r, std::string_view lineEnd) {
    const SevenPlusNames names = sevenPlusNamesOfHeader(r.headerName);
    std::string head = std::string(kReportTag) + r.headerName + " " + hex(r.linesPerPart, 3);
    if (!r.longName.empty() && r.longName != names.shortName()) head += " /" + r.longName + "/";
    std::vector<std::string> body{head + " " + std::to_string(r.size)};
    for (const SevenPlusMissingPart& part : r.missing) {
        body.push_back(hex(part.part, 2));
        std::string line;
        for (std::size_t i = 0; i < part.lines.size(); ++i) {
            line += (line.empty() ? "" : " ") + hex(part.lines[i], 3);
            if ((i + 1) % 18 == 0) body.push_back(std::exchange(line, {}));
        }
        body.push_back(line.empty() ? std::string(kPartEnd) : line + " " + std::string(kPartEnd));
    }
    body.push_back("[" + sevenPlusStampText(r.stamp) + "]");
    body.push_back("00");
    return framed(textName(r.headerName, "ERR"), body, lineEnd);
}

std::optional<SevenPlusErrorReport> parseSevenPlusErrorReport(std::string_view text, std::string* error) {
    const auto lines = sevenPlusLines(text);
    const auto head = findTag(lines, kReportTag);
    SevenPlusErrorReport r;
    if (!head) return refuse<SevenPlusErrorReport>(error, "Kein 7Plus-Fehlerbericht.");
    if (!reportHead(lines[*head].substr(kReportTag.size()), r))
        return refuse<SevenPlusErrorReport>(error, "Der 7Plus-Fehlerbericht ist beschädigt.");
    const auto end = reportBody(lines, *head + 1, r);
    if (!end || !crcHolds(lines, *head, *end))
        return refuse<SevenPlusErrorReport>(error, "Der 7Plus-Fehlerbericht ist beschädigt (CRC).");
    return r;
}

std::optional<std::string> writeSevenPlusCorrection(const SevenPlusErrorReport& r, std::string_view data,
                                                    std::string_view originalName, std::uint32_t stamp,
                                                    std::string_view lineEnd, std::string* error) {
    const SevenPlusNames names = sevenPlusNames(originalName);
    if (names.headerName() != r.headerName)
        return refuse<std::string>(error, "Der Fehlerbericht gehört zu einer anderen Datei.");
    if (static_cast<std::int64_t>(data.size()) != r.size)
        return refuse<std::string>(error, "Die Datei hat nicht die Größe, die der Fehlerbericht nennt.");
    std::vector<std::string> body{std::string(kCorrectionTag) + r.headerName + " " + std::to_string(r.size) + " " +
                                  hex(r.linesPerPart, 3) + " [" + sevenPlusStampText(stamp) + "]"};
    std::array<unsigned char, kSevenPlusLineBytes> bytes{};
    for (const SevenPlusMissingPart& part : r.missing) {
        // 7PLUS writes the first part number in small letters, the others in capitals.
        body.push_back(" P" + hex(part.part, 2, &part == &r.missing.front()) + ":");
        for (int index : part.lines) {
            const std::size_t offset =
                (static_cast<std::size_t>(part.part - 1) * static_cast<std::size_t>(r.linesPerPart) +
                 static_cast<std::size_t>(index)) * kSevenPlusLineBytes;
            const std::string_view chunk = offset < data.size() ? data.substr(offset, kSevenPlusLineBytes) : "";
            bytes.fill(0);
            std::copy(chunk.begin(), chunk.end(), bytes.begin());
            body.push_back(" L" + hex(index, 3) + ":");
            body.push_back(encodeSevenPlusLine(bytes, index));
        }
    }
    body.emplace_back(kCorrectionEnd);
    return framed(textName(r.headerName, "COR"), body, lineEnd);
}

std::optional<SevenPlusCorrection> parseSevenPlusCorrection(std::string_view text, std::string* error) {
    const auto lines = sevenPlusLines(text);
    const auto head = findTag(lines, kCorrectionTag);
    if (!head) return refuse<SevenPlusCorrection>(error, "Keine 7Plus-Korrekturdatei.");
    const auto f = tokens(lines[*head].substr(kCorrectionTag.size()));
    SevenPlusCorrection c;
    const auto size = f.size() >= 3 ? number(f[1], 10, 7) : std::nullopt;
    const auto perPart = f.size() >= 3 ? number(f[2], 16, 3) : std::nullopt;
    const auto stamp = f.size() >= 4 && f[3].size() >= 2 && f[3].starts_with('[') && f[3].ends_with(']')
                           ? number(f[3].substr(1, f[3].size() - 2), 16, 8)
                           : std::optional<long long>(0);
    if (!size || !perPart || !stamp || !sizesUsable(*size, *perPart))
        return refuse<SevenPlusCorrection>(error, "Die 7Plus-Korrekturdatei ist beschädigt.");
    c.headerName = std::string(f[0]);
    c.size = *size;
    c.linesPerPart = static_cast<int>(*perPart);
    c.stamp = static_cast<std::uint32_t>(*stamp);
    const auto parts = partsOf(c.size, c.linesPerPart);
    int part = 0;
    for (std::size_t i = *head + 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line == kCorrectionEnd) {
            if (!crcHolds(lines, *head, i)) break;
            return c;
        }
        const bool partLine = line.size() == 5 && line.starts_with(" P") && line.ends_with(':');
        const auto p = partLine ? number(line.substr(2, 2), 16, 2) : std::nullopt;
        if (p && *p >= 1 && *p <= parts) {
            part = static_cast<int>(*p);
            continue;
        }
        const bool indexLine = line.size() == 6 && line.starts_with(" L") && line.ends_with(':');
        const auto index = indexLine ? number(line.substr(2, 3), 16, 3) : std::nullopt;
        if (!index || part == 0 || i + 1 >= lines.size() || c.lines.size() >= kMaxLines) break;
        c.lines.push_back({part, static_cast<int>(*index), std::string(lines[++i])});
    }
    return refuse<SevenPlusCorrection>(error, "Die 7Plus-Korrekturdatei ist beschädigt (CRC).");
}

SevenPlusTextKind sevenPlusTextKind(std::string_view text) {
    for (std::string_view line : sevenPlusLines(text)) {
        if (line.starts_with(kSevenPlusStart)) return SevenPlusTextKind::Part;
        if (line.starts_with(kReportTag)) return SevenPlusTextKind::ErrorReport;
        if (line.starts_with(kCorrectionTag)) return SevenPlusTextKind::Correction;
    }
    return SevenPlusTextKind::None;
}

}  // namespace norva
