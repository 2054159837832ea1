// SevenPlusDecoder: parts, their lines, what is missing, corrections.
#include "transfer/SevenPlusDecoder.h"

namespace norva {

namespace {

// Mailboxes add blanks at line ends; no 7Plus line ends in one.
std::string_view trimmed(std::string_view line) {
    while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
    return line;
}

SevenPlusPartOutcome outcomeOf(SevenPlusHeaderError error) {
    switch (error) {
        case SevenPlusHeaderError::EightBitStripped: return SevenPlusPartOutcome::EightBitStripped;
        case SevenPlusHeaderError::Corrupted: return SevenPlusPartOutcome::HeaderCorrupted;
        case SevenPlusHeaderError::BadFields:
        case SevenPlusHeaderError::None: break;
    }
    return SevenPlusPartOutcome::BadHeader;
}

}  // namespace

std::vector<SevenPlusPartResult> SevenPlusDecoder::addText(std::string_view text) {
    const auto lines = sevenPlusLines(text);
    std::vector<SevenPlusPartResult> results;
    for (std::size_t i = 0; i < lines.size();) {
        if (!lines[i].starts_with(kSevenPlusStart)) {
            ++i;
            continue;
        }
        SevenPlusPartResult result;
        i = addPart(lines, i, result);
        results.push_back(result);
    }
    if (results.empty()) results.push_back({});
    return results;
}

std::size_t SevenPlusDecoder::addPart(const std::vector<std::string_view>& lines, std::size_t header,
                                      SevenPlusPartResult& result) {
    const ParsedSevenPlusHeader parsed = parseSevenPlusHeader(trimmed(lines[header]));
    if (!parsed.header) {
        result.outcome = outcomeOf(parsed.error);
        return header + 1;
    }
    const SevenPlusHeader& h = *parsed.header;
    result.part = h.part;
    if (file_ && !file_->sameFile(h)) {
        result.outcome = SevenPlusPartOutcome::OtherFile;
        return header + 1;
    }
    if (!file_) file_ = h;
    seen_.insert(h.part);
    result.outcome = SevenPlusPartOutcome::Taken;
    if (parsed.repaired) ++result.rebuilt;
    std::size_t i = header + 1;
    if (h.part == 1 && h.longNameFollows && i < lines.size()) {
        const std::string_view next = trimmed(lines[i]);
        if (auto name = parseSevenPlusLongName(next)) {
            if (longName_.empty()) longName_ = *name;
            ++i;
        } else if (next.starts_with('/') && !decodeSevenPlusLine(next)) {
            ++i;  // the name line itself, damaged: the header's name will do
        }
    }
    return addLines(lines, i, h, result);
}

std::size_t SevenPlusDecoder::addLines(const std::vector<std::string_view>& lines, std::size_t from,
                                       const SevenPlusHeader& h, SevenPlusPartResult& result) {
    int last = -1;
    const int expected = h.lines();
    const std::int64_t first = static_cast<std::int64_t>(h.part - 1) * h.linesPerPart;
    for (std::size_t i = from; i < lines.size(); ++i) {
        const std::string_view line = trimmed(lines[i]);
        // The next part's header: this one lost its stop line.
        if (line.starts_with(kSevenPlusStart)) return i;
        if (line.starts_with(kSevenPlusStop)) {
            if (!stamp_) stamp_ = parseSevenPlusStop(line);
            return i + 1;
        }
        if (line.empty()) continue;
        const auto decoded = decodeSevenPlusLine(line);
        if (!decoded) {
            ++result.badLines;
            continue;
        }
        if (decoded->repaired) {
            ++result.rebuilt;
            ++rebuilt_;
        }
        // Lines only go forward: a repeated or stray index is not trusted.
        if (decoded->index <= last || decoded->index >= expected) continue;
        last = decoded->index;
        lines_.try_emplace(first + decoded->index, decoded->bytes);
    }
    return lines.size();
}

SevenPlusCorrectionResult SevenPlusDecoder::addCorrection(const SevenPlusCorrection& c) {
    SevenPlusCorrectionResult result;
    if (!file_) {
        const std::int64_t parts = (sevenPlusLineCount(c.size) + c.linesPerPart - 1) / c.linesPerPart;
        file_ = SevenPlusHeader{1, static_cast<int>(parts), c.headerName, c.size, c.linesPerPart, false};
    } else if (c.headerName != file_->name || c.size != file_->size || c.linesPerPart != file_->linesPerPart) {
        result.error = "Die Korrekturdatei gehört zu einer anderen Datei.";
        return result;
    }
    if (stamp_ && *stamp_ != 0 && c.stamp != 0 && *stamp_ != c.stamp) {
        result.error = "Die Korrekturdatei stammt von einer anderen Fassung der Datei (Zeitstempel).";
        return result;
    }
    SevenPlusHeader h = *file_;
    for (const SevenPlusCorrectionLine& line : c.lines) {
        if (line.part < 1 || line.part > h.parts) continue;
        h.part = line.part;
        const auto decoded = decodeSevenPlusLine(trimmed(line.line));
        if (!decoded || decoded->index != line.index || line.index >= h.lines()) continue;
        const std::int64_t at = static_cast<std::int64_t>(line.part - 1) * h.linesPerPart + line.index;
        if (lines_.try_emplace(at, decoded->bytes).second) ++result.filled;
    }
    if (!stamp_ && c.stamp != 0) stamp_ = c.stamp;
    result.applied = true;
    return result;
}

std::int64_t SevenPlusDecoder::totalLines() const { return file_ ? sevenPlusLineCount(file_->size) : 0; }

bool SevenPlusDecoder::complete() const {
    return file_ && static_cast<std::int64_t>(lines_.size()) == totalLines();
}

std::vector<SevenPlusMissingPart> SevenPlusDecoder::missing() const {
    std::vector<SevenPlusMissingPart> out;
    if (!file_) return out;
    SevenPlusHeader h = *file_;
    for (h.part = 1; h.part <= h.parts; ++h.part) {
        SevenPlusMissingPart part{h.part, {}};
        const std::int64_t first = static_cast<std::int64_t>(h.part - 1) * h.linesPerPart;
        for (int i = 0; i < h.lines(); ++i)
            if (!lines_.count(first + i)) part.lines.push_back(i);
        if (!part.lines.empty()) out.push_back(std::move(part));
    }
    return out;
}

int SevenPlusDecoder::missingCount() const { return static_cast<int>(totalLines() - static_cast<std::int64_t>(lines_.size())); }

std::string SevenPlusDecoder::data() const {
    std::string out;
    if (!complete()) return out;
    out.reserve(static_cast<std::size_t>(totalLines()) * kSevenPlusLineBytes);
    for (const auto& [at, bytes] : lines_) out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    out.resize(static_cast<std::size_t>(file_->size));
    return out;
}

SevenPlusErrorReport SevenPlusDecoder::errorReport() const {
    SevenPlusErrorReport r;
    if (!file_) return r;
    r.headerName = file_->name;
    r.linesPerPart = file_->linesPerPart;
    r.longName = longName_;
    r.size = file_->size;
    r.missing = missing();
    r.stamp = stamp_.value_or(0);
    return r;
}

}  // namespace norva
