// 7Plus on files: gathering a part set, writing the result or the error
// report, preparing a file or a correction for the air.
#include "transfer/SevenPlusFiles.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <system_error>

#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"
#include "platform/FileNames.h"
#include "platform/Profile.h"
#include "platform/ReceiveFolders.h"
#include "transfer/SevenPlusDecoder.h"
#include "transfer/TransferLog.h"
#include "platform/Text.h"
#include "transfer/Transfers.h"

namespace norva {

namespace {

namespace fs = std::filesystem;

// A part is at most 512 lines of 71 bytes; a capture keeps a little more.
constexpr std::size_t kMaxPartFile = 256 * 1024;
// Enough of a file to find its header in.
constexpr std::size_t kHeadBytes = 4096;
// A folder is looked through this far for the parts of a set.
constexpr int kMaxEntries = 4096;
// Error reports and corrections are small; anything larger is no such text.
constexpr std::size_t kMaxReportFile = 1024 * 1024;
constexpr std::size_t kListedLines = 20;

std::optional<SevenPlusHeader> firstHeader(std::string_view text) {
    for (std::string_view line : sevenPlusLines(text))
        if (line.starts_with(kSevenPlusStart)) {
            while (line.ends_with(' ')) line.remove_suffix(1);
            return parseSevenPlusHeader(line).header;
        }
    return std::nullopt;
}

struct FoundPart {
    fs::path path;
    int part = 0;
    bool operator<(const FoundPart& o) const { return part != o.part ? part < o.part : path < o.path; }
};

// Every file of the folders whose first header is of the same file.
std::vector<FoundPart> partsOfSet(const std::vector<fs::path>& dirs, const SevenPlusHeader& like) {
    std::vector<FoundPart> found;
    std::vector<fs::path> looked;
    for (const fs::path& dir : dirs) {
        std::error_code ec;
        const fs::path real = fs::weakly_canonical(dir, ec);
        if (ec || std::find(looked.begin(), looked.end(), real) != looked.end()) continue;
        looked.push_back(real);
        int entries = 0;
        for (fs::directory_iterator it(real, ec), end; !ec && it != end && ++entries <= kMaxEntries; it.increment(ec)) {
            std::error_code sec;
            if (!it->is_regular_file(sec) || it->is_symlink(sec) || it->file_size(sec) > kMaxPartFile) continue;
            const auto head = readRegularFile(it->path(), kHeadBytes, Links::Refuse);
            const auto h = head ? firstHeader(*head) : std::nullopt;
            if (h && h->sameFile(like)) found.push_back({it->path(), h->part});
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string numberList(const std::vector<int>& numbers, std::size_t limit = kListedLines) {
    std::string out;
    for (std::size_t i = 0; i < numbers.size() && i < limit; ++i) out += (i ? ", " : "") + std::to_string(numbers[i]);
    if (numbers.size() > limit) out += ", ... (" + std::to_string(numbers.size()) + ")";
    return out;
}

std::string plural(int n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

const char* headerTrouble(SevenPlusPartOutcome outcome) {
    switch (outcome) {
        case SevenPlusPartOutcome::NoHeader: return "kein 7Plus-Teil";
        case SevenPlusPartOutcome::HeaderCorrupted: return "Kopfzeile beschaedigt";
        case SevenPlusPartOutcome::EightBitStripped:
            return "das 8. Bit fehlt (Kanal oder Mailbox nicht 8-Bit-transparent)";
        case SevenPlusPartOutcome::BadHeader: return "Kopfzeile unbrauchbar";
        case SevenPlusPartOutcome::OtherFile:
        case SevenPlusPartOutcome::Taken: break;
    }
    return nullptr;
}

// Reads every found part into the decoder; says what was wrong with a file.
void readParts(SevenPlusDecoder& decoder, const std::vector<FoundPart>& parts, SevenPlusDecodeReport& report,
               int& badLines) {
    for (const FoundPart& found : parts) {
        const auto text = readRegularFile(found.path, kMaxPartFile, Links::Refuse);
        if (!text) continue;
        for (const SevenPlusPartResult& r : decoder.addText(*text)) {
            badLines += r.badLines;
            if (const char* trouble = headerTrouble(r.outcome))
                report.messages.push_back("7Plus: " + found.path.filename().string() + ": " + trouble);
        }
    }
}

// The modification time the stop line carried, as local time.
void setStamp(int fd, std::uint32_t stamp) {
    if (stamp == 0) return;
    std::tm t{};
    t.tm_year = static_cast<int>((stamp >> 25) & 0x7F) + 80;
    t.tm_mon = static_cast<int>((stamp >> 21) & 0x0F) - 1;
    t.tm_mday = static_cast<int>((stamp >> 16) & 0x1F);
    t.tm_hour = static_cast<int>((stamp >> 11) & 0x1F);
    t.tm_min = static_cast<int>((stamp >> 5) & 0x3F);
    t.tm_sec = static_cast<int>(stamp & 0x1F) * 2;
    t.tm_isdst = -1;
    const std::time_t when = std::mktime(&t);
    if (when == static_cast<std::time_t>(-1)) return;
    const timespec times[2] = {{0, UTIME_NOW}, {when, 0}};
    ::futimens(fd, times);
}

std::uint32_t stampOf(const fs::path& file) {
    struct stat st {};
    std::tm t{};
    if (::stat(file.c_str(), &st) != 0 || !::localtime_r(&st.st_mtime, &t)) return 0;
    return sevenPlusDosTime(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

// The result goes under a plain name, never over a file: the same file
// already there is only named, a different one gets a free name.
void writeResult(const SevenPlusDecoder& decoder, const fs::path& dir, ReceiveFolders& folders,
                 const DiskLimits& limits, SevenPlusDecodeReport& report) {
    const std::string data = decoder.data();
    const SevenPlusNames names = sevenPlusNamesOfHeader(decoder.file()->name);
    auto name = plainName(decoder.longName());
    if (!name) name = plainName(names.shortName());
    const auto stored = folders.storeName(dir, name ? *name : std::string("7plus.bin"));
    if (!stored) {
        report.messages.push_back("7Plus: in " + dir.string() + " wird keine Datei angelegt.");
        return;
    }
    const auto existing = readRegularFile(dir / *stored, data.size() + 1, Links::Refuse);
    if (existing && *existing == data) {
        report.decoded = dir / *stored;
        report.messages.push_back("7Plus Datei " + report.decoded.string() + " ist schon vorhanden.");
        return;
    }
    if (!limits.allows(dir, data.size())) {
        report.messages.push_back("7Plus: zu wenig freier Speicherplatz in " + dir.string() + ".");
        return;
    }
    CreatedFile file = createFreeName(dir, *stored);
    if (!file.fd || !writeAll(file.fd.get(), data)) {
        report.messages.push_back("7Plus: " + (dir / *stored).string() + " kann nicht geschrieben werden.");
        return;
    }
    if (const auto stamp = decoder.stamp()) setStamp(file.fd.get(), *stamp);
    report.decoded = file.path;
    std::string text = "7Plus Datei " + file.path.string() + " dekodiert, " + std::to_string(data.size()) + " Bytes";
    if (decoder.rebuilt() > 0) text += ", " + plural(decoder.rebuilt(), "Zeile", "Zeilen") + " repariert";
    report.messages.push_back(text + ".");
}

void writeErrorReport(const SevenPlusDecoder& decoder, const fs::path& dir, ReceiveFolders& folders,
                      SevenPlusDecodeReport& report) {
    const SevenPlusHeader& h = *decoder.file();
    for (const SevenPlusMissingPart& part : decoder.missing()) {
        std::vector<int> lines(part.lines.begin(), part.lines.end());
        report.messages.push_back("7Plus: Teil " + std::to_string(part.part) + " von " + std::to_string(h.parts) +
                                  " beschaedigt, es fehlen die Zeilen " + numberList(lines));
    }
    const std::string summary = "7Plus: " + plural(decoder.missingCount(), "Zeile fehlt", "Zeilen fehlen") + ", " +
                                plural(decoder.rebuilt(), "Zeile", "Zeilen") + " repariert.";
    const auto stored = folders.storeName(dir, sevenPlusErrorReportName(h.name));
    CreatedFile file = stored ? createFreeName(dir, *stored) : CreatedFile{};
    if (!file.fd || !writeAll(file.fd.get(), writeSevenPlusErrorReport(decoder.errorReport()))) {
        report.messages.push_back(summary + " Der Fehlerbericht kann nicht geschrieben werden.");
        return;
    }
    report.errorReport = file.path;
    report.messages.push_back(summary + " Fehlerbericht " + file.path.string() + " geschrieben.");
}

// After the parts (and a correction) are in: the file, the report, or what is still to come.
void finish(const SevenPlusDecoder& decoder, const fs::path& dir, ReceiveFolders& folders, const DiskLimits& limits,
            int badLines, SevenPlusDecodeReport& report) {
    if (!decoder.file()) {
        report.messages.push_back("7Plus: keine brauchbaren Teile gefunden.");
        return;
    }
    const SevenPlusHeader& h = *decoder.file();
    // Many bad lines mostly mean a wrong terminal setting, not a bad link.
    if (badLines * 10 > sevenPlusLineCount(h.size))
        report.messages.push_back("7Plus: mehr als 10 % der Zeilen fehlerhaft (Zeichensatz, 8 Bit?).");
    if (decoder.complete()) {
        writeResult(decoder, dir, folders, limits, report);
        return;
    }
    std::vector<int> absent;
    for (int p = 1; p <= h.parts; ++p)
        if (!decoder.partSeen(p)) absent.push_back(p);
    if (!absent.empty()) {
        report.messages.push_back("7Plus: " + h.name + ": es fehlen noch die Teile " + numberList(absent) + " von " +
                                  std::to_string(h.parts) + ".");
        return;
    }
    writeErrorReport(decoder, dir, folders, report);
}

SevenPlusDecodeReport decodeCorrection(const fs::path& file, std::string_view text, const fs::path& partsDir,
                                       const fs::path& extractDir, ReceiveFolders& folders, const DiskLimits& limits) {
    SevenPlusDecodeReport report;
    std::string error;
    const auto correction = parseSevenPlusCorrection(text, &error);
    if (!correction) {
        report.messages.push_back("7Plus: " + file.filename().string() + ": " + error);
        return report;
    }
    SevenPlusHeader like{1, 0, correction->headerName, correction->size, correction->linesPerPart, false};
    like.parts = static_cast<int>((sevenPlusLineCount(like.size) + like.linesPerPart - 1) / like.linesPerPart);
    SevenPlusDecoder decoder;
    int badLines = 0;
    readParts(decoder, partsOfSet({file.parent_path(), partsDir}, like), report, badLines);
    const SevenPlusCorrectionResult applied = decoder.addCorrection(*correction);
    if (!applied.applied) {
        report.messages.push_back("7Plus: " + file.filename().string() + ": " + applied.error);
        return report;
    }
    report.messages.push_back("7Plus: Korrektur " + file.filename().string() + ": " +
                              plural(applied.filled, "Zeile", "Zeilen") + " ersetzt.");
    finish(decoder, extractDir, folders, limits, badLines, report);
    return report;
}

}  // namespace

SevenPlusDecodeReport decodeSevenPlusFile(const fs::path& file, const fs::path& partsDir, const fs::path& extractDir,
                                          ReceiveFolders& folders, const DiskLimits& limits) {
    SevenPlusDecodeReport report;
    const auto text = readRegularFile(file, kMaxReportFile, Links::Follow);
    if (!text) {
        report.messages.push_back("7Plus: " + file.string() + " kann nicht gelesen werden.");
        return report;
    }
    switch (sevenPlusTextKind(*text)) {
        case SevenPlusTextKind::Correction: return decodeCorrection(file, *text, partsDir, extractDir, folders, limits);
        case SevenPlusTextKind::ErrorReport:
            report.messages.push_back("7Plus: " + file.filename().string() +
                                      " ist ein Fehlerbericht; \"7Plus Datei senden\" (:send7p) beantwortet ihn.");
            return report;
        case SevenPlusTextKind::None:
            report.messages.push_back("7Plus: " + file.filename().string() + " ist kein 7Plus-Teil.");
            return report;
        case SevenPlusTextKind::Part: break;
    }
    SevenPlusDecoder decoder;
    int badLines = 0;
    const auto like = firstHeader(*text);
    if (!like) {
        readParts(decoder, {{file, 0}}, report, badLines);  // says what is wrong with its header
        return report;
    }
    readParts(decoder, partsOfSet({file.parent_path(), partsDir}, *like), report, badLines);
    finish(decoder, extractDir, folders, limits, badLines, report);
    return report;
}

std::optional<SevenPlusDecodeReport> decodeCapturedSevenPlus(const fs::path& part, const fs::path& extractDir,
                                                             ReceiveFolders& folders, const DiskLimits& limits) {
    const auto head = readRegularFile(part, kHeadBytes, Links::Refuse);
    const auto like = head ? firstHeader(*head) : std::nullopt;
    if (!like) return std::nullopt;
    const auto parts = partsOfSet({part.parent_path()}, *like);
    std::vector<bool> present(static_cast<std::size_t>(like->parts) + 1, false);
    for (const FoundPart& p : parts) present[static_cast<std::size_t>(p.part)] = true;
    if (std::count(present.begin() + 1, present.end(), true) != like->parts) return std::nullopt;
    SevenPlusDecodeReport report;
    SevenPlusDecoder decoder;
    int badLines = 0;
    readParts(decoder, parts, report, badLines);
    finish(decoder, extractDir, folders, limits, badLines, report);
    return report;
}

namespace {

std::optional<SevenPlusSendText> answerReport(std::string_view text, const std::vector<fs::path>& originalDirs,
                                              std::string* error) {
    const auto report = parseSevenPlusErrorReport(text, error);
    if (!report) return std::nullopt;
    const std::string wanted =
        report->longName.empty() ? sevenPlusNamesOfHeader(report->headerName).shortName() : report->longName;
    const auto plain = plainName(wanted);
    for (const fs::path& dir : originalDirs) {
        const auto original = plain ? findIgnoringCase(dir, *plain) : std::nullopt;
        const auto data = original ? readRegularFile(*original, kSevenPlusMaxSize + 1) : std::nullopt;
        if (!data) continue;
        const auto cor = writeSevenPlusCorrection(*report, *data, original->filename().string(), stampOf(*original),
                                                  "\r", error);
        if (!cor) return std::nullopt;
        return SevenPlusSendText{sevenPlusNamesOfHeader(report->headerName).base + ".cor", *cor, 0};
    }
    if (error) *error = "Die Originaldatei " + wanted + " des Fehlerberichts ist nicht zu finden.";
    return std::nullopt;
}

}  // namespace

std::optional<SevenPlusSendText> sevenPlusTextForSending(const fs::path& file, int linesPerPart,
                                                         const std::vector<fs::path>& originalDirs,
                                                         std::string* error) {
    const auto data = readRegularFile(file, static_cast<std::size_t>(kSevenPlusMaxSize) + 1);
    if (!data) {
        if (error) *error = "Die Datei " + file.string() + " lässt sich nicht verwenden.";
        return std::nullopt;
    }
    if (data->size() <= kMaxReportFile && sevenPlusTextKind(*data) == SevenPlusTextKind::ErrorReport)
        return answerReport(*data, originalDirs, error);
    SevenPlusEncodeOptions options{linesPerPart, "\r", stampOf(file)};
    const auto parts = encodeSevenPlus(*data, file.filename().string(), options, error);
    if (!parts) return std::nullopt;
    SevenPlusSendText out{file.filename().string(), {}, static_cast<int>(parts->size())};
    for (const SevenPlusPart& part : *parts) out.text += part.text;
    return out;
}

std::string queueSevenPlusSend(CTncChannel& channel, const fs::path& file) {
    const HostContext& ctx = channel.tnc().context();
    const int split = ctx.profile.getInt(kSevenPlusSection, kSevenPlusSplitKey, kSevenPlusDefaultLinesPerPart);
    const std::vector<fs::path> dirs{frameDirectory(ctx.profile, "BinSendFileDir", ctx.programDir),
                                     file.parent_path()};
    std::string error;
    auto text = sevenPlusTextForSending(file, std::clamp(split, 1, kSevenPlusMaxLinesPerPart), dirs, &error);
    if (!text) return error;
    auto job = makeMemoryTextJob(channel, std::move(text->text), text->name, false);
    return enqueueTransfer(channel, std::move(job)) ? std::string() : oneLine(kTextQueueFull);
}

}  // namespace norva
