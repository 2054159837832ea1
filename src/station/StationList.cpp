// The station directory: listing, deleting, and files opened from outside.
#include "station/StationList.h"

#include <algorithm>

#include "platform/FileNames.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "station/StationPaths.h"

namespace norva {

namespace fs = std::filesystem;

namespace {

bool hasExtension(std::string_view name, std::string_view ext) {
    return name.size() > ext.size() && iequals(name.substr(name.size() - ext.size()), ext);
}

bool hasStnExtension(std::string_view name) { return hasExtension(name, ".stn"); }

bool isRegular(const fs::path& p) {
    std::error_code ec;
    return fs::symlink_status(p, ec).type() == fs::file_type::regular;
}

}  // namespace

std::vector<std::string> listStations(const StationPaths& paths) {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(paths.stationDir(), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!hasStnExtension(name) || !isPlainName(name) || !isRegular(it->path())) continue;
        out.push_back(name.substr(0, name.size() - 4));
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> listScripts(const fs::path& scriptDir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(scriptDir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code fec;
        if (hasExtension(name, ".scr") && isPlainName(name) && fs::is_regular_file(it->path(), fec))
            out.push_back(name);
    }
    std::sort(out.begin(), out.end());
    return out;
}

StationResult deleteStation(const StationPaths& paths, std::string_view name) {
    const std::string file = std::string(name) + ".stn";
    if (!isPlainName(name) || !isPlainName(file)) return StationResult::failure(notACallsignMessage(name));
    const auto found = findIgnoringCase(paths.stationDir(), file);
    if (!found || !isRegular(*found)) return StationResult::failure("Die Datei " + file + " gibt es nicht.");
    std::error_code ec;
    if (!fs::remove(*found, ec) || ec)
        return StationResult::failure("Die Datei " + file + " kann nicht gelöscht werden.");
    return {};
}

std::string takeOverQuestion(std::string_view fileName) {
    return "Datei " + std::string(fileName) + " in Stationsverzeichnis uebernehmen ?";
}

std::string overwriteQuestion(std::string_view fileName) {
    return "Die Datei " + std::string(fileName) + " existiert bereits. Datei ueberschreiben ?";
}

OutsideFile inspectOutsideFile(const StationPaths& paths, const fs::path& file) {
    OutsideFile out;
    std::error_code ec;
    out.source = fs::canonical(file, ec);
    if (ec || !isRegular(out.source)) {
        out.message = "Die Datei " + file.filename().string() + " kann nicht geöffnet werden.";
        return out;
    }
    out.fileName = out.source.filename().string();
    if (!hasStnExtension(out.fileName) || !isPlainName(out.fileName)) {
        out.message = "Die Datei " + out.fileName + " ist keine Stationsdatei.";
        return out;
    }
    if (fs::file_size(out.source, ec) > kStationFileLimit || ec) {
        out.message = "Die Datei " + out.fileName + " ist zu gross für eine Stationsdatei.";
        return out;
    }
    const fs::path dir = paths.stationDir();
    const fs::path realDir = fs::canonical(dir, ec);
    out.inStationDir = !ec && out.source.parent_path() == realDir;
    const auto existing = findIgnoringCase(dir, out.fileName);
    out.existsInStationDir = existing.has_value();
    out.target = existing ? *existing : dir / out.fileName;
    out.ok = true;
    return out;
}

StationResult copyIntoStationDir(const OutsideFile& file) {
    if (!file.ok) return StationResult::failure(file.message);
    if (file.inStationDir) return {};
    // The source was resolved when it was inspected: a link put there since is refused.
    const std::optional<std::string> content = readSmallFile(file.source, kStationFileLimit);
    if (!content) return StationResult::failure("Die Datei " + file.fileName + " kann nicht gelesen werden.");
    // A link in the target's place is replaced, never written through.
    if (!writeFileAtomic(file.target, *content, 0644, Links::Refuse))
        return StationResult::failure("Die Datei " + file.fileName + " kann nicht kopiert werden.");
    return {};
}

StationOpen readOpenInfo(const fs::path& stn) {
    StationOpen out;
    std::error_code ec;
    if (!isRegular(stn) && !fs::is_regular_file(stn, ec)) {
        out.message = "Die Datei " + stn.filename().string() + " kann nicht geöffnet werden.";
        return out;
    }
    if (fs::file_size(stn, ec) > kStationFileLimit || ec) {
        out.message = "Die Datei " + stn.filename().string() + " ist zu gross für eine Stationsdatei.";
        return out;
    }
    const Profile p(stn, Links::Refuse);
    out.destCall = toUpper(boundedValue(p.getString(kStationSection, "DestCall", ""), 260));
    out.displayOnOpen = p.getInt(kStationSection, "DisplayOnOpen", 1) != 0;
    out.tnc = p.getInt(kStationSection, "Tnc", 1);
    out.script = boundedValue(p.getString(kStationSection, "Script", ""), 255);
    if (!isCallsign(withoutWildcard(out.destCall))) {
        out.message = notACallsignMessage(out.destCall);
    } else if (!out.script.empty() && !isPlainName(out.script)) {
        out.message = "\"" + boundedValue(out.script, 40) + "\" ist kein Scriptname.";
    } else {
        out.ok = true;
    }
    return out;
}

}  // namespace norva
