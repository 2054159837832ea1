// libFuzzer entry for the text the station files meet: callsigns from the
// air, the map program's station information record, a station file or
// alias.dat written by anyone, the entry-node list. Whatever comes, a name
// built from it stays a plain name in the station directory, values stay
// within their limits without line breaks, and a connect path built from
// such files ends and holds only CR LF lines that cannot be script commands
// beyond the first hop.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/Profile.h"
#include "station/AliasList.h"
#include "station/ConnectPath.h"
#include "station/EntryNodes.h"
#include "station/StationFile.h"
#include "station/StationList.h"
#include "station/StationPaths.h"
#include "station/StationUpdate.h"
#include "support/TempDir.h"

using namespace norva;
namespace fs = std::filesystem;

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

bool clean(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    return true;
}

void writeRaw(const fs::path& p, std::string_view data) {
    test::writeFile(p, std::string(data));
}

struct Area {
    test::TempDir dir;
    Profile settings{dir.path() / "norva.ini"};
    StationPaths paths{settings, dir.path()};
    Area() {
        fs::create_directory(dir / "stn");
        settings.writeString("frame", "StationDir", (dir / "stn").string());
    }
};

void callsign(const Area& a, std::string_view text) {
    if (!isCallsign(text)) {
        check(!a.paths.stationFile(text) && !a.paths.passwordFile(text));
        return;
    }
    const auto stn = a.paths.stationFile(text);
    check(stn.has_value() && stn->parent_path() == a.paths.stationDir());
    const std::string name = stn->filename().string();
    check(name.front() != '.' && name.find('/') == std::string::npos && clean(name));
}

void stationFile(Area& a, std::string_view text) {
    const fs::path file = a.dir / "stn" / "FUZZ.stn";
    writeRaw(file, text);
    const StationRecord r = readStationFile(file);
    for (const std::string* v : {&r.call, &r.alias, &r.qth, &r.lastCall, &r.connectCommand, &r.sysop, &r.script})
        check(v->size() <= kStationValueLimit && clean(*v));
    const StationOpen open = readOpenInfo(file);
    if (open.ok) check(isCallsign(withoutWildcard(open.destCall)) && clean(open.script));
    // The file may link to itself or to anything: the walk ends and refuses bad links.
    const ConnectPathResult path = buildConnectPath(a.paths, "FUZZ", 20);
    if (path.ok()) {
        std::string_view s = path.script;
        bool first = true;
        while (!s.empty()) {
            const auto end = s.find("\r\n");
            check(end != std::string_view::npos);
            const std::string_view line = s.substr(0, end);
            check(clean(line));
            if (!first && line != "**Waitfor Connected to") check(line.front() != '*');
            first = false;
            s.remove_prefix(end + 2);
        }
    }
    StationRecord back = r;
    back.call = "FUZZ";
    if (saveStation(a.paths, back)) check(readStationFile(file).sysop == r.sysop);
}

void aliasList(Area& a, std::string_view text) {
    writeRaw(a.paths.aliasFile(), text);
    AliasList aliases(a.paths.aliasFile());
    const std::string half(text.substr(0, text.size() / 2));
    const std::string byAlias = aliases.byAlias(half);
    check(byAlias.empty() || aliases.byCall(byAlias).size() <= kStationValueLimit);
    check(aliases.lookup(half).size() <= 4096);
    if (aliases.write(half, text.substr(text.size() / 2))) check(isCallsign(half));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Area area;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    callsign(area, text);
    for (int n = 0; n <= 12; ++n) {
        const std::string field = stationInfoField(text, n);
        check(field.size() <= kStationValueLimit && clean(field));
    }
    ConnectFacts facts;
    facts.destCall = std::string(text.substr(0, text.size() / 3));
    facts.aliasDestCall = std::string(text.substr(text.size() / 3, text.size() / 3));
    facts.stationInfo = std::string(text);
    StationUpdate update(area.paths);
    if (update.update(facts)) {
        // Whatever file it wrote has a callsign's name; it goes again to keep the area small.
        for (const auto& e : fs::directory_iterator(area.dir / "stn")) {
            const std::string name = e.path().filename().string();
            if (name == "FUZZ.stn") continue;
            check(name.size() > 4 && isCallsign(name.substr(0, name.size() - 4)));
            fs::remove(e.path());
        }
    }

    stationFile(area, text);
    aliasList(area, text);

    for (const std::string& node : splitNodes(text)) check(node.find(',') == std::string::npos && !node.empty());
    const std::string added = addNode(text, text);
    check(added == text || added.size() <= text.size() + 82);
    return 0;
}
